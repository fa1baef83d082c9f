// Winsock helpers shared by the socket tests (Windows API only).
#pragma once
#include <winsock2.h>

#include <cstring>
#include <string>

#include "loopback.h"

namespace testsupport {

// The IPv4 socket address of port 25 on a dotted address.
inline sockaddr_in Port25(const std::string& address) {
    sockaddr_in result;
    std::memset(&result, 0, sizeof(result));
    result.sin_family = AF_INET;
    result.sin_port = htons(25);
    result.sin_addr.s_addr = inet_addr(address.c_str());
    return result;
}

}  // namespace testsupport
