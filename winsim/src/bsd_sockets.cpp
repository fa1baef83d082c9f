// The host's BSD socket calls behind winsim's Winsock.
#include "bsd_sockets.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace winsim::detail::bsd {
namespace {

sockaddr_in Address(uint32_t address, uint16_t port) {
    sockaddr_in result;
    std::memset(&result, 0, sizeof(result));
    result.sin_family = AF_INET;
    result.sin_port = port;
    result.sin_addr.s_addr = address;
    return result;
}

}  // namespace

int TcpSocket() { return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP); }

int Connect(int fd, uint32_t address, uint16_t port) {
    sockaddr_in peer = Address(address, port);
    int result;
    do {
        result = ::connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof(peer));
    } while (result == -1 && errno == EINTR);
    return result;
}

int Bind(int fd, uint32_t address, uint16_t port) {
    sockaddr_in local = Address(address, port);
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof(local));
}

int Listen(int fd, int backlog) { return ::listen(fd, backlog); }

long Send(int fd, const void* data, size_t length) {
    long result;
    do {
        result = ::send(fd, data, length, MSG_NOSIGNAL);
    } while (result == -1 && errno == EINTR);
    return result;
}

long Receive(int fd, void* data, size_t length) {
    long result;
    do {
        result = ::recv(fd, data, length, 0);
    } while (result == -1 && errno == EINTR);
    return result;
}

int Close(int fd) { return ::close(fd); }

int SetNonBlocking(int fd, bool nonBlocking) {
    int flags = ::fcntl(fd, F_GETFL);
    if (flags == -1) return -1;
    return ::fcntl(fd, F_SETFL, nonBlocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK));
}

int SetTimeout(int fd, bool receive, std::chrono::microseconds timeout) {
    timeval limit;
    limit.tv_sec = static_cast<time_t>(timeout.count() / 1000000);
    limit.tv_usec = static_cast<suseconds_t>(timeout.count() % 1000000);
    return ::setsockopt(fd, SOL_SOCKET, receive ? SO_RCVTIMEO : SO_SNDTIMEO, &limit, sizeof(limit));
}

int TakeSocketError(int fd) {
    int error = 0;
    socklen_t length = sizeof(error);
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == -1) return errno;
    return error;
}

bool ParseDotted(const char* text, uint32_t* address) {
    in_addr parsed;
    if (::inet_aton(text, &parsed) == 0) return false;
    *address = parsed.s_addr;
    return true;
}

}  // namespace winsim::detail::bsd
