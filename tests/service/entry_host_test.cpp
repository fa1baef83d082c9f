// The program's entry in a child process: the banner, which argument decides,
// the dispatcher only for the program name alone, and exit code -1 on every path.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <winsim/control.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "service/install.h"
#include "settings_support.h"

int wmain(int argc, wchar_t** argv, wchar_t** envp);

namespace {

using ::testing::ExitedWithCode;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using ::testing::StrEq;

const std::string kBanner =
    "\n\n\n\nMirdal Software - RDP Kestrove Service\n\n"
    "Description: Protects your Remote Desktop Server from brute-force logon attacks.\r\n";
const std::string kDone = "\r\nThe process has completed successfully.";
const std::string kInstall = "Initializing... Initializing... " + kDone + "Installing service...Success!" + kDone;
const std::string kUninstall = "Initializing... " + kDone;
const std::string kLoading = "loading SMTP settings...\r\n";
const wchar_t* kProgram = L"C:\\Kestrove\\RDPKestroveservice.exe";

// Runs wmain in the death test's child with its standard output sent to
// standard error, which the parent reads. wmain must not return.
void RunEntry(std::vector<std::wstring> args) {
    std::fflush(stdout);
    dup2(STDERR_FILENO, STDOUT_FILENO);
    std::vector<wchar_t*> argv;
    for (std::wstring& arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    wchar_t* envp[] = {nullptr};
    wmain(static_cast<int>(args.size()), argv.data(), envp);
    std::abort();
}

class EntryHostTest : public testsupport::SettingsTest {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        winsim::Reset();
        SettingsTest::SetUp();
    }
    // This process as the service control manager starts it for the service.
    static void StartedAsService() {
        SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE);
        CloseServiceHandle(CreateServiceW(manager, KESTROVE_SERVICE_NAME, KESTROVE_SERVICE_NAME, SERVICE_ALL_ACCESS,
                                          SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_IGNORE, kProgram,
                                          nullptr, nullptr, nullptr, nullptr, nullptr));
        CloseServiceHandle(manager);
        if (!winsim::StartAsService(KESTROVE_SERVICE_NAME)) std::abort();
    }
    // Settings that stop a started service at once, so that a dispatcher
    // wrongly started shows as the settings line and nothing hangs.
    static void UnreadableSettings() { SetSmtp(L"Server Address", L"mail.example.org"); }
};

TEST_F(EntryHostTest, InstallWordInstalls) {
    EXPECT_EXIT(RunEntry({kProgram, L"-install"}), ExitedWithCode(255), StrEq(kBanner + kInstall));
}

TEST_F(EntryHostTest, UninstallWordUninstalls) {
    EXPECT_EXIT(RunEntry({kProgram, L"-uninstall"}), ExitedWithCode(255), StrEq(kBanner + kUninstall));
}

TEST_F(EntryHostTest, FirstCommandWordDecides) {
    EXPECT_EXIT(RunEntry({kProgram, L"-uninstall", L"-install"}), ExitedWithCode(255), StrEq(kBanner + kUninstall));
    EXPECT_EXIT(RunEntry({kProgram, L"-install", L"-uninstall"}), ExitedWithCode(255), StrEq(kBanner + kInstall));
}

TEST_F(EntryHostTest, OtherWordsBeforeACommandAreSkipped) {
    EXPECT_EXIT(RunEntry({kProgram, L"other", L"-install"}), ExitedWithCode(255), StrEq(kBanner + kInstall));
}

TEST_F(EntryHostTest, ProgramNameIsComparedToo) {
    EXPECT_EXIT(RunEntry({L"-uninstall"}), ExitedWithCode(255), StrEq(kBanner + kUninstall));
}

TEST_F(EntryHostTest, OtherWordsPrintOnlyTheBannerAndStartNoService) {
    for (const wchar_t* word : {L"-INSTALL", L"-Uninstall", L"/install", L"install", L"-install ", L"other"}) {
        EXPECT_EXIT(
            {
                StartedAsService();
                UnreadableSettings();
                RunEntry({kProgram, word});
            },
            ExitedWithCode(255), StrEq(kBanner))
            << std::string(word, word + wcslen(word));
    }
}

TEST_F(EntryHostTest, ProgramNameAloneFromAConsolePrintsOnlyTheBanner) {
    EXPECT_EXIT(RunEntry({kProgram}), ExitedWithCode(255), StrEq(kBanner));
}

TEST_F(EntryHostTest, ServiceWithUnreadableSettingsEndsTheProgram) {
    EXPECT_EXIT(
        {
            StartedAsService();
            UnreadableSettings();
            RunEntry({kProgram});
        },
        ExitedWithCode(255), StrEq(kBanner + kLoading));
}

TEST_F(EntryHostTest, StoppedServiceEndsTheProgram) {
    EXPECT_EXIT(
        {
            StartedAsService();
            winsim::EventLogEntry logon;
            logon.eventId = 4624;
            winsim::AppendEventLogRecord(L"Security", logon);
            // The service control manager stops the service once its worker watches the log.
            std::thread([] {
                if (!winsim::WaitForServiceState(SERVICE_RUNNING)) std::abort();
                while (winsim::OpenEventLogHandles() == 0) std::this_thread::yield();
                winsim::SendServiceControl(SERVICE_CONTROL_STOP);
            }).detach();
            RunEntry({kProgram});
        },
        ExitedWithCode(255), AllOf(StartsWith(kBanner + kLoading), HasSubstr("In thread...data in: Security")));
}

}  // namespace
