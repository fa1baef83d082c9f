// The service side of a service process: the control dispatcher, which runs
// ServiceMain on a thread of its own and the control handler on the calling
// thread, handler registration and status reports.
#include <winsim/control.h>

#include <chrono>
#include <memory>

#include "internal.h"
#include "scm_state.h"

namespace {

using namespace winsim::detail;

// The one status handle of the process's service.
SERVICE_STATUS_HANDLE StatusHandle() {
    static int self;
    return reinterpret_cast<SERVICE_STATUS_HANDLE>(&self);
}

bool Fails(const char* function) {
    unsigned long code = 0;
    if (!InjectedFailure(function, &code)) return false;
    SetLastError(code);
    return true;
}

// Runs the service's entry as the service control manager does: with the
// service name as its only argument.
void StartServiceThread(LPSERVICE_MAIN_FUNCTIONW serviceMain, const std::wstring& name) {
    auto argument = std::make_shared<std::wstring>(name);
    StartThread([serviceMain, argument] {
        LPWSTR argv[] = {&(*argument)[0], nullptr};
        serviceMain(1, argv);
    });
}

// Runs queued controls on this thread until the service has reported
// SERVICE_STOPPED; controls still queued then are dropped.
void DispatchControls(ScmState& scm, std::unique_lock<std::mutex>& lock) {
    for (;;) {
        scm.changed.wait(lock, [&] { return !scm.controls.empty() || scm.stoppedReported; });
        if (scm.stoppedReported) {
            scm.controls.clear();
            return;
        }
        DWORD control = scm.controls.front();
        scm.controls.pop_front();
        LPHANDLER_FUNCTION handler = scm.handler;
        lock.unlock();
        handler(control);
        lock.lock();
        ++scm.controlsHandled;
        scm.changed.notify_all();
    }
}

bool ValidState(DWORD state) { return state >= SERVICE_STOPPED && state <= SERVICE_PAUSED; }

}  // namespace

namespace winsim::detail {

bool DeliverControl(std::unique_lock<std::mutex>& lock, DWORD control) {
    ScmState& scm = Scm();
    if (!scm.connected || !scm.handler || scm.stoppedReported) return false;
    scm.controls.push_back(control);
    unsigned long ticket = ++scm.controlsQueued;
    const unsigned long dispatcher = scm.dispatchers;
    scm.changed.notify_all();
    scm.changed.wait(lock, [&] {
        return scm.dispatchers != dispatcher || scm.controlsHandled >= ticket || !scm.connected;
    });
    return scm.dispatchers == dispatcher && scm.controlsHandled >= ticket;
}

}  // namespace winsim::detail

extern "C" {

BOOL StartServiceCtrlDispatcherW(const SERVICE_TABLE_ENTRYW* serviceTable) {
    if (Fails("StartServiceCtrlDispatcherW")) return FALSE;
    if (!serviceTable || !serviceTable[0].lpServiceName || !serviceTable[0].lpServiceProc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ScmState& scm = Scm();
    std::unique_lock<std::mutex> lock(scm.mutex);
    if (scm.processService.empty()) {
        SetLastError(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
        return FALSE;
    }
    if (scm.connected) {
        SetLastError(ERROR_SERVICE_ALREADY_RUNNING);
        return FALSE;
    }
    scm.connected = true;
    scm.stoppedReported = false;
    // Controls dropped by an earlier dispatcher are never handled.
    scm.controlsQueued = scm.controlsHandled = 0;
    ++scm.dispatchers;
    // An own-process service runs the first entry whatever its name.
    StartServiceThread(serviceTable[0].lpServiceProc, scm.services[scm.processService].config.name);
    DispatchControls(scm, lock);
    scm.connected = false;
    scm.handler = nullptr;
    scm.processService.clear();
    scm.changed.notify_all();
    return TRUE;
}

SERVICE_STATUS_HANDLE RegisterServiceCtrlHandlerW(LPCWSTR serviceName, LPHANDLER_FUNCTION handler) {
    if (Fails("RegisterServiceCtrlHandlerW")) return nullptr;
    ScmState& scm = Scm();
    std::lock_guard<std::mutex> lock(scm.mutex);
    if (!scm.connected) {
        SetLastError(ERROR_SERVICE_NOT_IN_EXE);
        return nullptr;
    }
    if (!serviceName || !handler) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // An own-process service's name is not checked: it is the only one.
    scm.handler = handler;
    scm.handlerName = serviceName;
    return StatusHandle();
}

BOOL SetServiceStatus(SERVICE_STATUS_HANDLE statusHandle, LPSERVICE_STATUS status) {
    if (Fails("SetServiceStatus")) return FALSE;
    ScmState& scm = Scm();
    std::lock_guard<std::mutex> lock(scm.mutex);
    if (statusHandle != StatusHandle() || !scm.connected) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!status || !ValidState(status->dwCurrentState)) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    scm.reported.push_back(*status);
    AddToJournal(winsim::JournalEntry{"SetServiceStatus", *status, 0, nullptr});
    if (ServiceRecord* record = FindService(scm, scm.processService)) record->status = *status;
    if (status->dwCurrentState == SERVICE_STOPPED) {
        scm.stoppedReported = true;
        RemoveIfDeleted(scm, scm.processService);
    }
    scm.changed.notify_all();
    return TRUE;
}

}  // extern "C"

namespace winsim {

bool StartAsService(const std::wstring& name) {
    ScmState& scm = Scm();
    std::lock_guard<std::mutex> lock(scm.mutex);
    ServiceRecord* record = FindService(scm, name);
    if (!record || record->config.markedForDelete || record->status.dwCurrentState != SERVICE_STOPPED ||
        !scm.processService.empty()) {
        return false;
    }
    record->status = SERVICE_STATUS{record->config.serviceType, SERVICE_START_PENDING, 0, 0, 0, 0, 0};
    scm.processService = detail::LowerCase(name);
    return true;
}

bool SendServiceControl(DWORD control) {
    ScmState& scm = Scm();
    std::unique_lock<std::mutex> lock(scm.mutex);
    // The manager sends only what the service's last report accepts.
    ServiceRecord* record = FindService(scm, scm.processService);
    if (!record || !ControlAccepted(control, record->status.dwControlsAccepted)) return false;
    return DeliverControl(lock, control);
}

bool WaitForServiceState(DWORD state) {
    ScmState& scm = Scm();
    std::unique_lock<std::mutex> lock(scm.mutex);
    return scm.changed.wait_for(lock, std::chrono::seconds(10), [&] {
        for (const SERVICE_STATUS& status : scm.reported) {
            if (status.dwCurrentState == state) return true;
        }
        return false;
    });
}

std::vector<SERVICE_STATUS> ReportedStatuses() {
    ScmState& scm = Scm();
    std::lock_guard<std::mutex> lock(scm.mutex);
    return scm.reported;
}

std::wstring ControlHandlerName() {
    ScmState& scm = Scm();
    std::lock_guard<std::mutex> lock(scm.mutex);
    return scm.handlerName;
}

}  // namespace winsim
