// winsim's Winsock controls: the test clock on socket time-outs, the count of
// open sockets and start-ups, release at clean-up and reset, injected failures.
#include <gtest/gtest.h>
#include <winsim/control.h>
#include <winsock2.h>

#include <chrono>
#include <string>
#include <vector>

#include "winsock_support.h"

namespace {

using testsupport::Loopback;
using testsupport::Port25;

class WinsimWinsockTest : public ::testing::Test {
protected:
    void SetUp() override {
        winsim::Reset();
        WSADATA data;
        ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 0), &data));
    }

    static SOCKET Listen(const std::string& address) {
        SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in local = Port25(address);
        EXPECT_EQ(0, bind(s, reinterpret_cast<sockaddr*>(&local), sizeof(local)));
        EXPECT_EQ(0, listen(s, 4));
        return s;
    }
    static SOCKET Connected(const std::string& address) {
        SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in server = Port25(address);
        EXPECT_EQ(0, connect(s, reinterpret_cast<sockaddr*>(&server), sizeof(server)));
        return s;
    }
};

TEST_F(WinsimWinsockTest, ReceiveTimeOutRunsOnTheTestClock) {
    Listen(Loopback("1.30"));
    SOCKET s = Connected(Loopback("1.30"));
    winsim::SetTimeScale(0.001);
    DWORD timeout = 30000;
    ASSERT_EQ(0, setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout)));
    char reply[8];
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SOCKET_ERROR, recv(s, reply, sizeof(reply), 0));
    EXPECT_EQ(WSAETIMEDOUT, WSAGetLastError());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(std::vector<DWORD>{30000}, winsim::PassedSocketTimeOuts());
}

// Windows documents this (Wine passes such a connect on to the host, which
// takes the any address for the local one).
TEST_F(WinsimWinsockTest, ConnectToTheAnyAddressIsRefusedAsNotAvailable) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in server = Port25("0.0.0.0");
    EXPECT_EQ(SOCKET_ERROR, connect(s, reinterpret_cast<sockaddr*>(&server), sizeof(server)));
    EXPECT_EQ(WSAEADDRNOTAVAIL, WSAGetLastError());
}

TEST_F(WinsimWinsockTest, SocketsAndStartupsAreCounted) {
    WSADATA data;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 0), &data));
    EXPECT_EQ(2, winsim::WinsockStartups());
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    EXPECT_EQ(1, winsim::OpenSockets());
    closesocket(s);
    EXPECT_EQ(0, winsim::OpenSockets());
    WSACleanup();
    EXPECT_EQ(1, winsim::WinsockStartups());
}

TEST_F(WinsimWinsockTest, LastCleanupReleasesOpenSocketsAndCountsThem) {
    WSADATA data;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 0), &data));
    socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    WSACleanup();
    EXPECT_EQ(1, winsim::OpenSockets());
    EXPECT_EQ(0, winsim::SocketsLeftAtCleanup());
    WSACleanup();
    EXPECT_EQ(0, winsim::OpenSockets());
    EXPECT_EQ(1, winsim::SocketsLeftAtCleanup());
}

TEST_F(WinsimWinsockTest, ResetClosesSocketsAndForgetsStartupsAndNamedHosts) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    winsim::NameHost("mail.kestrove.test", "127.0.0.9");
    EXPECT_DEATH(winsim::NameHost("MAIL.kestrove.test", "127.0.0.10"), "NameHost .*\\(a name named twice\\)");
    hostent* host = gethostbyname("MAIL.Kestrove.test");
    ASSERT_NE(nullptr, host);
    EXPECT_STREQ("mail.kestrove.test", host->h_name);
    EXPECT_EQ(inet_addr("127.0.0.9"), reinterpret_cast<in_addr*>(host->h_addr_list[0])->s_addr);
    EXPECT_EQ(nullptr, host->h_addr_list[1]);
    winsim::Reset();
    EXPECT_EQ(0, winsim::OpenSockets());
    EXPECT_EQ(0, winsim::WinsockStartups());
    EXPECT_EQ(SOCKET_ERROR, closesocket(s));
    EXPECT_EQ(WSANOTINITIALISED, WSAGetLastError());
    WSADATA data;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(2, 0), &data));
    EXPECT_EQ(nullptr, gethostbyname("mail.kestrove.test"));
    EXPECT_EQ(WSAHOST_NOT_FOUND, WSAGetLastError());
    EXPECT_EQ(nullptr, gethostbyname("localhost"));  // the host's resolver knows it; winsim asks none
    EXPECT_EQ(WSAHOST_NOT_FOUND, WSAGetLastError());
    // Naming it again would abort had Reset kept it; the short form of 127.0.0.10.
    winsim::NameHost("mail.kestrove.test", "127.10");
    host = gethostbyname("mail.kestrove.test");
    ASSERT_NE(nullptr, host);
    EXPECT_EQ(inet_addr("127.0.0.10"), reinterpret_cast<in_addr*>(host->h_addr_list[0])->s_addr);
}

TEST_F(WinsimWinsockTest, InjectedFailuresGiveTheirCodeThroughWSAGetLastError) {
    winsim::FailCall("connect", WSAENETUNREACH);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in server = Port25(Loopback("1.31"));
    EXPECT_EQ(SOCKET_ERROR, connect(s, reinterpret_cast<sockaddr*>(&server), sizeof(server)));
    EXPECT_EQ(WSAENETUNREACH, WSAGetLastError());
    winsim::FailCall("WSAStartup", WSASYSNOTREADY);
    WSADATA data;
    EXPECT_EQ(WSASYSNOTREADY, WSAStartup(MAKEWORD(2, 0), &data));
    EXPECT_EQ(1, winsim::WinsockStartups());
    winsim::FailCall("inet_addr", 0);
    EXPECT_EQ(INADDR_NONE, inet_addr("10.1.2.3"));
}

}  // namespace
