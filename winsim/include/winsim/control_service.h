// Test controls of the service control manager.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace winsim {

// A registration as the service control manager holds it.
struct ServiceConfig {
    std::wstring name;
    std::wstring displayName;
    DWORD serviceType;
    DWORD startType;
    DWORD errorControl;
    std::wstring binaryPath;
    std::wstring account;  // "LocalSystem" when created without an account name
    std::wstring description;
    bool markedForDelete;
};

// False when no service of that name is registered.
bool GetServiceConfig(const std::wstring& name, ServiceConfig* config);
// Service handles (of the manager and of services) opened and not yet closed.
int OpenServiceHandles();

// Sets the state of a registered service that runs outside this process, as
// its own reports would: RUNNING, PAUSED and the pending states accept STOP and
// SHUTDOWN, STOPPED accepts nothing. False when the service is not registered.
bool SetServiceState(const std::wstring& name, DWORD state);
// Controls that ControlService delivered to a service outside this process.
std::vector<DWORD> ControlsSent(const std::wstring& name);

// Starts a registered, stopped service as the service control manager does,
// with this process as the service's process: its state becomes
// START_PENDING and StartServiceCtrlDispatcherW connects. False when the
// service is not registered, not stopped or marked for deletion.
bool StartAsService(const std::wstring& name);
// Sends a control to the in-process service as the service control manager
// would (SHUTDOWN at system shutdown, also while the service is stop-pending)
// and returns once the handler has returned. False, and nothing sent, when the
// service's last status does not accept the control (INTERROGATE and the
// user-defined codes 128-255 need no flag), or when no dispatcher with a
// registered handler is running.
bool SendServiceControl(DWORD control);
// Waits (in real time, at most 10 s) until the in-process service has reported
// the state; true when it has.
bool WaitForServiceState(DWORD state);
// Every status that the in-process service reported with SetServiceStatus, in
// order; winsim::Journal() has them in order with records and events set.
std::vector<SERVICE_STATUS> ReportedStatuses();
// The name under which the in-process service registered its control handler.
std::wstring ControlHandlerName();

}  // namespace winsim
