// The service under the service control manager: the statuses it reports, the
// start and stop records, the controls and the worker supervision.
#include <gtest/gtest.h>
#include <winsim/control.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "service/event_report.h"
#include "service/install.h"
#include "eventually.h"
#include "journal_host.h"
#include "security_log_host.h"
#include "service/service_control.h"
#include "settings_support.h"

// Statuses compare and print field by field (found by argument lookup).
static bool operator==(const SERVICE_STATUS& a, const SERVICE_STATUS& b) {
    return a.dwServiceType == b.dwServiceType && a.dwCurrentState == b.dwCurrentState &&
           a.dwControlsAccepted == b.dwControlsAccepted && a.dwWin32ExitCode == b.dwWin32ExitCode &&
           a.dwServiceSpecificExitCode == b.dwServiceSpecificExitCode && a.dwCheckPoint == b.dwCheckPoint &&
           a.dwWaitHint == b.dwWaitHint;
}

static void PrintTo(const SERVICE_STATUS& s, std::ostream* out) {
    *out << "{type " << s.dwServiceType << ", state " << s.dwCurrentState << ", accepted " << s.dwControlsAccepted
         << ", exit " << s.dwWin32ExitCode << "/" << s.dwServiceSpecificExitCode << ", " << s.dwCheckPoint << ", "
         << s.dwWaitHint << "}";
}

namespace {

const DWORD kStopControls = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
const std::string kRestart =
    "\r\n\r\n********************\r\nThe thread has terminated.  Restarting...\r\n********************\r\n\r\n";

SERVICE_STATUS Status(DWORD state, DWORD accepted, DWORD exitCode = 0) {
    return SERVICE_STATUS{SERVICE_WIN32, state, accepted, exitCode, 0, 0, 0};
}

std::vector<DWORD> RecordIds() {
    std::vector<DWORD> ids;
    for (const winsim::ReportedEvent& record : winsim::ApplicationLog()) {
        EXPECT_EQ(KESTROVE_EVENT_SOURCE, record.source);
        EXPECT_EQ(EVENTLOG_INFORMATION_TYPE, record.type);
        EXPECT_TRUE(record.strings.empty());
        ids.push_back(record.eventId);
    }
    return ids;
}

// A Security log with a record in it, as every real one has, for the worker to start after.
void SeedSecurityLog() {
    winsim::EventLogEntry logon;
    logon.eventId = 4624;
    logon.source = L"Microsoft-Windows-Security-Auditing";
    winsim::AppendEventLogRecord(L"Security", logon);
}

class ServiceRunHostTest : public testsupport::SettingsTest {
protected:
    void SetUp() override {
        winsim::Reset();
        SettingsTest::SetUp();
        SeedSecurityLog();
        SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE);
        CloseServiceHandle(CreateServiceW(manager, KESTROVE_SERVICE_NAME, KESTROVE_SERVICE_NAME, SERVICE_ALL_ACCESS,
                                          SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_IGNORE,
                                          L"C:\\RDPKestroveservice.exe", nullptr, nullptr, nullptr, nullptr,
                                          nullptr));
        CloseServiceHandle(manager);
    }
    void TearDown() override {
        if (dispatcher_.joinable()) {
            // A service that takes no STOP (a failed test left it starting or
            // stopping) is released as its stop would release it.
            if (!winsim::SendServiceControl(SERVICE_CONTROL_STOP)) SetEvent(g_serviceStopEvent);
            dispatcher_.join();
        }
        SettingsTest::TearDown();
    }
    // The service control manager starts the service; the dispatcher runs on a
    // thread of the test as it would on the program's main thread.
    void Start() {
        ASSERT_TRUE(winsim::StartAsService(KESTROVE_SERVICE_NAME));
        dispatcher_ = std::thread([] {
            WCHAR name[] = KESTROVE_SERVICE_NAME;
            SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
            StartServiceCtrlDispatcherW(table);
        });
    }
    void StartRunning() {
        Start();
        ASSERT_TRUE(winsim::WaitForServiceState(SERVICE_RUNNING));
        // The worker is up once it watches the Security log.
        ASSERT_TRUE(testsupport::Eventually([] { return winsim::OpenEventLogHandles() == 1; }));
    }
    void WaitForDispatcher() { dispatcher_.join(); }
    std::thread dispatcher_;
};

TEST_F(ServiceRunHostTest, StartReportsPendingThenRunningAndStartsOneWorker) {
    StartRunning();
    EXPECT_EQ((std::vector<SERVICE_STATUS>{Status(SERVICE_START_PENDING, 0), Status(SERVICE_RUNNING, kStopControls)}),
              winsim::ReportedStatuses());
    EXPECT_EQ(std::vector<DWORD>{KESTROVE_EVENT_STARTED}, RecordIds());
    EXPECT_EQ(KESTROVE_SERVICE_NAME, winsim::ControlHandlerName());
    // The supervisor and its one worker.
    EXPECT_EQ(2, winsim::CallCount("CreateThread"));
    EXPECT_NE(nullptr, g_serviceStopEvent);
}

class ServiceStopHostTest : public ServiceRunHostTest, public ::testing::WithParamInterface<DWORD> {};

TEST_P(ServiceStopHostTest, StopRecordThenStopPendingTwiceThenStopped) {
    StartRunning();
    int kernelHandles = winsim::OpenKernelHandles();
    HANDLE stopEvent = g_serviceStopEvent;
    ASSERT_TRUE(winsim::SendServiceControl(GetParam()));
    WaitForDispatcher();
    // One more reaching the handler after STOPPED (sent before that report)
    // only reports the status again, to a manager that no longer listens.
    int reports = winsim::CallCount("SetServiceStatus");
    ServiceCtrlHandler(GetParam());
    EXPECT_EQ(reports + 1, winsim::CallCount("SetServiceStatus"));
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), g_serviceStatus.dwCurrentState);
    // The handler's three steps in their order, before ServiceMain goes on (3 started, 4 stopped).
    EXPECT_EQ((std::vector<std::string>{"status START_PENDING", "status RUNNING", "record 3", "record 4",
                                        "status STOP_PENDING", "set stop", "status STOP_PENDING", "status STOPPED"}),
              testsupport::JournalSteps(stopEvent));
    EXPECT_EQ((std::vector<SERVICE_STATUS>{Status(SERVICE_START_PENDING, 0), Status(SERVICE_RUNNING, kStopControls),
                                           Status(SERVICE_STOP_PENDING, kStopControls),
                                           Status(SERVICE_STOP_PENDING, kStopControls), Status(SERVICE_STOPPED, 0)}),
              winsim::ReportedStatuses());
    EXPECT_EQ((std::vector<DWORD>{KESTROVE_EVENT_STARTED, KESTROVE_EVENT_STOPPED}), RecordIds());
    EXPECT_EQ(nullptr, g_serviceStopEvent);
    EXPECT_EQ(kernelHandles - 1, winsim::OpenKernelHandles()) << "the stop event is closed";
}

INSTANTIATE_TEST_SUITE_P(StopAndShutdown, ServiceStopHostTest,
                         ::testing::Values(SERVICE_CONTROL_STOP, SERVICE_CONTROL_SHUTDOWN));

TEST_F(ServiceRunHostTest, StopThroughTheManagerReachesTheHandler) {
    StartRunning();
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = OpenServiceW(manager, KESTROVE_SERVICE_NAME, SERVICE_STOP | SERVICE_QUERY_STATUS);
    SERVICE_STATUS status{};
    ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    WaitForDispatcher();
    ASSERT_TRUE(QueryServiceStatus(service, &status));
    EXPECT_EQ(Status(SERVICE_STOPPED, 0), status);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

TEST_F(ServiceRunHostTest, OtherControlsReportTheStatusAgainAndChangeNothing) {
    StartRunning();
    for (DWORD control : {SERVICE_CONTROL_INTERROGATE, 200}) ASSERT_TRUE(winsim::SendServiceControl(control));
    // Pausing is not accepted, so it never reaches the handler.
    for (DWORD control : {SERVICE_CONTROL_PAUSE, SERVICE_CONTROL_CONTINUE}) {
        EXPECT_FALSE(winsim::SendServiceControl(control));
    }
    std::vector<SERVICE_STATUS> expected{Status(SERVICE_START_PENDING, 0)};
    expected.insert(expected.end(), 3, Status(SERVICE_RUNNING, kStopControls));
    EXPECT_EQ(expected, winsim::ReportedStatuses());
    EXPECT_EQ(std::vector<DWORD>{KESTROVE_EVENT_STARTED}, RecordIds());
}

TEST_F(ServiceRunHostTest, ShutdownOnceTheStopHasBegunOnlyReportsTheStatusAgain) {
    StartRunning();
    HANDLE stopEvent = g_serviceStopEvent;
    // The stop cannot set the event, so ServiceMain still waits when the shutdown comes.
    winsim::FailCall("SetEvent", ERROR_INVALID_HANDLE);
    // No assertion may end the test early: ServiceMain ends only at the event set here.
    EXPECT_TRUE(winsim::SendServiceControl(SERVICE_CONTROL_STOP));
    EXPECT_TRUE(winsim::SendServiceControl(SERVICE_CONTROL_SHUTDOWN));
    EXPECT_TRUE(SetEvent(stopEvent));
    WaitForDispatcher();
    EXPECT_EQ((std::vector<std::string>{"status START_PENDING", "status RUNNING", "record 3", "record 4",
                                        "status STOP_PENDING", "status STOP_PENDING", "set stop",
                                        "status STOP_PENDING", "status STOPPED"}),
              testsupport::JournalSteps(stopEvent));
}

TEST_F(ServiceRunHostTest, UnreadableSettingsStopTheServiceAtOnceWithAConfigurationError) {
    SetSmtp(L"Server Address", L"mail.example.org");
    Start();
    WaitForDispatcher();
    EXPECT_EQ(std::vector<SERVICE_STATUS>{Status(SERVICE_STOPPED, 0, ERROR_BAD_CONFIGURATION)},
              winsim::ReportedStatuses());
    EXPECT_EQ(1u, winsim::WtsMessages().size());
    EXPECT_TRUE(winsim::ApplicationLog().empty());
    EXPECT_EQ(0, winsim::CallCount("CreateThread"));
    EXPECT_EQ(0, winsim::CallCount("CreateEventW"));
}

TEST_F(ServiceRunHostTest, WithoutAStopEventTheServiceStopsRightAfterStarting) {
    winsim::FailCall("CreateEventW", ERROR_NOT_ENOUGH_MEMORY);
    Start();
    WaitForDispatcher();
    EXPECT_EQ((std::vector<SERVICE_STATUS>{Status(SERVICE_START_PENDING, 0), Status(SERVICE_RUNNING, kStopControls),
                                           Status(SERVICE_STOP_PENDING, kStopControls), Status(SERVICE_STOPPED, 0)}),
              winsim::ReportedStatuses());
    EXPECT_EQ(std::vector<DWORD>{KESTROVE_EVENT_STARTED}, RecordIds());
    // The supervisor was started all the same; the test ends once its worker waits.
    EXPECT_TRUE(testsupport::Eventually([] { return winsim::OpenEventLogHandles() == 1; }));
}

TEST_F(ServiceRunHostTest, WithoutAHandlerNothingIsReported) {
    // Outside a dispatcher the handler cannot be registered.
    ServiceMain(0, nullptr);
    EXPECT_TRUE(winsim::ReportedStatuses().empty());
    EXPECT_TRUE(winsim::ApplicationLog().empty());
    EXPECT_EQ(0, winsim::CallCount("CreateThread"));
}

class SupervisorHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        winsim::Reset();
        winsim::SetTimeScale(0.001);
        SeedSecurityLog();
    }
    // Runs the supervisor for good, as the service does, with stdout captured.
    static void StartSupervisor() {
        ::testing::internal::CaptureStdout();
        HANDLE supervisor = CreateThread(nullptr, 0, WorkerSupervisorThread, nullptr, 0, nullptr);
        EXPECT_NE(nullptr, supervisor);
        CloseHandle(supervisor);
    }
};

TEST_F(SupervisorHostTest, EndedWorkerIsReplacedAfterTheRestartMessageAndFiveSeconds) {
    // The first worker cannot open the Security log and ends.
    winsim::FailCall("OpenEventLogW", ERROR_ACCESS_DENIED);
    StartSupervisor();
    bool watching = testsupport::Eventually([] { return winsim::OpenEventLogHandles() == 1; });
    std::string output = ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(watching) << output;
    EXPECT_EQ(2, winsim::CallCount("OpenEventLogW"));
    EXPECT_EQ(3, winsim::CallCount("CreateThread")) << "the supervisor and two workers";
    EXPECT_EQ(2, winsim::OpenKernelHandles()) << "the second worker and its event: the first one's handle is closed";
    size_t restart = output.find(kRestart);
    ASSERT_NE(std::string::npos, restart) << output;
    EXPECT_EQ(std::string::npos, output.find(kRestart, restart + 1));
    EXPECT_LT(output.find("In thread...data in: Security\r\n"), restart);
    EXPECT_NE(std::string::npos, output.find("In thread...data in: Security\r\n", restart));
    // Polls of one second until the worker has ended, then the restart delay once.
    std::vector<DWORD> pauses = winsim::SleepCalls();
    auto delay = std::find(pauses.begin(), pauses.end(), 5000u);
    ASSERT_TRUE(delay != pauses.end());
    EXPECT_TRUE(delay != pauses.begin());
    EXPECT_TRUE(std::all_of(pauses.begin(), delay, [](DWORD pause) { return pause == 1000; }));
    EXPECT_EQ(1, std::count(pauses.begin(), pauses.end(), 5000u)) << "one restart only";
}

TEST_F(SupervisorHostTest, ClearedLogEndsTheWorkerAndTheNextStartsAfterItsNewestRecord) {
    StartSupervisor();
    // No ASSERT until the capture has ended, so that the next test can capture.
    EXPECT_TRUE(testsupport::Eventually(testsupport::SecurityLogAwaited));
    // An administrator clears the log, and a record is written to the new one.
    HANDLE administrator = OpenEventLogW(nullptr, L"Security");
    EXPECT_TRUE(ClearEventLogW(administrator, nullptr));
    CloseEventLog(administrator);
    SeedSecurityLog();
    // The worker ends on its failed read; the next one opens the log and waits.
    EXPECT_TRUE(testsupport::Eventually([] {
        return winsim::CallCount("OpenEventLogW") == 3 && testsupport::SecurityLogAwaited();
    }));
    SeedSecurityLog();
    EXPECT_TRUE(testsupport::Eventually([] { return winsim::CallCount("ResetEvent") == 1; }));
    fflush(stdout);
    std::string output = ::testing::internal::GetCapturedStdout();
    const std::string ended =
        "ReadEventLog failed with 1503.\nReadRecord (priming read) failed.\nDumpNewRecords failed.\n"
        "\r\nExiting WorkerThread()...\r\n" + kRestart + "In thread...data in: Security\r\n";
    size_t end = output.find(ended);
    ASSERT_NE(std::string::npos, end) << output;
    // The next worker examined the second record of the new log only.
    const std::string separator =
        "\r\n--------------------------------------------------------------------------------\r\n";
    EXPECT_EQ(end + ended.size(), output.find("Waiting for notification", end + ended.size())) << output;
    EXPECT_EQ(output.find(separator), output.rfind(separator)) << output;
    EXPECT_LT(end, output.find(separator));
}

TEST_F(SupervisorHostTest, WorkerThatCannotBeCreatedCountsAsEnded) {
    winsim::FailCall("CreateThread", ERROR_NOT_ENOUGH_MEMORY, 2);
    StartSupervisor();
    bool watching = testsupport::Eventually([] { return winsim::OpenEventLogHandles() == 1; });
    std::string output = ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(watching) << output;
    EXPECT_EQ(0u, output.find(kRestart)) << output;
    // No poll of a handle it never got: the restart delay comes first.
    ASSERT_FALSE(winsim::SleepCalls().empty());
    EXPECT_EQ(5000u, winsim::SleepCalls()[0]);
}

}  // namespace
