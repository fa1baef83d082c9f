// Host-only set-up of the tracker and firewall tests: rendered failed-logon
// texts, a fresh table, and the checks that COM was left as it was found.
#pragma once
#include <gtest/gtest.h>
#include <winsim/control.h>

#include <cstdlib>
#include <string>

#include "common/settings.h"
#include "service/tracker.h"

namespace testsupport {

// A rendered event 4625 text of logon type 10 with the given fields.
inline std::wstring FailedLogonText(const std::wstring& address, const std::wstring& account = L"Administrator",
                                    const std::wstring& workstation = L"ATTACKER-PC") {
    return L"An account failed to log on.\r\n\r\nSubject:\r\n\tSecurity ID:\t\tS-1-0-0\r\n\tAccount Name:\t\t-\r\n"
           L"\tAccount Domain:\t\t-\r\n\tLogon ID:\t\t0x0\r\n\r\nLogon Type:\t\t\t10\r\n\r\n"
           L"Account For Which Logon Failed:\r\n\tSecurity ID:\t\tS-1-0-0\r\n\tAccount Name:\t\t" +
           account + L"\r\n\tAccount Domain:\t\tWORKGROUP\r\n\r\nFailure Information:\r\n"
                     L"\tFailure Reason:\t\tUnknown user name or bad password.\r\n\tStatus:\t\t\t0xC000006D\r\n\r\n"
                     L"Network Information:\r\n\tWorkstation Name:\t" +
           workstation + L"\r\n\tSource Network Address:\t" + address +
           L"\r\n\tSource Port:\t\t0\r\n\r\nDetailed Authentication Information:\r\n"
           L"\tLogon Process:\t\tNtLmSsp \r\n\tAuthentication Package:\tNTLM\r\n";
}

inline void ClearBlockTable() {
    std::free(RDPKestrove_Current_Block_Info);
    RDPKestrove_Current_Block_Info = nullptr;
    g_blockInfoCount = 0;
    g_blockInfoRealloc = std::realloc;
}

class FailedLogonTest : public ::testing::Test {
protected:
    void SetUp() override {
        winsim::Reset();
        ClearBlockTable();
        SetDefaultSettings();
        g_settings.EmailNotifyOnBlock = 0;
    }
    void TearDown() override {
        ClearBlockTable();
        EXPECT_EQ(0, winsim::LiveComObjects()) << "a COM object was not released";
        EXPECT_EQ(0, winsim::LiveBstrs()) << "a BSTR was not freed";
        EXPECT_EQ(0, winsim::ComInitCount()) << "CoInitializeEx without CoUninitialize";
        EXPECT_EQ(0, winsim::UnbalancedCoUninitializeCalls()) << "CoUninitialize without CoInitializeEx";
    }

    // Processes one failed logon and returns what it printed.
    static std::string Fail(const std::wstring& address, const std::wstring& account = L"Administrator",
                            const std::wstring& workstation = L"ATTACKER-PC") {
        const std::wstring text = FailedLogonText(address, account, workstation);
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(0, KestroveProcessEventMessage(text.c_str()));
        return ::testing::internal::GetCapturedStdout();
    }

    static winsim::FirewallRule RuleFor(const std::wstring& remoteAddresses) {
        winsim::FirewallRule rule;
        rule.name = L"Some other rule";
        rule.remoteAddresses = remoteAddresses;
        return rule;
    }
};

}  // namespace testsupport
