// The scripted SMTP peer of the tests, on BSD sockets and a thread of its own.
#include "smtp_peer_host.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace testsupport {
namespace {

std::string ReplyOfLength(size_t length) {
    std::string reply = "250 ";
    reply.append(length - reply.size() - 2, 'x');
    return reply + "\r\n";
}

sockaddr_in Port25(const std::string& address) {
    sockaddr_in result;
    std::memset(&result, 0, sizeof(result));
    result.sin_family = AF_INET;
    result.sin_port = htons(25);
    if (inet_pton(AF_INET, address.c_str(), &result.sin_addr) != 1) result.sin_addr.s_addr = INADDR_NONE;
    return result;
}

// A socket listening on address:25 with the given queue length, or -1. The
// address is the test process's own: one in use is a test's mistake.
int ListenOn(const std::string& address, int backlog) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int reuse = 1;
    sockaddr_in local = Port25(address);
    if (fd == -1 || setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof(reuse)) == -1 ||
        bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof(local)) == -1 || listen(fd, backlog) == -1) {
        std::fprintf(stderr, "SMTP peer: can't listen on %s:25: %s\n", address.c_str(), std::strerror(errno));
        if (fd != -1) close(fd);
        return -1;
    }
    return fd;
}

bool StartsWithData(const std::string& line) {
    if (line.size() < 4) return false;
    std::string word = line.substr(0, 4);
    for (char& c : word) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return word == "DATA";
}

}  // namespace

std::vector<std::string> SmtpScriptReplies(SmtpScript script) {
    const std::string greeting = "220 peer.kestrove.test ESMTP ready\r\n";
    const std::vector<std::string> afterHelo = {
        "250 2.1.0 Sender ok\r\n", "250 2.1.5 Recipient ok\r\n", "354 End data with <CR><LF>.<CR><LF>\r\n",
        "250 2.0.0 Ok: queued\r\n", "221 2.0.0 Bye\r\n"};
    std::vector<std::string> replies;
    switch (script) {
        case SmtpScript::Normal:
        case SmtpScript::HeloReply1023:
        case SmtpScript::HeloReply1024:
        case SmtpScript::RcptReply1024:
            replies = {greeting, "250 peer.kestrove.test\r\n"};
            replies.insert(replies.end(), afterHelo.begin(), afterHelo.end());
            if (script == SmtpScript::HeloReply1023) replies[1] = ReplyOfLength(1023);
            if (script == SmtpScript::HeloReply1024) replies[1] = ReplyOfLength(1024);
            if (script == SmtpScript::RcptReply1024) replies[3] = ReplyOfLength(1024);
            break;
        case SmtpScript::RejectAll:
            replies = {"554 5.3.2 No service here\r\n",      "502 5.5.1 HELO refused\r\n",
                       "550 5.7.1 Sender refused\r\n",       "550 5.1.1 Recipient refused\r\n",
                       "554 5.5.1 No valid recipients\r\n",  "554 5.6.0 Message refused\r\n",
                       "500 5.5.2 Bye all the same\r\n"};
            break;
        case SmtpScript::SplitGreeting:
            replies = {"220-peer.kestrove.test first piece\r\n", "220 second piece\r\n",
                       "250 peer.kestrove.test\r\n"};
            replies.insert(replies.end(), afterHelo.begin(), afterHelo.end());
            break;
        case SmtpScript::CloseEarly:
            replies = {greeting};
            break;
        case SmtpScript::Silent:
            break;
    }
    return replies;
}

SmtpPeer::SmtpPeer(const std::string& address, SmtpScript script)
    : replies_(SmtpScriptReplies(script)), closeAfterGreeting_(script == SmtpScript::CloseEarly) {
    listenFd_ = ListenOn(address, 8);
    if (listenFd_ == -1) return;
    if (pipe(wakeFds_) == -1) {
        std::perror("SMTP peer: pipe");
        close(listenFd_);
        listenFd_ = -1;
        return;
    }
    thread_ = std::thread([this] { Serve(); });
}

SmtpPeer::~SmtpPeer() {
    if (thread_.joinable()) {
        char stop = 1;
        if (write(wakeFds_[1], &stop, 1) != 1) std::perror("SMTP peer: stop");
        thread_.join();
    }
    for (int fd : {listenFd_, wakeFds_[0], wakeFds_[1]}) {
        if (fd != -1) close(fd);
    }
}

bool SmtpPeer::WaitForClientClose(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, limit, [this] { return !closedByClient_.empty() && closedByClient_[0]; });
}

std::string SmtpPeer::Received() {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_.empty() ? std::string() : received_[0];
}

void SmtpPeer::OnConnection(std::function<void()> call) {
    std::lock_guard<std::mutex> lock(mutex_);
    onConnection_ = std::move(call);
}

int SmtpPeer::Connections() {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(received_.size());
}

void SmtpPeer::Serve() {
    for (;;) {
        pollfd watched[2] = {{listenFd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
        if (poll(watched, 2, -1) == -1 && errno != EINTR) return;
        if (watched[1].revents) return;
        if (!(watched[0].revents & POLLIN)) continue;
        int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd == -1) continue;
        std::function<void()> onConnection;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            received_.emplace_back();
            closedByClient_.push_back(false);
            onConnection = onConnection_;
        }
        if (onConnection) onConnection();
        ServeConnection(fd, received_.size() - 1);
        close(fd);
    }
}

void SmtpPeer::Reply(int fd, std::vector<std::string>* replies) {
    if (replies->empty()) return;
    const std::string reply = replies->front();
    replies->erase(replies->begin());
    // One send per reply; the client may be gone by the time of the last one.
    send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
}

void SmtpPeer::ServeConnection(int fd, size_t index) {
    std::vector<std::string> replies = replies_;
    Reply(fd, &replies);
    if (closeAfterGreeting_) shutdown(fd, SHUT_WR);

    std::string pending;
    bool inData = false;
    for (;;) {
        pollfd watched[2] = {{fd, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
        if (poll(watched, 2, -1) == -1 && errno != EINTR) return;
        if (watched[1].revents) return;
        char buffer[4096];
        ssize_t count = recv(fd, buffer, sizeof(buffer), 0);
        if (count == -1 && errno == EINTR) continue;
        if (count <= 0) {
            // An end of stream or a reset: either way the client closed its socket.
            std::lock_guard<std::mutex> lock(mutex_);
            closedByClient_[index] = count == 0 || errno == ECONNRESET;
            changed_.notify_all();
            return;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            received_[index].append(buffer, static_cast<size_t>(count));
        }
        pending.append(buffer, static_cast<size_t>(count));
        for (;;) {
            if (inData) {
                // The end of data is CRLF.CRLF, the first CRLF possibly DATA's own.
                size_t end = ("\r\n" + pending).find("\r\n.\r\n");
                if (end == std::string::npos) break;
                pending.erase(0, end + 3);
                inData = false;
            } else {
                size_t end = pending.find('\n');
                if (end == std::string::npos) break;
                inData = StartsWithData(pending);
                pending.erase(0, end + 1);
            }
            Reply(fd, &replies);
        }
    }
}

FullListener::FullListener(const std::string& address) {
    // A queue of length 0 holds the one connection made here and no more.
    listenFd_ = ListenOn(address, 0);
    if (listenFd_ == -1) return;
    sockaddr_in server = Port25(address);
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd != -1 && connect(fd, reinterpret_cast<sockaddr*>(&server), sizeof(server)) == 0) {
        fillerFd_ = fd;
    } else if (fd != -1) {
        close(fd);
    }
}

FullListener::~FullListener() {
    for (int fd : {fillerFd_, listenFd_}) {
        if (fd != -1) close(fd);
    }
}

}  // namespace testsupport
