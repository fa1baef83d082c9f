// A scripted SMTP server on port 25 of a loopback address, for the tests of
// the SMTP sender. It talks BSD sockets on a thread of its own, so failures
// injected into winsim's Winsock never reach it.
#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "loopback.h"

namespace testsupport {

// What the peer answers. It sends its greeting on connection, then one reply
// for each line it receives and for each end of data (it takes the lines after
// "DATA" as message text whatever it answered to DATA).
enum class SmtpScript {
    Normal,         // 2xx and 3xx replies as a mail server gives them
    RejectAll,      // a 5xx reply to everything, the greeting included
    SplitGreeting,  // the greeting in two pieces, the second in answer to HELO; later replies one step late
    HeloReply1023,  // a HELO reply of exactly 1023 bytes
    HeloReply1024,  // a HELO reply of exactly 1024 bytes
    RcptReply1024,  // a RCPT TO reply of exactly 1024 bytes
    CloseEarly,     // the greeting, then the sending side closed; keeps recording
    Silent,         // accepts and never answers
};

// The replies a script sends, in order: the greeting first.
std::vector<std::string> SmtpScriptReplies(SmtpScript script);

class SmtpPeer {
public:
    // Listens on address:25 (the test fails if it can't) and serves connections one after another.
    SmtpPeer(const std::string& address, SmtpScript script);
    ~SmtpPeer();
    SmtpPeer(const SmtpPeer&) = delete;
    SmtpPeer& operator=(const SmtpPeer&) = delete;

    bool Listening() const { return listenFd_ != -1; }
    // Runs call on the peer's thread as each connection is accepted, before
    // the greeting: it sees what the client had done before it connected.
    void OnConnection(std::function<void()> call);
    // Waits until the client has closed its first connection; false when it
    // did not within the limit.
    bool WaitForClientClose(std::chrono::milliseconds limit = std::chrono::seconds(10));
    // Every byte received on the first connection so far.
    std::string Received();
    int Connections();

private:
    void Serve();
    void ServeConnection(int fd, size_t index);
    static void Reply(int fd, std::vector<std::string>* replies);

    std::vector<std::string> replies_;
    bool closeAfterGreeting_;
    int listenFd_ = -1;
    int wakeFds_[2] = {-1, -1};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> received_;
    std::vector<bool> closedByClient_;
    std::function<void()> onConnection_;
    std::thread thread_;
};

// A listener on address:25 whose queue one connection of its own has filled,
// so that no further connect completes: a server that never answers a SYN.
class FullListener {
public:
    explicit FullListener(const std::string& address);
    ~FullListener();
    FullListener(const FullListener&) = delete;
    FullListener& operator=(const FullListener&) = delete;

    bool Ready() const { return fillerFd_ != -1; }

private:
    int listenFd_ = -1;
    int fillerFd_ = -1;
};

}  // namespace testsupport
