// The host's BSD socket calls that winsim's Winsock is made of, kept apart from
// the Winsock declarations whose names and types they share.
#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace winsim::detail::bsd {

// Each call returns what its BSD counterpart does (-1 with errno on failure).
// Addresses and ports are IPv4, in network byte order.
int TcpSocket();
int Connect(int fd, uint32_t address, uint16_t port);
int Bind(int fd, uint32_t address, uint16_t port);
int Listen(int fd, int backlog);
long Send(int fd, const void* data, size_t length);  // never raises SIGPIPE
long Receive(int fd, void* data, size_t length);
int Close(int fd);
int SetNonBlocking(int fd, bool nonBlocking);
// A zero time-out waits without limit.
int SetTimeout(int fd, bool receive, std::chrono::microseconds timeout);
// The pending error of the socket (0 when none), which this clears.
int TakeSocketError(int fd);

// inet_aton's reading of dotted text; false when it is no address.
bool ParseDotted(const char* text, uint32_t* address);

}  // namespace winsim::detail::bsd
