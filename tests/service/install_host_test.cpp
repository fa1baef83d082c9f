// "-install" and "-uninstall": their console lines, the registration they leave
// and the wait, by the state of the service before the command.
#include <gtest/gtest.h>
#include <winsim/control.h>

#include <string>
#include <thread>
#include <vector>

#include "service/install.h"

namespace {

const std::string kDone = "\r\nThe process has completed successfully.";
const std::wstring kDescription = L"Protects your Remote Desktop Server from brute-force logon attacks.";

// A service of this process whose handler has stopped it by the time it returns.
SERVICE_STATUS_HANDLE g_statusHandle;

void Report(DWORD state, DWORD accepted) {
    SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS, state, accepted, 0, 0, 0, 0};
    SetServiceStatus(g_statusHandle, &status);
}

void WINAPI StopAtOnce(DWORD control) {
    if (control == SERVICE_CONTROL_STOP) Report(SERVICE_STOPPED, 0);
}

void WINAPI RunUntilAsked(DWORD, LPWSTR*) {
    g_statusHandle = RegisterServiceCtrlHandlerW(KESTROVE_SERVICE_NAME, StopAtOnce);
    Report(SERVICE_RUNNING, SERVICE_ACCEPT_STOP);
}

class InstallHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        winsim::Reset();
        winsim::SetTimeScale(0.0);
    }
    // A registration left by an earlier installation, in the given state.
    void Register(const wchar_t* path, DWORD state) {
        SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE);
        SC_HANDLE service = CreateServiceW(manager, KESTROVE_SERVICE_NAME, KESTROVE_SERVICE_NAME, SERVICE_ALL_ACCESS,
                                           SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_IGNORE, path,
                                           nullptr, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, service);
        CloseServiceHandle(service);
        CloseServiceHandle(manager);
        ASSERT_TRUE(winsim::SetServiceState(KESTROVE_SERVICE_NAME, state));
    }
    static std::string Run(void (*command)()) {
        ::testing::internal::CaptureStdout();
        command();
        return ::testing::internal::GetCapturedStdout();
    }
    static winsim::ServiceConfig Config() {
        winsim::ServiceConfig config{};
        EXPECT_TRUE(winsim::GetServiceConfig(KESTROVE_SERVICE_NAME, &config));
        return config;
    }
    static bool Registered() {
        winsim::ServiceConfig config;
        return winsim::GetServiceConfig(KESTROVE_SERVICE_NAME, &config);
    }
    static std::wstring OwnPath() {
        WCHAR path[261];
        EXPECT_NE(0u, GetModuleFileNameW(nullptr, path, 261));
        return path;
    }
};

// The longest own path taken, 260 characters, is registered whole; one with blanks quoted.
TEST_F(InstallHostTest, PathOf260CharactersIsRegisteredWholeAndQuotedWithBlanks) {
    for (const std::string folder : {"C:\\Program Files\\RDP Kestrove\\", "C:\\RDPKestrove\\"}) {
        SetUp();
        const std::string path = folder + std::string(260 - folder.size() - 4, 'k') + ".exe";
        winsim::SetModuleImage(path);
        Run(InstallService);
        const std::wstring whole(path.begin(), path.end());
        EXPECT_EQ(folder.find(' ') != std::string::npos ? L"\"" + whole + L"\"" : whole, Config().binaryPath);
    }
}

TEST_F(InstallHostTest, InstallOnAFreshMachineRegistersTheServiceWithoutWaiting) {
    EXPECT_EQ("Initializing... Initializing... " + kDone + "Installing service...Success!" + kDone, Run(InstallService));
    EXPECT_TRUE(winsim::SleepCalls().empty());
    winsim::ServiceConfig config = Config();
    EXPECT_EQ(L"RDP Kestrove", config.name);
    EXPECT_EQ(L"RDP Kestrove", config.displayName);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS), config.serviceType);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_AUTO_START), config.startType);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_ERROR_IGNORE), config.errorControl);
    EXPECT_EQ(L"LocalSystem", config.account);
    EXPECT_EQ(OwnPath(), config.binaryPath);
    EXPECT_EQ(std::wstring::npos, config.binaryPath.find(L'"'));
    EXPECT_EQ(kDescription, config.description);
    EXPECT_FALSE(config.markedForDelete);
    EXPECT_EQ(0, winsim::OpenServiceHandles());
}

TEST_F(InstallHostTest, UninstallWithoutAServiceChangesNothingAndDoesNotWait) {
    EXPECT_EQ("Initializing... " + kDone, Run(UninstallService));
    EXPECT_TRUE(winsim::SleepCalls().empty());
    EXPECT_EQ(0, winsim::CallCount("ControlService"));
    EXPECT_EQ(0, winsim::OpenServiceHandles());
}

TEST_F(InstallHostTest, UninstallOfARunningServiceAsksItToStopAndKeepsIt) {
    Register(L"C:\\old\\RDPKestroveservice.exe", SERVICE_RUNNING);
    EXPECT_EQ("Initializing... Preparing to uninstall service... " + kDone, Run(UninstallService));
    EXPECT_EQ(std::vector<DWORD>{3000}, winsim::SleepCalls());
    EXPECT_EQ(std::vector<DWORD>{SERVICE_CONTROL_STOP}, winsim::ControlsSent(KESTROVE_SERVICE_NAME));
    EXPECT_FALSE(Config().markedForDelete);
    EXPECT_EQ(0, winsim::OpenServiceHandles());

    // Once it has stopped, the next removal deletes it.
    winsim::SetServiceState(KESTROVE_SERVICE_NAME, SERVICE_STOPPED);
    Run(UninstallService);
    EXPECT_FALSE(Registered());
}

TEST_F(InstallHostTest, UninstallKeepsAServiceThatWasRunningWhenAskedToStop) {
    Register(L"C:\\old.exe", SERVICE_STOPPED);
    ASSERT_TRUE(winsim::StartAsService(KESTROVE_SERVICE_NAME));
    std::thread dispatcher([] {
        WCHAR name[] = KESTROVE_SERVICE_NAME;
        SERVICE_TABLE_ENTRYW table[] = {{name, RunUntilAsked}, {nullptr, nullptr}};
        StartServiceCtrlDispatcherW(table);
    });
    EXPECT_TRUE(winsim::WaitForServiceState(SERVICE_RUNNING));
    Run(UninstallService);
    dispatcher.join();
    // Stopped before the wait was over, yet it was running when asked.
    EXPECT_TRUE(winsim::WaitForServiceState(SERVICE_STOPPED));
    EXPECT_FALSE(Config().markedForDelete);
}

TEST_F(InstallHostTest, UninstallOfAnyNotStoppedStateKeepsTheService) {
    for (DWORD state : {SERVICE_START_PENDING, SERVICE_STOP_PENDING, SERVICE_PAUSED}) {
        SetUp();
        Register(L"C:\\old.exe", state);
        Run(UninstallService);
        EXPECT_TRUE(Registered()) << state;
        EXPECT_FALSE(Config().markedForDelete) << state;
    }
}

TEST_F(InstallHostTest, UninstallOfAStoppedServiceWaitsAndDeletesIt) {
    Register(L"C:\\old.exe", SERVICE_STOPPED);
    EXPECT_EQ("Initializing... Preparing to uninstall service... " + kDone, Run(UninstallService));
    EXPECT_EQ(std::vector<DWORD>{3000}, winsim::SleepCalls());
    EXPECT_EQ(1, winsim::CallCount("ControlService"));
    EXPECT_FALSE(Registered());
}

TEST_F(InstallHostTest, UnreadableStatusNeitherStopsNorDeletes) {
    Register(L"C:\\old.exe", SERVICE_STOPPED);
    winsim::FailCall("QueryServiceStatus", ERROR_ACCESS_DENIED);
    EXPECT_EQ("Initializing... Preparing to uninstall service... " + kDone, Run(UninstallService));
    EXPECT_TRUE(winsim::SleepCalls().empty());
    EXPECT_EQ(0, winsim::CallCount("ControlService"));
    EXPECT_FALSE(Config().markedForDelete);
    EXPECT_EQ(0, winsim::OpenServiceHandles());
}

TEST_F(InstallHostTest, InstallOverARunningServiceKeepsItsPathAndDescribesIt) {
    Register(L"C:\\old\\RDPKestroveservice.exe", SERVICE_RUNNING);
    EXPECT_EQ("Initializing... Initializing... Preparing to uninstall service... " + kDone +
                  "Installing service...Success!" + kDone,
              Run(InstallService));
    winsim::ServiceConfig config = Config();
    EXPECT_EQ(L"C:\\old\\RDPKestroveservice.exe", config.binaryPath);
    EXPECT_EQ(kDescription, config.description);
    EXPECT_EQ(std::vector<DWORD>{SERVICE_CONTROL_STOP}, winsim::ControlsSent(KESTROVE_SERVICE_NAME));
    EXPECT_EQ(0, winsim::OpenServiceHandles());
}

TEST_F(InstallHostTest, InstallOverAStoppedServiceCreatesItAfresh) {
    Register(L"C:\\old\\RDPKestroveservice.exe", SERVICE_STOPPED);
    Run(InstallService);
    winsim::ServiceConfig config = Config();
    EXPECT_EQ(OwnPath(), config.binaryPath);
    EXPECT_FALSE(config.markedForDelete);
    EXPECT_EQ(kDescription, config.description);
}

TEST_F(InstallHostTest, ServiceHeldOpenElsewhereStaysMarkedAndItsDescriptionIsRefused) {
    Register(L"C:\\old.exe", SERVICE_STOPPED);
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE held = OpenServiceW(manager, KESTROVE_SERVICE_NAME, SERVICE_QUERY_STATUS);
    EXPECT_EQ("Initializing... Initializing... Preparing to uninstall service... " + kDone +
                  "Installing service...Success!" + kDone,
              Run(InstallService));
    winsim::ServiceConfig config = Config();
    EXPECT_TRUE(config.markedForDelete);
    EXPECT_EQ(L"C:\\old.exe", config.binaryPath);
    EXPECT_EQ(1, winsim::CallCount("ChangeServiceConfig2W"));
    EXPECT_EQ(L"", config.description);  // tried, and refused for the marked service
    CloseServiceHandle(held);
    CloseServiceHandle(manager);
    EXPECT_FALSE(Registered());
}

TEST_F(InstallHostTest, WithoutItsOwnPathInstallCreatesNothingButStillDescribes) {
    Register(L"C:\\old.exe", SERVICE_RUNNING);
    winsim::FailCall("GetModuleFileNameW", ERROR_INSUFFICIENT_BUFFER);
    int creations = winsim::CallCount("CreateServiceW");
    EXPECT_EQ("Initializing... Initializing... Preparing to uninstall service... " + kDone + kDone,
              Run(InstallService));
    EXPECT_EQ(creations, winsim::CallCount("CreateServiceW"));
    EXPECT_EQ(kDescription, Config().description);
}

TEST_F(InstallHostTest, WithoutManagerAccessBothCommandsOnlyPrint) {
    winsim::FailCall("OpenSCManagerW", ERROR_ACCESS_DENIED, 1, true);
    EXPECT_EQ("Initializing... " + kDone, Run(UninstallService));
    EXPECT_EQ("Initializing... Initializing... " + kDone + kDone, Run(InstallService));
    EXPECT_FALSE(Registered());
}

TEST_F(InstallHostTest, ManagerWithoutCreateRightRegistersNothing) {
    // The removal's connect-only manager opens; the creation's is refused.
    winsim::FailCall("OpenSCManagerW", ERROR_ACCESS_DENIED, 2);
    EXPECT_EQ("Initializing... Initializing... " + kDone + kDone, Run(InstallService));
    EXPECT_FALSE(Registered());
    EXPECT_EQ(0, winsim::OpenServiceHandles());
}

}  // namespace
