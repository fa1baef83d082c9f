// The service's entry under the service control manager, its control handler
// and the supervisor that keeps one Security-log worker running.
#pragma once
#include <windows.h>

extern SERVICE_STATUS g_serviceStatus;
extern SERVICE_STATUS_HANDLE g_serviceStatusHandle;
extern HANDLE g_serviceStopEvent;

void WINAPI ServiceMain(DWORD argc, LPWSTR* argv);
void WINAPI ServiceCtrlHandler(DWORD control);
DWORD WINAPI WorkerSupervisorThread(LPVOID parameter);
