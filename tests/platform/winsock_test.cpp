// The Winsock behaviour the SMTP sender relies on, on winsim and Wine alike.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <chrono>
#include <cstring>
#include <string>

#include "winsock_support.h"

namespace {

struct Bytes {
    unsigned char b[4];
};

template <typename T>
Bytes BytesOf(T value) {
    Bytes bytes = {{0, 0, 0, 0}};
    std::memcpy(bytes.b, &value, sizeof(value));
    return bytes;
}

using testsupport::Loopback;
using testsupport::Port25;

int Connect(SOCKET s, const std::string& address) {
    sockaddr_in server = Port25(address);
    return connect(s, reinterpret_cast<sockaddr*>(&server), sizeof(server));
}

int SetNonBlocking(SOCKET s, u_long on) { return ioctlsocket(s, FIONBIO, &on); }

class WinsockTest : public ::testing::Test {
protected:
    void SetUp() override {
        WSADATA data;
        ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 0), &data));
    }
    void TearDown() override { EXPECT_EQ(0, WSACleanup()); }

    // A listening socket on address:25 that never accepts.
    static SOCKET Listen(const std::string& address) {
        SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in local = Port25(address);
        EXPECT_EQ(0, bind(s, reinterpret_cast<sockaddr*>(&local), sizeof(local)));
        EXPECT_EQ(0, listen(s, 4));
        return s;
    }

    // select on one socket for writing and for exceptions, with a limit of
    // 5 s; which of the two it reported, and its count.
    static int WaitForConnect(SOCKET s, bool* writable, bool* failed) {
        fd_set writeSet;
        fd_set exceptSet;
        FD_ZERO(&writeSet);
        FD_SET(s, &writeSet);
        FD_ZERO(&exceptSet);
        FD_SET(s, &exceptSet);
        timeval limit;
        limit.tv_sec = 5;
        limit.tv_usec = 0;
        int count = select(0, nullptr, &writeSet, &exceptSet, &limit);
        *writable = FD_ISSET(s, &writeSet) != 0;
        *failed = FD_ISSET(s, &exceptSet) != 0;
        return count;
    }
};

TEST(WinsockStartupTest, StartupGrantsVersionTwoAndCleanupBalancesIt) {
    WSADATA data;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 0), &data));
    EXPECT_EQ(MAKEWORD(2, 0), data.wVersion);
    EXPECT_EQ(0, WSACleanup());
    EXPECT_EQ(SOCKET_ERROR, WSACleanup());
    EXPECT_EQ(WSANOTINITIALISED, WSAGetLastError());
}

TEST(WinsockStartupTest, SocketWithoutStartupIsInvalid) {
    EXPECT_EQ(INVALID_SOCKET, socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    EXPECT_EQ(WSANOTINITIALISED, WSAGetLastError());
}

TEST(WinsockConversionTest, InetAddrReadsDottedTextInNetworkOrder) {
    Bytes address = BytesOf(inet_addr("10.1.2.3"));
    EXPECT_EQ(10, address.b[0]);
    EXPECT_EQ(1, address.b[1]);
    EXPECT_EQ(2, address.b[2]);
    EXPECT_EQ(3, address.b[3]);
    EXPECT_NE(INADDR_NONE, inet_addr("127.0.1.2"));
}

TEST(WinsockConversionTest, InetAddrGivesNoneForNamesAndBadNumbers) {
    EXPECT_EQ(INADDR_NONE, inet_addr("mail.example.org"));
    EXPECT_EQ(INADDR_NONE, inet_addr("localhost"));
    EXPECT_EQ(INADDR_NONE, inet_addr("256.1.2.3"));
    EXPECT_EQ(INADDR_NONE, inet_addr(""));
}

TEST(WinsockConversionTest, HtonsPutsTheHighByteFirst) {
    Bytes port = BytesOf(htons(25));
    EXPECT_EQ(0, port.b[0]);
    EXPECT_EQ(25, port.b[1]);
    Bytes other = BytesOf(htons(0x1234));
    EXPECT_EQ(0x12, other.b[0]);
    EXPECT_EQ(0x34, other.b[1]);
}

TEST_F(WinsockTest, RefusedConnectFailsAndTheSocketClosesOnce) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_NE(INVALID_SOCKET, s);
    EXPECT_EQ(SOCKET_ERROR, Connect(s, Loopback("2.10")));
    EXPECT_EQ(WSAECONNREFUSED, WSAGetLastError());
    EXPECT_EQ(0, closesocket(s));
    EXPECT_EQ(SOCKET_ERROR, closesocket(s));
    EXPECT_EQ(WSAENOTSOCK, WSAGetLastError());
}

TEST_F(WinsockTest, NonBlockingConnectThatFailsIsReportedAsAnException) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_EQ(0, SetNonBlocking(s, 1));
    ASSERT_EQ(SOCKET_ERROR, Connect(s, Loopback("2.10")));
    int error = WSAGetLastError();
    if (error == WSAEWOULDBLOCK) {
        bool writable = true;
        bool failed = false;
        EXPECT_EQ(1, WaitForConnect(s, &writable, &failed));
        EXPECT_FALSE(writable);
        EXPECT_TRUE(failed);
    } else {
        EXPECT_EQ(WSAECONNREFUSED, error);
    }
    closesocket(s);
}

TEST_F(WinsockTest, NonBlockingConnectThatSucceedsIsReportedAsWritable) {
    SOCKET listener = Listen(Loopback("2.11"));
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_EQ(0, SetNonBlocking(s, 1));
    if (Connect(s, Loopback("2.11")) == SOCKET_ERROR) {
        ASSERT_EQ(WSAEWOULDBLOCK, WSAGetLastError());
        bool writable = false;
        bool failed = true;
        EXPECT_EQ(1, WaitForConnect(s, &writable, &failed));
        EXPECT_TRUE(writable);
        EXPECT_FALSE(failed);
    }
    EXPECT_EQ(0, SetNonBlocking(s, 0));
    EXPECT_EQ(5, send(s, "HELO\n", 5, 0));
    closesocket(s);
    closesocket(listener);
}

TEST_F(WinsockTest, ReceiveTimeOutIsInMillisecondsAndFailsWithTimedOut) {
    SOCKET listener = Listen(Loopback("2.12"));
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_EQ(0, Connect(s, Loopback("2.12")));
    DWORD timeout = 200;
    ASSERT_EQ(0, setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout)));
    char reply[16];
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SOCKET_ERROR, recv(s, reply, sizeof(reply), 0));
    EXPECT_EQ(WSAETIMEDOUT, WSAGetLastError());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    closesocket(s);
    closesocket(listener);
}

TEST_F(WinsockTest, GethostbynameGivesDottedTextItsOwnAddress) {
    hostent* host = gethostbyname("127.0.0.9");
    ASSERT_NE(nullptr, host);
    EXPECT_STREQ("127.0.0.9", host->h_name);
    EXPECT_EQ(AF_INET, host->h_addrtype);
    EXPECT_EQ(4, host->h_length);
    ASSERT_NE(nullptr, host->h_addr_list[0]);
    Bytes first;
    std::memcpy(first.b, host->h_addr_list[0], 4);
    EXPECT_EQ(127, first.b[0]);
    EXPECT_EQ(0, first.b[1]);
    EXPECT_EQ(0, first.b[2]);
    EXPECT_EQ(9, first.b[3]);
    EXPECT_EQ(nullptr, host->h_addr_list[1]);
}

TEST_F(WinsockTest, GethostbynameOfAnUnknownNameGivesNull) {
    EXPECT_EQ(nullptr, gethostbyname("kestrove-no-such-host.invalid"));
    // Where no resolver answers at all, Windows gives WSATRY_AGAIN.
    int error = WSAGetLastError();
    EXPECT_TRUE(error == WSAHOST_NOT_FOUND || error == WSATRY_AGAIN) << error;
}

}  // namespace
