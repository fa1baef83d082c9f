// Winsock over the host's BSD sockets: a SOCKET is the real file descriptor,
// with Winsock's start-up rule, error codes, blocking modes and select.
#include <winsim/control.h>
#include <winsock2.h>

#include <errno.h>
#include <poll.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "bsd_sockets.h"
#include "internal.h"

namespace {

namespace bsd = winsim::detail::bsd;
using winsim::detail::InjectedFailure;

struct SocketState {
    bool nonBlocking = false;
    bool connecting = false;  // a non-blocking connect is under way
    DWORD receiveTimeOut = 0;  // SO_RCVTIMEO and SO_SNDTIMEO as given, in ms
    DWORD sendTimeOut = 0;
};

struct WinsockState {
    std::mutex mutex;
    int startups = 0;
    int leftAtCleanup = 0;
    std::map<SOCKET, SocketState> sockets;
    std::vector<DWORD> passedTimeOuts;
    std::map<std::wstring, std::pair<std::string, uint32_t>> namedHosts;  // by lower-case name
};

void CloseAll(WinsockState& state) {
    for (const auto& entry : state.sockets) bsd::Close(static_cast<int>(entry.first));
    state.sockets.clear();
}

WinsockState& Winsock() {
    static WinsockState& state = *new WinsockState;  // never destroyed: threads may outlive main
    static bool hooked = (winsim::detail::OnReset([] {
                              std::lock_guard<std::mutex> lock(state.mutex);
                              CloseAll(state);
                              state.startups = 0;
                              state.leftAtCleanup = 0;
                              state.passedTimeOuts.clear();
                              state.namedHosts.clear();
                          }),
                          true);
    (void)hooked;
    return state;
}

int WsaError(int error) {
    switch (error) {
        case EINTR: return WSAEINTR;
        case EBADF: return WSAENOTSOCK;
        case EACCES: case EPERM: return WSAEACCES;
        case EFAULT: return WSAEFAULT;
        case EINVAL: return WSAEINVAL;
        case EMFILE: case ENFILE: return WSAEMFILE;
        case EINPROGRESS: return WSAEWOULDBLOCK;
        case EALREADY: return WSAEALREADY;
        case ENOTSOCK: return WSAENOTSOCK;
        case EMSGSIZE: return WSAEMSGSIZE;
        case EPROTONOSUPPORT: return WSAEPROTONOSUPPORT;
        case EAFNOSUPPORT: return WSAEAFNOSUPPORT;
        case EADDRINUSE: return WSAEADDRINUSE;
        case EADDRNOTAVAIL: return WSAEADDRNOTAVAIL;
        case ENETDOWN: return WSAENETDOWN;
        case ENETUNREACH: return WSAENETUNREACH;
        case ECONNABORTED: return WSAECONNABORTED;
        case ECONNRESET: case EPIPE: return WSAECONNRESET;
        case ENOBUFS: case ENOMEM: return WSAENOBUFS;
        case EISCONN: return WSAEISCONN;
        case ENOTCONN: return WSAENOTCONN;
        case ESHUTDOWN: return WSAESHUTDOWN;
        case ETIMEDOUT: return WSAETIMEDOUT;
        case ECONNREFUSED: return WSAECONNREFUSED;
        case EHOSTUNREACH: return WSAEHOSTUNREACH;
        default: return WSAEINVAL;
    }
}

// Applies an injected failure; true when the caller must return.
bool Fails(const char* function) {
    unsigned long code = 0;
    if (!InjectedFailure(function, &code)) return false;
    WSASetLastError(static_cast<int>(code));
    return true;
}

int Failure(int wsaError) {
    WSASetLastError(wsaError);
    return SOCKET_ERROR;
}

// Every socket call needs a successful WSAStartup first and a socket of ours.
bool Usable(SOCKET s, SocketState* state) {
    WinsockState& winsock = Winsock();
    std::lock_guard<std::mutex> lock(winsock.mutex);
    if (winsock.startups == 0) {
        WSASetLastError(WSANOTINITIALISED);
        return false;
    }
    auto found = winsock.sockets.find(s);
    if (found == winsock.sockets.end()) {
        WSASetLastError(WSAENOTSOCK);
        return false;
    }
    if (state) *state = found->second;
    return true;
}

void Update(SOCKET s, const SocketState& state) {
    std::lock_guard<std::mutex> lock(Winsock().mutex);
    auto found = Winsock().sockets.find(s);
    if (found != Winsock().sockets.end()) found->second = state;
}

bool Started() {
    std::lock_guard<std::mutex> lock(Winsock().mutex);
    if (Winsock().startups > 0) return true;
    WSASetLastError(WSANOTINITIALISED);
    return false;
}

int Fd(SOCKET s) { return static_cast<int>(s); }

// An IPv4 socket address of the caller's, or a Winsock error.
int ReadAddress(const struct sockaddr* name, int nameLength, sockaddr_in* address) {
    if (name == nullptr || nameLength < static_cast<int>(sizeof(sockaddr_in))) return WSAEFAULT;
    std::memcpy(address, name, sizeof(*address));
    if (address->sin_family != AF_INET) return WSAEAFNOSUPPORT;
    return 0;
}

void TimeOutPassed(DWORD milliseconds) {
    std::lock_guard<std::mutex> lock(Winsock().mutex);
    Winsock().passedTimeOuts.push_back(milliseconds);
}

// A blocking call whose time-out passed fails with WSAETIMEDOUT; a
// non-blocking one that can't go on yet with WSAEWOULDBLOCK.
int TransferFailure(int error, const SocketState& state, DWORD timeOut) {
    if (error != EAGAIN && error != EWOULDBLOCK) return Failure(WsaError(error));
    if (state.nonBlocking) return Failure(WSAEWOULDBLOCK);
    TimeOutPassed(timeOut);
    return Failure(WSAETIMEDOUT);
}

// Puts a ready socket back into its set; the count select adds up.
int Mark(bool ready, SOCKET s, fd_set* set) {
    if (!ready) return 0;
    FD_SET(Fd(s), set);
    return 1;
}

// The address of a name as a hosts file gives it: IPv4 address text, read as
// inet_addr reads it, stands for itself, a name given with winsim::NameHost for
// its address, under the name as given. False for any other name: no resolver
// is asked.
bool FindHost(const char* name, std::string* canonicalName, uint32_t* address) {
    if (bsd::ParseDotted(name, address)) {
        *canonicalName = name;
        return true;
    }
    std::lock_guard<std::mutex> lock(Winsock().mutex);
    auto found = Winsock().namedHosts.find(winsim::detail::LowerCase(winsim::detail::Widen(name)));
    if (found == Winsock().namedHosts.end()) return false;
    *canonicalName = found->second.first;
    *address = found->second.second;
    return true;
}

struct HostEntry {
    std::string name;
    in_addr address;
    char* addressList[2] = {nullptr, nullptr};
    char* aliases[1] = {nullptr};
    hostent entry;
};

}  // namespace

extern "C" {

int WSAStartup(WORD versionRequested, LPWSADATA data) {
    unsigned long code = 0;
    if (InjectedFailure("WSAStartup", &code)) return static_cast<int>(code);
    if (data == nullptr) return WSAEFAULT;
    if (LOBYTE(versionRequested) < 1) return WSAVERNOTSUPPORTED;
    std::memset(data, 0, sizeof(*data));
    const WORD highest = MAKEWORD(2, 2);
    bool aboveHighest = LOBYTE(versionRequested) > 2 ||
                        (LOBYTE(versionRequested) == 2 && HIBYTE(versionRequested) > 2);
    data->wVersion = aboveHighest ? highest : versionRequested;
    data->wHighVersion = highest;
    std::strcpy(data->szDescription, "WinSock 2.0");
    std::strcpy(data->szSystemStatus, "Running");
    std::lock_guard<std::mutex> lock(Winsock().mutex);
    ++Winsock().startups;
    return 0;
}

int WSACleanup(void) {
    if (Fails("WSACleanup")) return SOCKET_ERROR;
    WinsockState& winsock = Winsock();
    std::lock_guard<std::mutex> lock(winsock.mutex);
    if (winsock.startups == 0) return Failure(WSANOTINITIALISED);
    if (--winsock.startups == 0) {
        // The last clean-up releases the sockets that are still open.
        winsock.leftAtCleanup += static_cast<int>(winsock.sockets.size());
        CloseAll(winsock);
    }
    return 0;
}

int WSAGetLastError(void) { return static_cast<int>(GetLastError()); }

void WSASetLastError(int error) { SetLastError(static_cast<DWORD>(error)); }

SOCKET socket(int af, int type, int protocol) {
    if (Fails("socket") || !Started()) return INVALID_SOCKET;
    if (af != AF_INET) {
        WSASetLastError(WSAEAFNOSUPPORT);
        return INVALID_SOCKET;
    }
    if (type != SOCK_STREAM) winsim::detail::Unimplemented("socket", "only SOCK_STREAM sockets");
    if (protocol != 0 && protocol != IPPROTO_TCP) {
        WSASetLastError(WSAEPROTONOSUPPORT);
        return INVALID_SOCKET;
    }
    int fd = bsd::TcpSocket();
    if (fd == -1) {
        WSASetLastError(WsaError(errno));
        return INVALID_SOCKET;
    }
    SOCKET s = static_cast<SOCKET>(fd);
    std::lock_guard<std::mutex> lock(Winsock().mutex);
    Winsock().sockets[s] = SocketState();
    return s;
}

int closesocket(SOCKET s) {
    if (Fails("closesocket") || !Usable(s, nullptr)) return SOCKET_ERROR;
    {
        std::lock_guard<std::mutex> lock(Winsock().mutex);
        Winsock().sockets.erase(s);
    }
    if (bsd::Close(Fd(s)) == -1) return Failure(WsaError(errno));
    return 0;
}

int bind(SOCKET s, const struct sockaddr* name, int nameLength) {
    if (Fails("bind") || !Usable(s, nullptr)) return SOCKET_ERROR;
    sockaddr_in address;
    if (int error = ReadAddress(name, nameLength, &address)) return Failure(error);
    if (bsd::Bind(Fd(s), address.sin_addr.s_addr, address.sin_port) == -1) return Failure(WsaError(errno));
    return 0;
}

int listen(SOCKET s, int backlog) {
    if (Fails("listen") || !Usable(s, nullptr)) return SOCKET_ERROR;
    if (bsd::Listen(Fd(s), backlog) == -1) return Failure(WsaError(errno));
    return 0;
}

int connect(SOCKET s, const struct sockaddr* name, int nameLength) {
    SocketState state;
    if (Fails("connect") || !Usable(s, &state)) return SOCKET_ERROR;
    sockaddr_in address;
    if (int error = ReadAddress(name, nameLength, &address)) return Failure(error);
    // Windows refuses the "any" address and port 0 as a destination.
    if (address.sin_addr.s_addr == INADDR_ANY || address.sin_port == 0) return Failure(WSAEADDRNOTAVAIL);
    if (bsd::Connect(Fd(s), address.sin_addr.s_addr, address.sin_port) == 0) return 0;
    int error = errno;
    if (error == EINPROGRESS && state.nonBlocking) {
        state.connecting = true;
        Update(s, state);
        return Failure(WSAEWOULDBLOCK);
    }
    return Failure(WsaError(error));
}

int send(SOCKET s, const char* buffer, int length, int flags) {
    SocketState state;
    if (Fails("send") || !Usable(s, &state)) return SOCKET_ERROR;
    if (flags != 0) winsim::detail::Unimplemented("send", "flags other than 0");
    if (length < 0 || (buffer == nullptr && length > 0)) return Failure(WSAEFAULT);
    long sent = bsd::Send(Fd(s), buffer, static_cast<size_t>(length));
    if (sent == -1) return TransferFailure(errno, state, state.sendTimeOut);
    return static_cast<int>(sent);
}

int recv(SOCKET s, char* buffer, int length, int flags) {
    SocketState state;
    if (Fails("recv") || !Usable(s, &state)) return SOCKET_ERROR;
    if (flags != 0) winsim::detail::Unimplemented("recv", "flags other than 0");
    if (length < 0 || (buffer == nullptr && length > 0)) return Failure(WSAEFAULT);
    long received = bsd::Receive(Fd(s), buffer, static_cast<size_t>(length));
    if (received == -1) return TransferFailure(errno, state, state.receiveTimeOut);
    return static_cast<int>(received);
}

int setsockopt(SOCKET s, int level, int name, const char* value, int length) {
    SocketState state;
    if (Fails("setsockopt") || !Usable(s, &state)) return SOCKET_ERROR;
    if (level != SOL_SOCKET || (name != SO_RCVTIMEO && name != SO_SNDTIMEO)) {
        winsim::detail::Unimplemented("setsockopt", "only SO_RCVTIMEO and SO_SNDTIMEO");
    }
    if (value == nullptr || length < static_cast<int>(sizeof(DWORD))) return Failure(WSAEFAULT);
    DWORD milliseconds;
    std::memcpy(&milliseconds, value, sizeof(milliseconds));
    // Time-outs run on winsim's test clock; 0 still means no limit.
    std::chrono::microseconds timeout(0);
    if (milliseconds != 0) timeout = std::max(winsim::detail::ScaledTime(milliseconds), std::chrono::microseconds(1));
    if (bsd::SetTimeout(Fd(s), name == SO_RCVTIMEO, timeout) == -1) return Failure(WsaError(errno));
    (name == SO_RCVTIMEO ? state.receiveTimeOut : state.sendTimeOut) = milliseconds;
    Update(s, state);
    return 0;
}

int ioctlsocket(SOCKET s, LONG command, u_long* argument) {
    SocketState state;
    if (Fails("ioctlsocket") || !Usable(s, &state)) return SOCKET_ERROR;
    if (command != FIONBIO) winsim::detail::Unimplemented("ioctlsocket", "only FIONBIO");
    if (argument == nullptr) return Failure(WSAEFAULT);
    state.nonBlocking = *argument != 0;
    if (bsd::SetNonBlocking(Fd(s), state.nonBlocking) == -1) return Failure(WsaError(errno));
    Update(s, state);
    return 0;
}

int select(int, fd_set* readfds, fd_set* writefds, fd_set* exceptfds, struct timeval* timeout) {
    if (Fails("select") || !Started()) return SOCKET_ERROR;
    struct Watched {
        SOCKET s;
        SocketState state;
        bool read, write, except;
    };
    std::vector<Watched> watched;
    for (int fd = 0; fd < FD_SETSIZE; ++fd) {
        Watched entry{static_cast<SOCKET>(fd), SocketState(), readfds && FD_ISSET(fd, readfds),
                      writefds && FD_ISSET(fd, writefds), exceptfds && FD_ISSET(fd, exceptfds)};
        if (!entry.read && !entry.write && !entry.except) continue;
        if (!Usable(entry.s, &entry.state)) return SOCKET_ERROR;
        watched.push_back(entry);
    }
    if (watched.empty()) return Failure(WSAEINVAL);

    std::vector<pollfd> polled;
    for (const Watched& entry : watched) {
        short events = 0;
        if (entry.read) events |= POLLIN;
        if (entry.write || (entry.except && entry.state.connecting)) events |= POLLOUT;
        if (entry.except) events |= POLLPRI;
        polled.push_back(pollfd{Fd(entry.s), events, 0});
    }
    timespec limit;
    long long milliseconds = 0;
    if (timeout) {
        milliseconds = static_cast<long long>(timeout->tv_sec) * 1000 + (timeout->tv_usec + 999) / 1000;
        std::chrono::microseconds scaled = winsim::detail::ScaledTime(static_cast<DWORD>(milliseconds));
        limit.tv_sec = static_cast<time_t>(scaled.count() / 1000000);
        limit.tv_nsec = static_cast<long>(scaled.count() % 1000000) * 1000;
    }
    int ready;
    do {
        ready = ppoll(polled.data(), polled.size(), timeout ? &limit : nullptr, nullptr);
    } while (ready == -1 && errno == EINTR);
    if (ready == -1) return Failure(WsaError(errno));
    if (ready == 0 && timeout) TimeOutPassed(static_cast<DWORD>(milliseconds));

    if (readfds) FD_ZERO(readfds);
    if (writefds) FD_ZERO(writefds);
    if (exceptfds) FD_ZERO(exceptfds);
    int count = 0;
    for (size_t i = 0; i < watched.size(); ++i) {
        Watched& entry = watched[i];
        short events = polled[i].revents;
        bool readable = events & (POLLIN | POLLHUP | POLLERR);
        bool writable = events & POLLOUT;
        bool exceptional = events & POLLPRI;
        if (entry.state.connecting) {
            readable = writable = exceptional = false;
            if (events & (POLLOUT | POLLERR | POLLHUP)) {
                // The connect has ended: success makes the socket writable, failure exceptional.
                entry.state.connecting = false;
                Update(entry.s, entry.state);
                bool failed = bsd::TakeSocketError(Fd(entry.s)) != 0;
                writable = !failed;
                exceptional = failed;
            }
        }
        count += Mark(entry.read && readable, entry.s, readfds);
        count += Mark(entry.write && writable, entry.s, writefds);
        count += Mark(entry.except && exceptional, entry.s, exceptfds);
    }
    return count;
}

USHORT htons(USHORT host) {
    unsigned long code = 0;
    if (InjectedFailure("htons", &code)) winsim::detail::Unimplemented("htons", "htons cannot fail");
    return static_cast<USHORT>(((host & 0xff) << 8) | (host >> 8));
}

USHORT ntohs(USHORT network) {
    unsigned long code = 0;
    if (InjectedFailure("ntohs", &code)) winsim::detail::Unimplemented("ntohs", "ntohs cannot fail");
    return static_cast<USHORT>(((network & 0xff) << 8) | (network >> 8));
}

ULONG inet_addr(const char* text) {
    unsigned long code = 0;
    if (InjectedFailure("inet_addr", &code) || text == nullptr) return INADDR_NONE;
    uint32_t address;
    if (!bsd::ParseDotted(text, &address)) return INADDR_NONE;
    return address;
}

struct hostent* gethostbyname(const char* name) {
    if (Fails("gethostbyname") || !Started()) return nullptr;
    if (name == nullptr || *name == '\0') winsim::detail::Unimplemented("gethostbyname", "the local host's own name");
    // Winsock keeps one result per thread, valid until the thread's next call.
    thread_local HostEntry host;
    uint32_t address = 0;
    if (!FindHost(name, &host.name, &address)) {
        WSASetLastError(WSAHOST_NOT_FOUND);
        return nullptr;
    }
    host.address.s_addr = address;
    host.addressList[0] = reinterpret_cast<char*>(&host.address);
    host.entry.h_name = &host.name[0];
    host.entry.h_aliases = host.aliases;
    host.entry.h_addrtype = AF_INET;
    host.entry.h_length = sizeof(in_addr);
    host.entry.h_addr_list = host.addressList;
    return &host.entry;
}

}  // extern "C"

namespace winsim {

int OpenSockets() {
    std::lock_guard<std::mutex> lock(Winsock().mutex);
    return static_cast<int>(Winsock().sockets.size());
}

int WinsockStartups() {
    std::lock_guard<std::mutex> lock(Winsock().mutex);
    return Winsock().startups;
}

int SocketsLeftAtCleanup() {
    std::lock_guard<std::mutex> lock(Winsock().mutex);
    return Winsock().leftAtCleanup;
}

std::vector<DWORD> PassedSocketTimeOuts() {
    std::lock_guard<std::mutex> lock(Winsock().mutex);
    return Winsock().passedTimeOuts;
}

void NameHost(const std::string& name, const std::string& address) {
    uint32_t parsed = 0;
    if (name.empty() || !bsd::ParseDotted(address.c_str(), &parsed)) {
        winsim::detail::Unimplemented("NameHost", "a name and an IPv4 address as inet_addr reads it");
    }
    std::lock_guard<std::mutex> lock(Winsock().mutex);
    auto entry = std::make_pair(winsim::detail::LowerCase(winsim::detail::Widen(name)), std::make_pair(name, parsed));
    if (!Winsock().namedHosts.insert(entry).second) winsim::detail::Unimplemented("NameHost", "a name named twice");
}

}  // namespace winsim
