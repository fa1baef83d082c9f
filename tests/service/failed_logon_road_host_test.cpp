// The whole road of failed logons on the worker thread: the Security log, the
// source's message DLL, the table, the firewall rule, the Application log and
// the notice received by an SMTP peer on loopback.
#include <gtest/gtest.h>
#include <winsim/control.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "common/settings.h"
#include "eventually.h"
#include "security_log_host.h"
#include "service/event_report.h"
#include "service/tracker.h"
#include "service/watcher.h"
#include "smtp_peer_host.h"

namespace {

using testsupport::AppendFailedLogon;

const std::string kPeer = testsupport::Loopback("6.2");

// A write notifies the worker only while it waits, as it does between dumps;
// false, with nothing written, when it does not come to wait.
bool AppendWhenAwaited(const std::wstring& address, int logonType) {
    if (!testsupport::Eventually(testsupport::SecurityLogAwaited)) return false;
    AppendFailedLogon(address, logonType);
    return true;
}

int CountOf(const char* address) {
    for (int i = 0; i < g_blockInfoCount; ++i) {
        if (std::strcmp(RDPKestrove_Current_Block_Info[i].ipAddress, address) == 0) {
            return RDPKestrove_Current_Block_Info[i].attemptCount;
        }
    }
    return 0;
}

class FailedLogonRoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        winsim::Reset();
        winsim::SetTimeScale(0.001);
        std::free(RDPKestrove_Current_Block_Info);
        RDPKestrove_Current_Block_Info = nullptr;
        g_blockInfoCount = 0;
        std::string dll = KESTROVE_TEST_MESSAGES_DLL;
        testsupport::RegisterSecuritySource(testsupport::kAuditingSource, std::wstring(dll.begin(), dll.end()));
        SetDefaultSettings();
        g_settings.AuthenticationFailsBeforeBlock = 3;
        g_settings.EmailNotifyOnBlock = 1;
        std::strcpy(g_smtpServer, kPeer.c_str());
        std::strcpy(g_emailFrom, "kestrove@example.org");
        std::strcpy(g_adminEmailAddress, "admin@example.org");
    }
};

TEST_F(FailedLogonRoadTest, RemoteFailedLogonsAreCountedAndBlockedAtTheThreshold) {
    testsupport::SmtpPeer peer(kPeer, testsupport::SmtpScript::Normal);
    ASSERT_TRUE(peer.Listening());
    AppendFailedLogon(L"203.0.113.50", 10);  // newest when the worker starts: never counted
    // Only results are kept while stdout is captured; the checks follow its end.
    testing::internal::CaptureStdout();
    HANDLE worker = CreateThread(nullptr, 0, WorkerThread, const_cast<wchar_t*>(L"Security"), 0, nullptr);

    bool counted = AppendWhenAwaited(L"198.51.100.77", 10) && AppendWhenAwaited(L"203.0.113.50", 10) &&
                   AppendWhenAwaited(L"203.0.113.50", 3) &&  // another logon type: not counted
                   AppendWhenAwaited(L"198.51.100.77", 10) && AppendWhenAwaited(L"203.0.113.50", 10) &&
                   testsupport::Eventually([] {
                       return CountOf("203.0.113.50") == 2 && CountOf("198.51.100.77") == 2;
                   });
    bool nothingBlocked = winsim::FirewallRules().empty() && winsim::ApplicationLog().empty();

    // The third reaches the threshold; the worker's dump is over once it waits again.
    bool mailed = counted && AppendWhenAwaited(L"203.0.113.50", 10) && peer.WaitForClientClose() &&
                  testsupport::Eventually(testsupport::SecurityLogAwaited);
    std::vector<winsim::FirewallRule> rules = winsim::FirewallRules();
    std::vector<winsim::ReportedEvent> records = winsim::ApplicationLog();
    int counts[] = {CountOf("203.0.113.50"), CountOf("198.51.100.77")};

    // A read failure ends the worker, which leaves nothing open. It is injected
    // while the worker waits, so that its next dump takes it.
    winsim::FailCall("ReadEventLogW", ERROR_ACCESS_DENIED, 1, true);
    AppendFailedLogon(L"198.51.100.77", 10);
    DWORD ended = WaitForSingleObject(worker, 10000);
    DWORD code = 1234;
    GetExitCodeThread(worker, &code);
    CloseHandle(worker);
    fflush(stdout);
    std::string out = testing::internal::GetCapturedStdout();

    EXPECT_TRUE(counted) << out;
    EXPECT_TRUE(nothingBlocked);
    ASSERT_TRUE(mailed) << out;
    ASSERT_EQ(1u, rules.size());
    EXPECT_EQ(L"203.0.113.50/255.255.255.255", rules[0].remoteAddresses);
    EXPECT_EQ(L"Mirdal Software - RDP Kestrove", rules[0].name);
    EXPECT_EQ(0, rules[0].action);  // block
    EXPECT_TRUE(rules[0].enabled);
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ(static_cast<DWORD>(KESTROVE_EVENT_BLOCKED), records[0].eventId);
    EXPECT_EQ(std::vector<std::wstring>{L"203.0.113.50"}, records[0].strings);
    EXPECT_NE(std::string::npos, peer.Received().find("203.0.113.50"));
    EXPECT_EQ(1, peer.Connections());
    EXPECT_EQ(3, counts[0]);
    EXPECT_EQ(2, counts[1]);

    ASSERT_EQ(WAIT_OBJECT_0, ended) << out;
    EXPECT_EQ(0u, code);
    EXPECT_NE(std::string::npos, out.find("DumpNewRecords failed.\n"));
    EXPECT_EQ(1u, winsim::FirewallRules().size());
    EXPECT_EQ(1u, winsim::ApplicationLog().size());
    EXPECT_EQ(0, winsim::OpenEventLogHandles());
    EXPECT_EQ(0, winsim::LoadedDataFiles());
}

}  // namespace
