// The SMTP sender against the scripted peer on loopback: the bytes on the
// wire, the log sink, the boxes of mode "TEST", failures and time-outs.
#include <gtest/gtest.h>
#include <winsim/control.h>
#include <winsock2.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "common/settings.h"
#include "common/smtp.h"
#include "smtp_messages.h"
#include "smtp_peer_host.h"

namespace {

using testsupport::Loopback;
using testsupport::SmtpPeer;
using testsupport::SmtpScript;

const char kRecipient[] = "someone@example.net";

// The test message to kRecipient, greeting to QUIT.
const std::string kTestMessage =
    "HELO THERE\r\n"
    "MAIL FROM: <kestrove@example.org>\r\n"
    "RCPT TO: <someone@example.net>\r\n"
    "DATA\r\n"
    "Priority: Urgent\r\nImportance: high\r\n"
    "From: kestrove@example.org\r\n"
    "To: Undisclosed Recipients\r\n"
    "Subject: Mirdal RDP Kestrove Notification Test\r\n\r\n"
    "Mirdal RDP Kestrove Notification test message.  This is to confirm valid server settings.###"
    "\r\n.\r\n"
    "QUIT\n";

std::vector<std::string> g_log;

int CollectLog(char* text, int length) {
    g_log.emplace_back(text, static_cast<size_t>(length));
    return 0;
}

class SmtpHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        winsim::Reset();
        g_log.clear();
        std::strcpy(g_emailFrom, testsupport::kSmtpTestSender);
        std::strcpy(g_adminEmailAddress, testsupport::kSmtpTestAdmin);
    }

    static void UseServer(const std::string& server) { std::strcpy(g_smtpServer, server.c_str()); }

    static int SendAdminNotice() { return SendSmtpMail("admin", nullptr, "10.1.2.3", CollectLog); }
    static int SendTestMessage() { return SendSmtpMail("TEST", kRecipient, nullptr, CollectLog); }

    // The log of a dialogue with the normal script, up to the end of DATA's reply.
    static std::vector<std::string> LogUntilData(const std::string& server, const std::vector<std::string>& replies) {
        return {"Initializing winsock()...\r\n", "Connecting to " + server + " ...\r\n", "HELO THERE\r\n",
                replies[1], "MAIL FROM: <kestrove@example.org>\r\n", replies[2], "RCPT TO: <someone@example.net>\r\n",
                replies[3], "DATA\r\n", replies[4]};
    }
    static std::vector<std::string> WithHeaderLines(std::vector<std::string> log) {
        log.push_back("Priority: Urgent\r\nImportance: high\r\n");
        log.push_back("From: kestrove@example.org\r\n");
        return log;
    }

    // The time-out tests run the program's clock at a twentieth of real time.
    static constexpr double kTimeScale = 0.05;

    // The call ended on one time-out, the program's 30 s to the millisecond
    // as winsim records it, and lasted that long: winsim's scaled clock counts
    // whole microseconds of real time, so the call falls short of 30 s by one
    // of them at the most. How much longer it took depends on the machine's
    // load, so the bound above is loose: a clock that stopped scaling would
    // take 600 s.
    static void ExpectThirtySecondTimeOutSince(std::chrono::steady_clock::time_point start) {
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / kTimeScale;
        EXPECT_EQ(std::vector<DWORD>{30000}, winsim::PassedSocketTimeOuts());
        EXPECT_GE(seconds, 30.0 - 1e-6 / kTimeScale);
        EXPECT_LT(seconds, 45.0);
    }

    // Every path closes its socket itself and balances WSAStartup.
    static void ExpectCleanEnd() {
        EXPECT_EQ(0, winsim::OpenSockets());
        EXPECT_EQ(0, winsim::SocketsLeftAtCleanup());
        EXPECT_EQ(0, winsim::WinsockStartups());
        EXPECT_EQ(winsim::CallCount("WSAStartup"), winsim::CallCount("WSACleanup"));
    }

    static void ExpectSuccessBox() {
        std::vector<winsim::MessageBoxRecord> boxes = winsim::MessageBoxes();
        ASSERT_EQ(1u, boxes.size());
        EXPECT_TRUE(boxes[0].narrow);
        EXPECT_EQ(nullptr, boxes[0].owner);
        EXPECT_EQ(L"Connection to e-mail server succeeded!  Test e-mail sent.", boxes[0].text);
        EXPECT_EQ(L"E-mail Information", boxes[0].caption);
        EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), boxes[0].type);
    }

    static void ExpectErrorBox() {
        std::vector<winsim::MessageBoxRecord> boxes = winsim::MessageBoxes();
        ASSERT_EQ(1u, boxes.size());
        EXPECT_FALSE(boxes[0].narrow);
        EXPECT_EQ(nullptr, boxes[0].owner);
        EXPECT_EQ(L"Connection to e-mail server failed.  Check your settings and try again.", boxes[0].text);
        EXPECT_EQ(L"E-mail Error", boxes[0].caption);
        EXPECT_EQ(static_cast<UINT>(MB_ICONHAND), boxes[0].type);
    }
};

TEST_F(SmtpHostTest, AdminNoticeCarriesTheWholeMessageAndShowsNothing) {
    SmtpPeer peer(Loopback("1.2"), SmtpScript::Normal);
    ASSERT_TRUE(peer.Listening());
    UseServer(Loopback("1.2"));
    EXPECT_EQ(1, SendAdminNotice());
    ASSERT_TRUE(peer.WaitForClientClose());
    EXPECT_EQ(testsupport::kAdminNoticeFor10_1_2_3, peer.Received());
    EXPECT_TRUE(winsim::MessageBoxes().empty());
    EXPECT_TRUE(g_log.empty());
    EXPECT_EQ(0, winsim::CallCount("gethostbyname"));
    ExpectCleanEnd();
}

TEST_F(SmtpHostTest, ConsoleShowsTheStepsOfTheDialogue) {
    SmtpPeer peer(Loopback("1.3"), SmtpScript::Normal);
    ASSERT_TRUE(peer.Listening());
    UseServer(Loopback("1.3"));
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(1, SendAdminNotice());
    EXPECT_EQ(
        "In SMTP section...Initializing winsock()...inet_addr...Connecting to " + Loopback("1.3") + " ...\n" +
            "MAIL FROM: <kestrove@example.org>\r\n\n"
            "DATA\r\n\n"
            "Priority: Urgent\r\nImportance: high\r\n\r\n"
            "From: kestrove@example.org\r\n\r\n"
            "To: Undisclosed Recipients\r\n\r\n"
            "Subject: Mirdal RDP Kestrove Notification\r\n\r\n\r\n"
            "\r\n.\r\n\n"
            "QUIT\n\n",
        ::testing::internal::GetCapturedStdout());
}

TEST_F(SmtpHostTest, TestMessageGoesToTheTypedRecipientAndShowsTheSuccessBox) {
    SmtpPeer peer(Loopback("1.4"), SmtpScript::Normal);
    ASSERT_TRUE(peer.Listening());
    UseServer(Loopback("1.4"));
    EXPECT_EQ(1, SendTestMessage());
    ASSERT_TRUE(peer.WaitForClientClose());
    EXPECT_EQ(kTestMessage, peer.Received());
    ExpectSuccessBox();
    ExpectCleanEnd();
}

TEST_F(SmtpHostTest, SuccessBoxComesAfterTheSocketIsClosed) {
    SmtpPeer peer(Loopback("1.5"), SmtpScript::Normal);
    ASSERT_TRUE(peer.Listening());
    UseServer(Loopback("1.5"));
    int openWhileShown = -1;
    bool peerSawClose = false;
    winsim::OnMessageBox([&](const winsim::MessageBoxRecord&) {
        openWhileShown = winsim::OpenSockets();
        peerSawClose = peer.WaitForClientClose();
    });
    EXPECT_EQ(1, SendTestMessage());
    EXPECT_EQ(0, openWhileShown);
    EXPECT_TRUE(peerSawClose);
    EXPECT_EQ(0, winsim::WinsockStartups());
}

TEST_F(SmtpHostTest, LogSinkGetsTheDialogueInOrderAndNothingAfterTheFromLine) {
    SmtpPeer peer(Loopback("1.6"), SmtpScript::Normal);
    ASSERT_TRUE(peer.Listening());
    UseServer(Loopback("1.6"));
    EXPECT_EQ(1, SendTestMessage());
    std::vector<std::string> replies = testsupport::SmtpScriptReplies(SmtpScript::Normal);
    EXPECT_EQ(WithHeaderLines(LogUntilData(Loopback("1.6"), replies)), g_log);
}

TEST_F(SmtpHostTest, ServerRefusingEverythingStillReachesQuit) {
    SmtpPeer peer(Loopback("1.7"), SmtpScript::RejectAll);
    ASSERT_TRUE(peer.Listening());
    UseServer(Loopback("1.7"));
    EXPECT_EQ(1, SendTestMessage());
    ASSERT_TRUE(peer.WaitForClientClose());
    EXPECT_EQ(kTestMessage, peer.Received());
    std::vector<std::string> replies = testsupport::SmtpScriptReplies(SmtpScript::RejectAll);
    EXPECT_EQ(WithHeaderLines(LogUntilData(Loopback("1.7"), replies)), g_log);
    ExpectSuccessBox();
    ExpectCleanEnd();
}

TEST_F(SmtpHostTest, ReplyInTwoPiecesIsReadAsTwoReplies) {
    SmtpPeer peer(Loopback("1.8"), SmtpScript::SplitGreeting);
    ASSERT_TRUE(peer.Listening());
    UseServer(Loopback("1.8"));
    EXPECT_EQ(1, SendTestMessage());
    ASSERT_TRUE(peer.WaitForClientClose());
    EXPECT_EQ(kTestMessage, peer.Received());
    // The greeting's second piece is taken as the reply to HELO, and so on.
    std::vector<std::string> replies = testsupport::SmtpScriptReplies(SmtpScript::SplitGreeting);
    ASSERT_EQ("220 second piece\r\n", replies[1]);
    EXPECT_EQ(WithHeaderLines(LogUntilData(Loopback("1.8"), replies)), g_log);
}

TEST_F(SmtpHostTest, ClosedConnectionGivesEmptyRepliesAndTheDialogueGoesOn) {
    SmtpPeer peer(Loopback("1.9"), SmtpScript::CloseEarly);
    ASSERT_TRUE(peer.Listening());
    UseServer(Loopback("1.9"));
    EXPECT_EQ(1, SendTestMessage());
    ASSERT_TRUE(peer.WaitForClientClose());
    EXPECT_EQ(kTestMessage, peer.Received());
    EXPECT_EQ(std::vector<std::string>({"Initializing winsock()...\r\n", "Connecting to " + Loopback("1.9") + " ...\r\n",
                                        "HELO THERE\r\n", "MAIL FROM: <kestrove@example.org>\r\n",
                                        "RCPT TO: <someone@example.net>\r\n", "DATA\r\n",
                                        "Priority: Urgent\r\nImportance: high\r\n", "From: kestrove@example.org\r\n"}),
              g_log);
    ExpectSuccessBox();
}

TEST_F(SmtpHostTest, ReplyOf1023BytesIsAccepted) {
    SmtpPeer peer(Loopback("1.10"), SmtpScript::HeloReply1023);
    ASSERT_TRUE(peer.Listening());
    UseServer(Loopback("1.10"));
    EXPECT_EQ(1, SendTestMessage());
    ASSERT_GE(g_log.size(), 4u);
    EXPECT_EQ(1023u, g_log[3].size());
    EXPECT_EQ(testsupport::SmtpScriptReplies(SmtpScript::HeloReply1023)[1], g_log[3]);
    ExpectSuccessBox();
}

TEST_F(SmtpHostTest, ReplyOf1024BytesEndsTheCallWithoutABox) {
    SmtpPeer peer(Loopback("1.11"), SmtpScript::HeloReply1024);
    ASSERT_TRUE(peer.Listening());
    UseServer(Loopback("1.11"));
    EXPECT_EQ(0, SendTestMessage());
    ASSERT_TRUE(peer.WaitForClientClose());
    EXPECT_EQ("HELO THERE\r\n", peer.Received());
    EXPECT_EQ(std::vector<std::string>(
                  {"Initializing winsock()...\r\n", "Connecting to " + Loopback("1.11") + " ...\r\n", "HELO THERE\r\n"}),
              g_log);
    EXPECT_TRUE(winsim::MessageBoxes().empty());
    ExpectCleanEnd();
}

TEST_F(SmtpHostTest, FullRcptReplyIsLoggedCutToTheBufferAndTheDialogueGoesOn) {
    SmtpPeer peer(Loopback("1.20"), SmtpScript::RcptReply1024);
    ASSERT_TRUE(peer.Listening());
    UseServer(Loopback("1.20"));
    EXPECT_EQ(1, SendTestMessage());
    ASSERT_TRUE(peer.WaitForClientClose());
    EXPECT_EQ(kTestMessage, peer.Received());
    std::vector<std::string> replies = testsupport::SmtpScriptReplies(SmtpScript::RcptReply1024);
    replies[3].resize(1023);
    EXPECT_EQ(WithHeaderLines(LogUntilData(Loopback("1.20"), replies)), g_log);
    ExpectSuccessBox();
}

TEST_F(SmtpHostTest, RefusedConnectionShowsTheErrorBoxInTestMode) {
    UseServer(Loopback("1.12"));
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(0, SendTestMessage());
    std::string console = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, console.find("Connection to server <" + Loopback("1.12") + "> failed.\r\n"));
    ExpectErrorBox();
    EXPECT_EQ(std::vector<std::string>({"Initializing winsock()...\r\n", "Connecting to " + Loopback("1.12") + " ...\r\n"}), g_log);
    ExpectCleanEnd();
}

TEST_F(SmtpHostTest, RefusedConnectionShowsNothingInAdminMode) {
    UseServer(Loopback("1.12"));
    EXPECT_EQ(0, SendAdminNotice());
    EXPECT_TRUE(winsim::MessageBoxes().empty());
    ExpectCleanEnd();
}

TEST_F(SmtpHostTest, UnresolvableNameFailsWithoutAConnectionAttempt) {
    UseServer("kestrove-no-such-host.invalid");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(0, SendTestMessage());
    std::string console = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos,
              console.find("...INADDR_NONE...gethostbyname()...Connecting to kestrove-no-such-host.invalid ...\n"
                           "Connection to server <kestrove-no-such-host.invalid> failed.\r\n"));
    EXPECT_EQ(0, winsim::CallCount("connect"));
    ExpectErrorBox();
    ExpectCleanEnd();

    winsim::Reset();
    EXPECT_EQ(0, SendAdminNotice());
    EXPECT_TRUE(winsim::MessageBoxes().empty());
    ExpectCleanEnd();
}

TEST_F(SmtpHostTest, ServerThatNeverCompletesTheConnectionIsGivenUp) {
    testsupport::FullListener listener(Loopback("1.13"));
    ASSERT_TRUE(listener.Ready());
    UseServer(Loopback("1.13"));
    winsim::SetTimeScale(kTimeScale);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(0, SendTestMessage());
    ExpectThirtySecondTimeOutSince(start);
    ExpectErrorBox();
    ExpectCleanEnd();
}

TEST_F(SmtpHostTest, SilentServerEndsTheCallAfterTheReceiveTimeOut) {
    SmtpPeer peer(Loopback("1.14"), SmtpScript::Silent);
    ASSERT_TRUE(peer.Listening());
    UseServer(Loopback("1.14"));
    winsim::SetTimeScale(kTimeScale);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(0, SendTestMessage());
    ExpectThirtySecondTimeOutSince(start);
    EXPECT_TRUE(peer.WaitForClientClose());
    EXPECT_EQ("", peer.Received());
    EXPECT_TRUE(winsim::MessageBoxes().empty());
    EXPECT_EQ(std::vector<std::string>({"Initializing winsock()...\r\n", "Connecting to " + Loopback("1.14") + " ...\r\n"}), g_log);
    ExpectCleanEnd();
}

TEST_F(SmtpHostTest, EmptySenderLeavesTheAddressesEmpty) {
    SmtpPeer peer(Loopback("1.15"), SmtpScript::Normal);
    ASSERT_TRUE(peer.Listening());
    UseServer(Loopback("1.15"));
    g_emailFrom[0] = '\0';
    EXPECT_EQ(1, SendAdminNotice());
    ASSERT_TRUE(peer.WaitForClientClose());
    std::string expected = testsupport::kAdminNoticeFor10_1_2_3;
    expected.replace(expected.find("<kestrove@example.org>"), 22, "<>");
    expected.replace(expected.find("From: kestrove@example.org"), 26, "From: ");
    EXPECT_EQ(expected, peer.Received());
}

TEST_F(SmtpHostTest, HostNameIsResolvedThroughGethostbyname) {
    SmtpPeer peer(Loopback("1.21"), SmtpScript::Normal);
    ASSERT_TRUE(peer.Listening());
    winsim::NameHost("mail.kestrove.test", Loopback("1.21"));  // a name no resolver knows
    UseServer("mail.kestrove.test");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(1, SendAdminNotice());
    std::string console = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos,
              console.find("...INADDR_NONE...gethostbyname()...Connecting to mail.kestrove.test ...\n"));
    EXPECT_EQ(1, winsim::CallCount("gethostbyname"));
    ASSERT_TRUE(peer.WaitForClientClose());
    EXPECT_EQ(testsupport::kAdminNoticeFor10_1_2_3, peer.Received());
}

TEST_F(SmtpHostTest, SocketThatCannotBeCreatedEndsTheCall) {
    UseServer(Loopback("1.16"));
    winsim::FailCall("socket", WSAEMFILE);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(0, SendTestMessage());
    EXPECT_EQ("In SMTP section...Initializing winsock()...Error Creating Socket\r\n",
              ::testing::internal::GetCapturedStdout());
    EXPECT_TRUE(winsim::MessageBoxes().empty());
    EXPECT_EQ(std::vector<std::string>({"Initializing winsock()...\r\n"}), g_log);
    ExpectCleanEnd();
}

TEST_F(SmtpHostTest, FailedStartUpShowsAsAFailedSocket) {
    UseServer(Loopback("1.16"));
    winsim::FailCall("WSAStartup", WSASYSNOTREADY);
    EXPECT_EQ(0, SendTestMessage());
    EXPECT_EQ(0, winsim::OpenSockets());
    EXPECT_EQ(0, winsim::WinsockStartups());
    EXPECT_TRUE(winsim::MessageBoxes().empty());
}

TEST_F(SmtpHostTest, FailedExaminedReceiveEndsTheCall) {
    struct Case {
        int receive;
        std::string lastSent;
        std::string lastLogged;
    };
    const std::string mailFrom = "MAIL FROM: <kestrove@example.org>\r\n";
    // The greeting, the replies to HELO, MAIL FROM and DATA, and the one to the end of data.
    for (const Case& c : {Case{1, "", "Connecting to " + Loopback("1.17") + " ...\r\n"},
                          Case{2, "HELO THERE\r\n", "HELO THERE\r\n"}, Case{3, mailFrom, mailFrom},
                          Case{5, "DATA\r\n", "DATA\r\n"}, Case{6, "\r\n.\r\n", "From: kestrove@example.org\r\n"}}) {
        SCOPED_TRACE(c.receive);
        winsim::Reset();
        g_log.clear();
        SmtpPeer peer(Loopback("1.17"), SmtpScript::Normal);
        ASSERT_TRUE(peer.Listening());
        UseServer(Loopback("1.17"));
        winsim::FailCall("recv", WSAECONNRESET, c.receive);
        EXPECT_EQ(0, SendTestMessage());
        ASSERT_TRUE(peer.WaitForClientClose());
        EXPECT_EQ(kTestMessage.substr(0, kTestMessage.find(c.lastSent) + c.lastSent.size()), peer.Received());
        ASSERT_FALSE(g_log.empty());
        EXPECT_EQ(c.lastLogged, g_log.back());
        EXPECT_TRUE(winsim::MessageBoxes().empty());
        ExpectCleanEnd();
    }
}

TEST_F(SmtpHostTest, FailedReceiveOfTheRcptReplyIsNotLoggedAndTheDialogueGoesOn) {
    SmtpPeer peer(Loopback("1.18"), SmtpScript::Normal);
    ASSERT_TRUE(peer.Listening());
    UseServer(Loopback("1.18"));
    winsim::FailCall("recv", WSAECONNRESET, 4);  // the reply to RCPT TO
    EXPECT_EQ(1, SendTestMessage());
    ASSERT_TRUE(peer.WaitForClientClose());
    EXPECT_EQ(kTestMessage, peer.Received());
    ASSERT_GE(g_log.size(), 8u);
    EXPECT_EQ("RCPT TO: <someone@example.net>\r\n", g_log[6]);
    EXPECT_EQ("DATA\r\n", g_log[7]);
    ExpectSuccessBox();
}

TEST_F(SmtpHostTest, FailedSendIsLeftOutOfTheLogAndTheDialogueGoesOn) {
    SmtpPeer peer(Loopback("1.19"), SmtpScript::Normal);
    ASSERT_TRUE(peer.Listening());
    UseServer(Loopback("1.19"));
    winsim::FailCall("send", WSAECONNRESET, 6);  // the From header
    EXPECT_EQ(1, SendTestMessage());
    ASSERT_TRUE(peer.WaitForClientClose());
    std::string expected = kTestMessage;
    expected.erase(expected.find("From: kestrove@example.org\r\n"), 28);
    EXPECT_EQ(expected, peer.Received());
    ASSERT_FALSE(g_log.empty());
    EXPECT_EQ("Priority: Urgent\r\nImportance: high\r\n", g_log.back());
    ExpectSuccessBox();
}

}  // namespace
