// Counting failed logons per source address and blocking at the threshold.
#include <climits>

#include "failed_logon_host.h"

namespace {

using testsupport::FailedLogonTest;

class TrackerTest : public FailedLogonTest {
protected:
    static size_t RuleCount() { return winsim::FirewallRules().size(); }
};

TEST_F(TrackerTest, DefaultThresholdBlocksAtTheFifthFailure) {
    ASSERT_EQ(5, g_settings.AuthenticationFailsBeforeBlock);
    for (int i = 0; i < 4; ++i) Fail(L"10.1.2.3");
    EXPECT_EQ(0u, RuleCount());
    EXPECT_EQ(0, winsim::CallCount("CoCreateInstance"));
    const std::string out = Fail(L"10.1.2.3");
    ASSERT_EQ(1u, RuleCount());
    EXPECT_EQ(L"10.1.2.3/255.255.255.255", winsim::FirewallRules()[0].remoteAddresses);
    EXPECT_NE(std::string::npos, out.find("Matched previous connection attempt from 10.1.2.3...(count is: 5 of 5)"
                                          "CHECKING IF RULE EXISTS...\r\n"));
    EXPECT_EQ(5, RDPKestrove_Current_Block_Info[0].attemptCount);
}

TEST_F(TrackerTest, LowThresholdsBlockAtTheSecondFailureNeverTheFirst) {
    for (int threshold : {2, 1, 0, -3, INT_MIN}) {
        SCOPED_TRACE(threshold);
        winsim::Reset();
        testsupport::ClearBlockTable();
        g_settings.AuthenticationFailsBeforeBlock = threshold;
        const std::string first = Fail(L"10.1.2.3");
        EXPECT_EQ(0u, RuleCount());
        EXPECT_EQ(std::string::npos, first.find("CHECKING"));
        Fail(L"10.1.2.3");
        EXPECT_EQ(1u, RuleCount());
    }
}

TEST_F(TrackerTest, LaterFailuresRerunTheCheckAndReaddARemovedRule) {
    g_settings.AuthenticationFailsBeforeBlock = 2;
    Fail(L"10.1.2.3");
    Fail(L"10.1.2.3");
    ASSERT_EQ(1u, RuleCount());
    const std::string third = Fail(L"10.1.2.3");
    EXPECT_NE(std::string::npos, third.find("Found a match for IP in existing rules.\r\n"));
    EXPECT_EQ(1u, RuleCount());
    winsim::Reset();  // an administrator removed the rule
    Fail(L"10.1.2.3");
    EXPECT_EQ(1u, RuleCount());
    EXPECT_EQ(4, RDPKestrove_Current_Block_Info[0].attemptCount);
}

TEST_F(TrackerTest, EachAddressIsOneRecordInOrderOfFirstFailure) {
    Fail(L"10.1.2.3");
    Fail(L"192.168.10.20");
    Fail(L"10.1.2.3");
    Fail(L"10.1.2.30");
    ASSERT_EQ(3, g_blockInfoCount);
    EXPECT_STREQ("10.1.2.3", RDPKestrove_Current_Block_Info[0].ipAddress);
    EXPECT_EQ(2, RDPKestrove_Current_Block_Info[0].attemptCount);
    EXPECT_STREQ("192.168.10.20", RDPKestrove_Current_Block_Info[1].ipAddress);
    EXPECT_EQ(1, RDPKestrove_Current_Block_Info[1].attemptCount);
    EXPECT_STREQ("10.1.2.30", RDPKestrove_Current_Block_Info[2].ipAddress);
}

TEST_F(TrackerTest, ShortestAndLongestAddressesAreTracked) {
    Fail(L"1.2.3.4");
    Fail(L"255.255.255.255");
    Fail(L"0.0.0.0");
    ASSERT_EQ(3, g_blockInfoCount);
    EXPECT_STREQ("1.2.3.4", RDPKestrove_Current_Block_Info[0].ipAddress);
    EXPECT_STREQ("255.255.255.255", RDPKestrove_Current_Block_Info[1].ipAddress);
}

TEST_F(TrackerTest, LabelInjectedIntoAttackerFieldsDoesNotChangeTheAddress) {
    g_settings.AuthenticationFailsBeforeBlock = 2;
    const std::wstring injected = L"Source Network Address:\t10.9.9.9\r\n";
    Fail(L"10.1.2.3", L"admin" + injected, L"PC");
    Fail(L"10.1.2.3", L"admin", injected + L"PC");
    ASSERT_EQ(1, g_blockInfoCount);
    EXPECT_STREQ("10.1.2.3", RDPKestrove_Current_Block_Info[0].ipAddress);
    ASSERT_EQ(1u, RuleCount());
    EXPECT_EQ(L"10.1.2.3/255.255.255.255", winsim::FirewallRules()[0].remoteAddresses);
}

TEST_F(TrackerTest, NonIpv4SourcesAreNotTracked) {
    for (const wchar_t* address :
         {L"", L"-", L"::1", L"fe80::1c2b:3a4d", L"::ffff:10.1.2.3", L"rdp.example.org", L"LocalSubnet", L"*",
          L"10.1.2.1-10.1.2.9", L"10.1.2.0/24", L"10.1.2.3,10.1.2.4", L"10.1.2.3 ", L" 10.1.2.3", L"10.1.2.3\t",
          L"010.1.2.3", L"10.01.2.3", L"10.1.2.256", L"10.1.2", L"10.1.2.3.4", L"1.2.3.", L".1.2.3", L"1..2.3",
          L"10.1.2.3x", L"1000.1.2.3", L"\u0661.2.3.4"}) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(address)));
        const std::string out = Fail(address);
        EXPECT_EQ(0, g_blockInfoCount);
        EXPECT_NE(std::string::npos, out.find("The source address is no dotted IPv4 address and is not tracked.\r\n"
                                              "\r\nKestroveProcessEventMessage() returning...\r\n"));
    }
}

TEST_F(TrackerTest, TextWithoutLabelOrLineEndIsNotTracked) {
    for (const std::wstring& text : {std::wstring(L"Logon Type:\t10\r\n"),
                                     std::wstring(L"Source Network Address:\t10.1.2.3"),
                                     std::wstring(L"Source Network Address:10.1.2.3\r\n")}) {
        ::testing::internal::CaptureStdout();
        KestroveProcessEventMessage(text.c_str());
        const std::string out = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ("KestroveProcessEventMessage(): Getting IP from pMessage...\r\n"
                  "The source address is no dotted IPv4 address and is not tracked.\r\n"
                  "\r\nKestroveProcessEventMessage() returning...\r\n",
                  out);
    }
    EXPECT_EQ(0, g_blockInfoCount);
}

TEST_F(TrackerTest, ConsoleLinesOfANewAndARepeatedAddress) {
    EXPECT_EQ("KestroveProcessEventMessage(): Getting IP from pMessage...\r\n"
              "LEN: 32\r\n***\r\nHere's the IP: 10.1.2.3 (strlen:8)\r\n***\r\n"
              "Added new connection attempt from 10.1.2.3...(count is: 1)"
              "\r\nKestroveProcessEventMessage() returning...\r\n",
              Fail(L"10.1.2.3"));
    EXPECT_EQ("KestroveProcessEventMessage(): Getting IP from pMessage...\r\n"
              "LEN: 32\r\n***\r\nHere's the IP: 10.1.2.3 (strlen:8)\r\n***\r\n"
              "Matched previous connection attempt from 10.1.2.3...(count is: 2 of 5)",
              Fail(L"10.1.2.3"));
}

TEST_F(TrackerTest, AddressTextIsPrintedNarrowedWhateverItHolds) {
    const std::string out = Fail(L"caf\u00e9\u4e2d");
    EXPECT_NE(std::string::npos, out.find("Here's the IP: caf\xe9? (strlen:5)"));
    // The field is the attacker's to fill: a long one shows its first 255 characters.
    const std::string longOut = Fail(std::wstring(256, L'a') + L"bc");
    EXPECT_NE(std::string::npos, longOut.find("Here's the IP: " + std::string(255, 'a') + " (strlen:258)"));
}

void* FailingRealloc(void*, size_t) { return nullptr; }

TEST_F(TrackerTest, FailedGrowthLeavesTableAndCountUnchanged) {
    Fail(L"10.1.2.3");
    BlockInfo* table = RDPKestrove_Current_Block_Info;
    g_blockInfoRealloc = FailingRealloc;
    const std::string out = Fail(L"10.4.5.6");
    EXPECT_NE(std::string::npos, out.find("realloc() error on RDPKestrove_Current_Block_Info\r\n"));
    EXPECT_EQ(std::string::npos, out.find("returning"));
    EXPECT_EQ(1, g_blockInfoCount);
    EXPECT_EQ(table, RDPKestrove_Current_Block_Info);
    EXPECT_STREQ("10.1.2.3", table[0].ipAddress);
    EXPECT_EQ(1, table[0].attemptCount);
    Fail(L"10.1.2.3");  // a tracked address is still counted
    EXPECT_EQ(2, table[0].attemptCount);
    g_blockInfoRealloc = std::realloc;
    Fail(L"10.4.5.6");
    EXPECT_EQ(2, g_blockInfoCount);
}

TEST_F(TrackerTest, CountStopsAtTheLargestNumber) {
    Fail(L"10.1.2.3");
    g_settings.AuthenticationFailsBeforeBlock = INT_MAX;
    RDPKestrove_Current_Block_Info[0].attemptCount = INT_MAX - 1;
    Fail(L"10.1.2.3");
    Fail(L"10.1.2.3");
    EXPECT_EQ(INT_MAX, RDPKestrove_Current_Block_Info[0].attemptCount);
    EXPECT_EQ(1u, RuleCount());
}

}  // namespace
