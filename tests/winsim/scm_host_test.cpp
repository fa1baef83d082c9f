// winsim's service control manager: what it records of registrations, and a
// service run in-process under its dispatcher.
#include <gtest/gtest.h>
#include <winsim/control.h>

#include <atomic>
#include <thread>
#include <vector>

#include "journal_host.h"

namespace {

const wchar_t* kName = L"Kestrove Winsim Test";

// What the test service saw; one service runs per test process.
std::atomic<std::thread::id> g_handlerThread;
std::atomic<std::thread::id> g_mainThread;
std::atomic<int> g_controls{0};
HANDLE g_stop = nullptr;
SERVICE_STATUS_HANDLE g_statusHandle = nullptr;

void Report(DWORD state, DWORD accepted) {
    SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS, state, accepted, 0, 0, 0, 0};
    SetServiceStatus(g_statusHandle, &status);
}

void WINAPI TestHandler(DWORD control) {
    g_handlerThread = std::this_thread::get_id();
    ++g_controls;
    if (control == SERVICE_CONTROL_STOP) {
        Report(SERVICE_STOP_PENDING, SERVICE_ACCEPT_STOP);
        SetEvent(g_stop);
    }
}

void WINAPI TestServiceMain(DWORD argc, LPWSTR* argv) {
    g_mainThread = std::this_thread::get_id();
    if (argc != 1 || std::wstring(argv[0]) != kName) return;
    g_statusHandle = RegisterServiceCtrlHandlerW(L"Any Name", TestHandler);
    g_stop = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    Report(SERVICE_RUNNING, SERVICE_ACCEPT_STOP);
    WaitForSingleObject(g_stop, INFINITE);
    Report(SERVICE_STOPPED, 0);
}

class ScmHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        winsim::Reset();
        g_controls = 0;
        manager_ = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE);
        CloseServiceHandle(CreateServiceW(manager_, kName, L"Shown Name", SERVICE_ALL_ACCESS,
                                          SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                          L"C:\\x.exe", nullptr, nullptr, nullptr, nullptr, nullptr));
    }
    SC_HANDLE Open(DWORD access = SERVICE_ALL_ACCESS) { return OpenServiceW(manager_, kName, access); }
    // Runs the dispatcher on a thread of its own, as a program's main thread would.
    void RunService() {
        ASSERT_TRUE(winsim::StartAsService(kName));
        dispatcher_ = std::thread([this] {
            dispatcherId_ = std::this_thread::get_id();
            SERVICE_TABLE_ENTRYW table[] = {{const_cast<LPWSTR>(L"ignored"), TestServiceMain}, {nullptr, nullptr}};
            dispatched_ = StartServiceCtrlDispatcherW(table);
        });
        ASSERT_TRUE(winsim::WaitForServiceState(SERVICE_RUNNING));
    }
    void JoinDispatcher() { dispatcher_.join(); }
    SC_HANDLE manager_ = nullptr;
    std::thread dispatcher_;
    std::thread::id dispatcherId_;
    BOOL dispatched_ = FALSE;
};

TEST_F(ScmHostTest, RegistrationHoldsWhatWasAskedFor) {
    SC_HANDLE service = Open();
    wchar_t text[] = L"Described.";
    SERVICE_DESCRIPTIONW description{text};
    ASSERT_TRUE(ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &description));
    winsim::ServiceConfig config;
    ASSERT_TRUE(winsim::GetServiceConfig(L"kestrove winsim test", &config));
    EXPECT_EQ(kName, config.name);
    EXPECT_EQ(L"Shown Name", config.displayName);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS), config.serviceType);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_AUTO_START), config.startType);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_ERROR_NORMAL), config.errorControl);
    EXPECT_EQ(L"C:\\x.exe", config.binaryPath);
    EXPECT_EQ(L"LocalSystem", config.account);
    EXPECT_EQ(L"Described.", config.description);

    SERVICE_DESCRIPTIONW unchanged{nullptr};
    ASSERT_TRUE(ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &unchanged));
    winsim::GetServiceConfig(kName, &config);
    EXPECT_EQ(L"Described.", config.description);
    CloseServiceHandle(service);
}

TEST_F(ScmHostTest, DisplayNameOfAnotherServiceIsRefused) {
    EXPECT_EQ(nullptr, CreateServiceW(manager_, L"Other", L"shown name", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                      SERVICE_AUTO_START, SERVICE_ERROR_IGNORE, L"C:\\y.exe", nullptr, nullptr,
                                      nullptr, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_DUPLICATE_SERVICE_NAME), GetLastError());
}

TEST_F(ScmHostTest, EveryHandleIsCounted) {
    EXPECT_EQ(1, winsim::OpenServiceHandles());
    SC_HANDLE service = Open();
    EXPECT_EQ(2, winsim::OpenServiceHandles());
    CloseServiceHandle(service);
    CloseServiceHandle(manager_);
    EXPECT_EQ(0, winsim::OpenServiceHandles());
}

TEST_F(ScmHostTest, OutsideServiceGetsItsControlsRecordedAndKeepsItsState) {
    ASSERT_TRUE(winsim::SetServiceState(kName, SERVICE_RUNNING));
    SC_HANDLE service = Open();
    SERVICE_STATUS status{};
    ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), status.dwCurrentState);
    EXPECT_EQ(std::vector<DWORD>{SERVICE_CONTROL_STOP}, winsim::ControlsSent(kName));

    EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_PAUSE, &status));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_SERVICE_CONTROL), GetLastError());
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), status.dwCurrentState);
    EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_SHUTDOWN, &status));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    winsim::SetServiceState(kName, SERVICE_STOP_PENDING);
    EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_CANNOT_ACCEPT_CTRL), GetLastError());
    CloseServiceHandle(service);
}

TEST_F(ScmHostTest, DeletedRunningServiceGoesOnceStoppedAndClosed) {
    winsim::SetServiceState(kName, SERVICE_RUNNING);
    SC_HANDLE service = Open();
    ASSERT_TRUE(DeleteService(service));
    winsim::ServiceConfig config;
    ASSERT_TRUE(winsim::GetServiceConfig(kName, &config));
    EXPECT_TRUE(config.markedForDelete);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_DISABLED), config.startType);
    SERVICE_DESCRIPTIONW description{const_cast<LPWSTR>(L"Late.")};
    EXPECT_FALSE(ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &description));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE), GetLastError());
    CloseServiceHandle(service);
    EXPECT_TRUE(winsim::GetServiceConfig(kName, &config));
    winsim::SetServiceState(kName, SERVICE_STOPPED);
    EXPECT_FALSE(winsim::GetServiceConfig(kName, &config));
}

TEST_F(ScmHostTest, HandlerCannotRegisterOutsideADispatcher) {
    EXPECT_EQ(nullptr, RegisterServiceCtrlHandlerW(kName, TestHandler));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_NOT_IN_EXE), GetLastError());
    SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS, SERVICE_RUNNING, 0, 0, 0, 0, 0};
    EXPECT_FALSE(SetServiceStatus(g_statusHandle, &status));
    EXPECT_TRUE(winsim::ReportedStatuses().empty());
}

TEST_F(ScmHostTest, StartRequiresAStoppedRegisteredService) {
    EXPECT_FALSE(winsim::StartAsService(L"Unknown"));
    winsim::SetServiceState(kName, SERVICE_RUNNING);
    EXPECT_FALSE(winsim::StartAsService(kName));
}

TEST_F(ScmHostTest, DispatcherRunsTheServiceAndItsControlsOnTheirThreads) {
    RunService();
    EXPECT_EQ(L"Any Name", winsim::ControlHandlerName());
    SC_HANDLE service = Open();
    SERVICE_STATUS status{};
    ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_INTERROGATE, &status));
    EXPECT_EQ(1, g_controls.load());
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), status.dwCurrentState);
    // The status handed back is the one reported by the handler.
    ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    EXPECT_NE(static_cast<DWORD>(SERVICE_RUNNING), status.dwCurrentState);
    JoinDispatcher();
    EXPECT_TRUE(dispatched_);
    EXPECT_EQ(dispatcherId_, g_handlerThread.load());
    EXPECT_NE(dispatcherId_, g_mainThread.load());

    std::vector<DWORD> states;
    for (const SERVICE_STATUS& reported : winsim::ReportedStatuses()) states.push_back(reported.dwCurrentState);
    EXPECT_EQ((std::vector<DWORD>{SERVICE_RUNNING, SERVICE_STOP_PENDING, SERVICE_STOPPED}), states);
    // The service thread's report comes after the event that woke it.
    EXPECT_EQ((std::vector<std::string>{"status RUNNING", "status STOP_PENDING", "set stop", "status STOPPED"}),
              testsupport::JournalSteps(g_stop));
    ASSERT_TRUE(QueryServiceStatus(service, &status));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), status.dwCurrentState);
    EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE), GetLastError());
    CloseServiceHandle(service);
}

TEST_F(ScmHostTest, ControlsTheServiceDoesNotAcceptNeverReachIt) {
    RunService();
    SC_HANDLE service = Open();
    SERVICE_STATUS status{};
    EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_PAUSE, &status));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_SERVICE_CONTROL), GetLastError());
    // The manager's own sends need the flags too; interrogation and user-defined codes need none.
    for (DWORD control : {SERVICE_CONTROL_PAUSE, SERVICE_CONTROL_SHUTDOWN, SERVICE_CONTROL_PRESHUTDOWN, 11, 127, 256}) {
        EXPECT_FALSE(winsim::SendServiceControl(control)) << control;
    }
    EXPECT_EQ(0, g_controls.load());
    EXPECT_TRUE(winsim::SendServiceControl(SERVICE_CONTROL_INTERROGATE));
    EXPECT_TRUE(winsim::SendServiceControl(128));
    EXPECT_EQ(2, g_controls.load());
    EXPECT_TRUE(winsim::SendServiceControl(SERVICE_CONTROL_STOP));
    JoinDispatcher();
    EXPECT_FALSE(winsim::SendServiceControl(SERVICE_CONTROL_INTERROGATE));
    CloseServiceHandle(service);
}

TEST_F(ScmHostTest, SecondDispatcherIsRefused) {
    RunService();
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<LPWSTR>(L"x"), TestServiceMain}, {nullptr, nullptr}};
    EXPECT_FALSE(StartServiceCtrlDispatcherW(table));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_ALREADY_RUNNING), GetLastError());
    winsim::SendServiceControl(SERVICE_CONTROL_STOP);
    JoinDispatcher();
}

}  // namespace
