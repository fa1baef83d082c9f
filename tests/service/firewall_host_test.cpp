// Looking for a tracked address's firewall rule, and adding its block rule.
#include <netfw.h>

#include <atomic>
#include <cstring>
#include <string>

#include "failed_logon_host.h"
#include "service/firewall.h"
#include "smtp_peer_host.h"

namespace {

using testsupport::FailedLogonTest;

// The properties a block rule is given, in the order they are set.
const char* const kRuleProperties[] = {"put_Name", "put_Protocol", "put_Direction", "put_Grouping", "put_Profiles",
                                       "put_Action", "put_Enabled", "put_Description", "put_RemoteAddresses"};

class FirewallTest : public FailedLogonTest {
protected:
    void SetUp() override {
        FailedLogonTest::SetUp();
        Track("10.1.2.3");
    }

    // Appends a record for the address, as the tracker would.
    static int Track(const char* address) {
        RDPKestrove_Current_Block_Info = static_cast<BlockInfo*>(
            std::realloc(RDPKestrove_Current_Block_Info, (g_blockInfoCount + 1) * sizeof(BlockInfo)));
        BlockInfo& record = RDPKestrove_Current_Block_Info[g_blockInfoCount];
        std::memset(&record, 0, sizeof(record));
        std::strcpy(record.ipAddress, address);
        record.attemptCount = 5;
        return g_blockInfoCount++;
    }

    static int Exists(int index, std::string* out = nullptr) {
        ::testing::internal::CaptureStdout();
        const int result = FirewallRuleExists(index);
        const std::string printed = ::testing::internal::GetCapturedStdout();
        if (out) *out = printed;
        return result;
    }

    static std::string Add(int index) {
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(0, AddFirewallRule(index));
        return ::testing::internal::GetCapturedStdout();
    }

    // Pins the clock: the descriptions read "... blocked on Tuesday, March 5, 2024".
    static void FixDate() {
        SYSTEMTIME date = {};
        date.wYear = 2024;
        date.wMonth = 3;
        date.wDay = 5;
        date.wHour = 23;
        winsim::FixLocalTime(date);
    }

    // The rule property calls so far, each checked to come from a single-threaded apartment.
    static std::vector<std::string> RuleCalls() {
        std::vector<std::string> methods;
        for (const winsim::RuleCall& call : winsim::FirewallRuleCalls()) {
            EXPECT_EQ(static_cast<DWORD>(COINIT_APARTMENTTHREADED), call.apartment) << call.method;
            methods.push_back(call.method);
        }
        return methods;
    }

    static void ExpectRecord(DWORD eventId, const std::vector<std::wstring>& strings) {
        const std::vector<winsim::ReportedEvent> log = winsim::ApplicationLog();
        ASSERT_EQ(1u, log.size());
        EXPECT_EQ(eventId, log[0].eventId);
        EXPECT_EQ(EVENTLOG_INFORMATION_TYPE, log[0].type);
        EXPECT_EQ(strings, log[0].strings);
    }
};

TEST_F(FirewallTest, EmptyFirewallHasNoRule) {
    std::string out;
    EXPECT_EQ(0, Exists(0, &out));
    EXPECT_EQ("The number of rules in the Windows Firewall are 0\n", out);
}

TEST_F(FirewallTest, AnyRuleWithExactlyTheAddressMatches) {
    winsim::FirewallRule allow = RuleFor(L"10.1.2.3/255.255.255.255");
    winsim::FirewallRule outbound = allow;
    outbound.direction = NET_FW_RULE_DIR_OUT;
    outbound.action = NET_FW_ACTION_BLOCK;
    winsim::FirewallRule disabled = allow;
    disabled.name = L"Mirdal Software - RDP Kestrove";
    disabled.enabled = false;
    for (const winsim::FirewallRule& rule : {allow, outbound, disabled}) {
        winsim::Reset();
        winsim::PreloadFirewallRule(RuleFor(L"*"));
        winsim::PreloadFirewallRule(rule);
        winsim::PreloadFirewallRule(RuleFor(L"*"));
        std::string out;
        EXPECT_EQ(1, Exists(0, &out));
        EXPECT_EQ("The number of rules in the Windows Firewall are 3\n"
                  "Found rule for Some other rule\r\n"
                  "Comparing 10.1.2.3/255.255.255.255 with *...\r\n"
                  "Found rule for " + std::string(rule.name.begin(), rule.name.end()) + "\r\n"
                  "Comparing 10.1.2.3/255.255.255.255 with 10.1.2.3/255.255.255.255...\r\n"
                  "Found a match for IP in existing rules.\r\n",
                  out);
    }
}

TEST_F(FirewallTest, ListsRangesSubnetsAndOtherAddressesDoNotMatch) {
    for (const wchar_t* remote : {L"10.1.2.3/255.255.255.255,10.9.9.9/255.255.255.255",
                                  L"10.9.9.9/255.255.255.255,10.1.2.3/255.255.255.255", L"10.1.2.1-10.1.2.9",
                                  L"10.1.2.0/255.255.255.0", L"10.1.2.30/255.255.255.255", L"10.1.2.3", L"*",
                                  L"LocalSubnet"}) {
        winsim::PreloadFirewallRule(RuleFor(remote));
    }
    EXPECT_EQ(0, Exists(0));
}

TEST_F(FirewallTest, BlockRuleHoldsTheNinePropertiesAndIsRecorded) {
    FixDate();
    EXPECT_EQ("Added rule Mirdal Software - RDP Kestrove\r\n", Add(0));
    ASSERT_EQ(1u, winsim::FirewallRules().size());
    const winsim::FirewallRule rule = winsim::FirewallRules()[0];
    EXPECT_EQ(L"Mirdal Software - RDP Kestrove", rule.name);
    EXPECT_EQ(NET_FW_IP_PROTOCOL_TCP, rule.protocol);
    EXPECT_EQ(NET_FW_RULE_DIR_IN, rule.direction);
    EXPECT_EQ(L"Mirdal Software - RDP Kestrove", rule.grouping);
    EXPECT_EQ(7, rule.profiles);
    EXPECT_EQ(NET_FW_ACTION_BLOCK, rule.action);
    EXPECT_TRUE(rule.enabled);
    EXPECT_EQ(L"10.1.2.3 blocked on Tuesday, March 5, 2024", rule.description);
    EXPECT_EQ(L"10.1.2.3/255.255.255.255", rule.remoteAddresses);
    EXPECT_EQ(L"", rule.localPorts);
    ExpectRecord(5, {L"10.1.2.3"});
    EXPECT_EQ(1, Exists(0));
    std::vector<std::string> calls;
    for (const char* property : kRuleProperties) calls.push_back(std::string("INetFwRule::") + property);
    calls.insert(calls.end(), {"INetFwRule::get_Name", "INetFwRule::get_RemoteAddresses"});
    EXPECT_EQ(calls, RuleCalls());
}

TEST_F(FirewallTest, DescriptionWithoutDateWhenTheDateCannotBeFormatted) {
    winsim::FailCall("GetDateFormatW", ERROR_INVALID_PARAMETER);
    Add(0);
    ASSERT_EQ(1u, winsim::FirewallRules().size());
    EXPECT_EQ(L"10.1.2.3 blocked", winsim::FirewallRules()[0].description);
    ExpectRecord(5, {L"10.1.2.3"});
}

TEST_F(FirewallTest, TwoBlockedAddressesGiveTwoRulesOfOneNameAndGroup) {
    FixDate();
    const int second = Track("192.168.200.201");
    Add(0);
    Add(second);
    const std::vector<winsim::FirewallRule> rules = winsim::FirewallRules();
    ASSERT_EQ(2u, rules.size());
    EXPECT_EQ(rules[0].name, rules[1].name);
    EXPECT_EQ(rules[0].grouping, rules[1].grouping);
    EXPECT_EQ(L"192.168.200.201/255.255.255.255", rules[1].remoteAddresses);
    EXPECT_EQ(L"192.168.200.201 blocked on Tuesday, March 5, 2024", rules[1].description);
    EXPECT_EQ(1, Exists(second));
}

TEST_F(FirewallTest, CheckFailuresAnswerThatNoRuleExists) {
    struct Case {
        const char* method;
        const char* line;
    };
    for (const Case& c : {Case{"CoInitializeEx", "CoInitializeEx failed: 0x8000ffff\n"},
                          Case{"CoCreateInstance", "CoCreateInstance for INetFwPolicy2 failed: 0x8000ffff\n"},
                          Case{"INetFwPolicy2::get_Rules", "get_Rules failed: 0x8000ffff\n"},
                          Case{"INetFwRules::get_Count", "get_Count failed: 0x8000ffff\n"},
                          Case{"INetFwRules::get__NewEnum", nullptr}, Case{"IEnumVARIANT::QueryInterface", nullptr},
                          Case{"IEnumVARIANT::Next", nullptr}, Case{"INetFwRule::QueryInterface", nullptr}}) {
        SCOPED_TRACE(c.method);
        winsim::Reset();
        winsim::PreloadFirewallRule(RuleFor(L"*"));
        winsim::PreloadFirewallRule(RuleFor(L"10.1.2.3/255.255.255.255"));
        winsim::FailCall(c.method, static_cast<unsigned long>(E_UNEXPECTED));
        std::string out;
        EXPECT_EQ(0, Exists(0, &out));
        if (c.line) {
            EXPECT_EQ(c.line, out.substr(out.size() - std::strlen(c.line)));
        }
        EXPECT_EQ(std::string::npos, out.find("Found rule"));
        EXPECT_EQ(0, winsim::LiveComObjects());
        EXPECT_EQ(0, winsim::ComInitCount());
    }
}

TEST_F(FirewallTest, RuleWhoseNameOrAddressesCannotBeReadIsSkipped) {
    for (const char* method : {"INetFwRule::get_Name", "INetFwRule::get_RemoteAddresses"}) {
        SCOPED_TRACE(method);
        winsim::Reset();
        winsim::PreloadFirewallRule(RuleFor(L"10.1.2.3/255.255.255.255"));
        winsim::FailCall(method, static_cast<unsigned long>(E_FAIL));
        EXPECT_EQ(0, Exists(0));
        winsim::PreloadFirewallRule(RuleFor(L"10.1.2.3/255.255.255.255"));
        winsim::FailCall(method, static_cast<unsigned long>(E_FAIL));
        EXPECT_EQ(1, Exists(0));  // the second rule is still looked at
    }
}

TEST_F(FirewallTest, ThreadInAnotherApartmentKeepsIt) {
    ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    winsim::PreloadFirewallRule(RuleFor(L"10.1.2.3/255.255.255.255"));
    EXPECT_EQ(1, Exists(0));
    EXPECT_EQ(1, winsim::ComInitCount());
    Add(0);
    EXPECT_EQ(1, winsim::ComInitCount());
    EXPECT_EQ(2u, winsim::FirewallRules().size());
    CoUninitialize();
}

TEST_F(FirewallTest, FailuresBeforeAddPrintTheirLineAndAddNothing) {
    struct Case {
        const char* method;
        int nth;
        const char* line;
    };
    for (const Case& c : {Case{"CoCreateInstance", 1, "CoCreateInstance for INetFwPolicy2 failed: 0x80070005\n"},
                          Case{"INetFwPolicy2::get_Rules", 1, "get_Rules failed: 0x80070005\n"},
                          Case{"INetFwPolicy2::get_CurrentProfileTypes", 1, "get_CurrentProfileTypes failed: 0x80070005\n"},
                          Case{"CoCreateInstance", 2, "CoCreateInstance for Firewall Rule failed: 0x80070005\n"}}) {
        SCOPED_TRACE(c.line);
        winsim::Reset();
        g_settings.EmailNotifyOnBlock = 1;
        winsim::FailCall(c.method, static_cast<unsigned long>(E_ACCESSDENIED), c.nth);
        EXPECT_EQ(c.line, Add(0));
        EXPECT_TRUE(winsim::FirewallRules().empty());
        EXPECT_TRUE(winsim::ApplicationLog().empty());
        EXPECT_EQ(0, winsim::LiveComObjects());
        EXPECT_EQ(0, winsim::LiveBstrs());
        EXPECT_EQ(0, winsim::ComInitCount());
    }
}

TEST_F(FirewallTest, NoRuleWithoutItsRemoteAddress) {
    struct Case {
        const char* method;
        int nth;
        const char* line;
        const wchar_t* code;
    };
    // SysAllocString: the name, the group, the description, then the address.
    for (const Case& c :
         {Case{"INetFwRule::put_RemoteAddresses", 1, "put_RemoteAddresses failed: 0x80070057\n", L"0x80070057\n"},
          Case{"SysAllocString", 4, "put_RemoteAddresses failed: 0x8007000e\n", L"0x8007000e\n"}}) {
        SCOPED_TRACE(c.method);
        winsim::Reset();
        g_settings.EmailNotifyOnBlock = 1;
        winsim::FailCall(c.method, static_cast<unsigned long>(E_INVALIDARG), c.nth);
        EXPECT_EQ(c.line, Add(0));
        EXPECT_TRUE(winsim::FirewallRules().empty());
        ExpectRecord(6, {c.code, L"10.1.2.3"});
    }
}

TEST_F(FirewallTest, RefusedAddWritesTheFailureRecord) {
    g_settings.EmailNotifyOnBlock = 1;
    winsim::FailCall("INetFwRules::Add", static_cast<unsigned long>(E_ACCESSDENIED));
    EXPECT_EQ("Added rule Mirdal Software - RDP Kestrove\r\nFirewall Rule Add failed: 0x80070005\n", Add(0));
    EXPECT_TRUE(winsim::FirewallRules().empty());
    ExpectRecord(6, {L"0x80070005\n", L"10.1.2.3"});
}

// The notice mail goes through a scripted SMTP server on a loopback address of each test's own.
class FirewallMailTest : public FirewallTest {
protected:
    static void UseServer(const char* address) {
        std::strcpy(g_smtpServer, address);
        std::strcpy(g_emailFrom, "kestrove@example.org");
        std::strcpy(g_adminEmailAddress, "admin@example.org");
    }
};

TEST_F(FirewallMailTest, NoticeFollowsTheBlockRecordWhenSwitchedOn) {
    std::atomic<size_t> recordsAtConnection{0};
    testsupport::SmtpPeer peer(testsupport::Loopback("5.2"), testsupport::SmtpScript::Normal);
    ASSERT_TRUE(peer.Listening());
    peer.OnConnection([&] { recordsAtConnection = winsim::ApplicationLog().size(); });
    UseServer(testsupport::Loopback("5.2").c_str());
    g_settings.EmailNotifyOnBlock = 2;  // any value but 0 is on
    Add(0);
    ASSERT_TRUE(peer.WaitForClientClose());
    EXPECT_EQ(1u, recordsAtConnection);  // the record was written before the mail connected
    const std::string mail = peer.Received();
    EXPECT_NE(std::string::npos, mail.find("RCPT TO: <admin@example.org>\r\n"));
    EXPECT_NE(std::string::npos, mail.find("Mirdal RDP Kestrove has blocked the following IP address: 10.1.2.3\r\n.\r\n"));
    ExpectRecord(5, {L"10.1.2.3"});
}

TEST_F(FirewallMailTest, NoNoticeWhenSwitchedOff) {
    testsupport::SmtpPeer peer(testsupport::Loopback("5.3"), testsupport::SmtpScript::Normal);
    ASSERT_TRUE(peer.Listening());
    UseServer(testsupport::Loopback("5.3").c_str());
    g_settings.EmailNotifyOnBlock = 0;
    Add(0);
    EXPECT_EQ(1u, winsim::FirewallRules().size());
    ExpectRecord(5, {L"10.1.2.3"});
    EXPECT_EQ(0, peer.Connections());
}

// A rule the firewall refused any property of would stay an enabled allow rule
// for every address, or a disabled one that later checks take for the block.
TEST_F(FirewallMailTest, RefusedPropertyAddsNoRuleAndIsRecordedAsAFailure) {
    testsupport::SmtpPeer peer(testsupport::Loopback("5.5"), testsupport::SmtpScript::Normal);
    ASSERT_TRUE(peer.Listening());
    UseServer(testsupport::Loopback("5.5").c_str());
    for (const char* property : kRuleProperties) {
        SCOPED_TRACE(property);
        winsim::Reset();
        g_settings.EmailNotifyOnBlock = 1;
        winsim::FailCall((std::string("INetFwRule::") + property).c_str(), static_cast<unsigned long>(E_FAIL));
        EXPECT_EQ(std::string(property) + " failed: 0x80004005\n", Add(0));
        EXPECT_TRUE(winsim::FirewallRules().empty());
        ExpectRecord(6, {L"0x80004005\n", L"10.1.2.3"});
        EXPECT_EQ(0, winsim::LiveComObjects());
        EXPECT_EQ(0, winsim::LiveBstrs());
        EXPECT_EQ(0, winsim::ComInitCount());
    }
    EXPECT_EQ(0, peer.Connections());
}

TEST_F(FirewallMailTest, NoNoticeWithoutARule) {
    testsupport::SmtpPeer peer(testsupport::Loopback("5.4"), testsupport::SmtpScript::Normal);
    ASSERT_TRUE(peer.Listening());
    UseServer(testsupport::Loopback("5.4").c_str());
    g_settings.EmailNotifyOnBlock = 1;
    for (const char* method : {"INetFwRules::Add", "INetFwRule::put_RemoteAddresses", "INetFwPolicy2::get_Rules",
                               "INetFwPolicy2::get_CurrentProfileTypes"}) {
        winsim::FailCall(method, static_cast<unsigned long>(E_ACCESSDENIED));
        Add(0);
    }
    EXPECT_TRUE(winsim::FirewallRules().empty());
    EXPECT_EQ(0, peer.Connections());
}

}  // namespace
