// The service's entry under the service control manager, its control handler
// and the supervisor that keeps one Security-log worker running.
#include "service_control.h"

#include <windows.h>
#include <objbase.h>

#include <stdio.h>
#include <string.h>

#include "../common/settings.h"
#include "event_report.h"
#include "install.h"
#include "watcher.h"

SERVICE_STATUS g_serviceStatus;
SERVICE_STATUS_HANDLE g_serviceStatusHandle = NULL;
HANDLE g_serviceStopEvent = NULL;

#define KESTROVE_STOP_CONTROLS (SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN)
#define KESTROVE_POLL_MS 1000
#define KESTROVE_RESTART_DELAY_MS 5000

// Every worker's parameter; it outlives all of them.
static WCHAR g_watchedLog[] = L"Security";

static void ReportStatus(void) { SetServiceStatus(g_serviceStatusHandle, &g_serviceStatus); }

static void ReportState(DWORD state) {
    g_serviceStatus.dwCurrentState = state;
    ReportStatus();
}

static void StartSupervisor(void) {
    HANDLE supervisor = CreateThread(NULL, 0, WorkerSupervisorThread, NULL, 0, NULL);
    if (supervisor) CloseHandle(supervisor);
}

static void RunUntilStopped(void) {
    ReportState(SERVICE_START_PENDING);
    g_serviceStopEvent = CreateEventW(NULL, FALSE, FALSE, NULL);
    // The stop event exists before STOP or SHUTDOWN can be accepted.
    g_serviceStatus.dwControlsAccepted |= KESTROVE_STOP_CONTROLS;
    ReportState(SERVICE_RUNNING);
    ReportServiceEvent(KESTROVE_EVENT_STARTED, NULL, 0, EVENTLOG_INFORMATION_TYPE);
    StartSupervisor();
    WaitForSingleObject(g_serviceStopEvent, INFINITE);

    ReportState(SERVICE_STOP_PENDING);
    if (g_serviceStopEvent) CloseHandle(g_serviceStopEvent);
    g_serviceStatus.dwControlsAccepted &= ~KESTROVE_STOP_CONTROLS;
    g_serviceStopEvent = NULL;
    ReportState(SERVICE_STOPPED);
}

void WINAPI ServiceMain(DWORD argc, LPWSTR* argv) {
    (void)argc;
    (void)argv;
    int settingsLoaded = LoadSettings();
    CoInitialize(NULL);
    memset(&g_serviceStatus, 0, sizeof(g_serviceStatus));
    g_serviceStatus.dwServiceType = SERVICE_WIN32;
    g_serviceStatus.dwCurrentState = SERVICE_STOPPED;
    g_serviceStatusHandle = RegisterServiceCtrlHandlerW(KESTROVE_SERVICE_NAME, ServiceCtrlHandler);
    if (!g_serviceStatusHandle) return;
    if (!settingsLoaded) {
        // An exit code makes the service control manager record a failed start, not a clean stop.
        g_serviceStatus.dwWin32ExitCode = ERROR_BAD_CONFIGURATION;
        ReportStatus();
        return;
    }
    RunUntilStopped();
}

static bool StopHasBegun(void) {
    return g_serviceStatus.dwCurrentState == SERVICE_STOP_PENDING || g_serviceStatus.dwCurrentState == SERVICE_STOPPED;
}

void WINAPI ServiceCtrlHandler(DWORD control) {
    // A shutdown can still arrive once the stop has begun, when ServiceMain may
    // already have closed the stop event: the stop is begun once only.
    if ((control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN) && !StopHasBegun()) {
        ReportServiceEvent(KESTROVE_EVENT_STOPPED, NULL, 0, EVENTLOG_INFORMATION_TYPE);
        ReportState(SERVICE_STOP_PENDING);
        SetEvent(g_serviceStopEvent);
        return;
    }
    // Interrogation, a repeated stop, and any control the service does not
    // accept, change nothing.
    ReportStatus();
}

static void WaitForWorkerEnd(HANDLE worker) {
    do {
        Sleep(KESTROVE_POLL_MS);
    } while (WaitForSingleObject(worker, 0) != WAIT_OBJECT_0);
}

DWORD WINAPI WorkerSupervisorThread(LPVOID parameter) {
    (void)parameter;
    for (;;) {
        HANDLE worker = CreateThread(NULL, 0, WorkerThread, g_watchedLog, 0, NULL);
        // A worker that could not be created counts as one that has ended.
        if (worker) {
            WaitForWorkerEnd(worker);
            CloseHandle(worker);
        }
        printf("\r\n\r\n********************\r\nThe thread has terminated.  Restarting...\r\n"
               "********************\r\n\r\n");
        Sleep(KESTROVE_RESTART_DELAY_MS);
    }
}
