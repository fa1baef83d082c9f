// The host's loopback networks: each process claims one for as long as it lives.
#include "loopback.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace testsupport {
namespace {

// Binds 127.n.0.1:25, which no test uses, and keeps the socket open until the
// process ends: another process's bind fails, so no two live processes ever
// hold the same network. The process id picks the first one tried.
int ClaimNetwork() {
    for (int tried = 0; tried < 255; ++tried) {
        int network = 1 + static_cast<int>((getpid() + tried) % 255);
        sockaddr_in claim;
        std::memset(&claim, 0, sizeof(claim));
        claim.sin_family = AF_INET;
        claim.sin_port = htons(25);
        claim.sin_addr.s_addr = htonl(0x7F000001u | static_cast<unsigned>(network) << 16);
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd == -1) break;
        if (bind(fd, reinterpret_cast<sockaddr*>(&claim), sizeof(claim)) == 0) return network;
        int error = errno;
        close(fd);
        errno = error;
        if (error != EADDRINUSE) break;
    }
    std::fprintf(stderr, "No loopback network of its own for this test process: %s\n", std::strerror(errno));
    std::abort();
}

}  // namespace

std::string Loopback(const char* own) {
    static const int network = ClaimNetwork();
    return "127." + std::to_string(network) + "." + own;
}

}  // namespace testsupport
