// Service registrations: the manager and service handles, creation, the
// description, status queries, controls and deletion.
#include <winsim/control.h>

#include "internal.h"
#include "scm_state.h"

namespace winsim::detail {

ScmState& Scm() {
    static ScmState& state = *new ScmState;
    static bool hooked = (OnReset([] {
                              std::lock_guard<std::mutex> lock(state.mutex);
                              state.services.clear();
                              state.handles.clear();
                              state.processService.clear();
                              state.connected = false;
                              state.stoppedReported = false;
                              state.handler = nullptr;
                              state.handlerName.clear();
                              state.controls.clear();
                              state.reported.clear();
                          }),
                          true);
    (void)hooked;
    return state;
}

ServiceRecord* FindService(ScmState& scm, const std::wstring& name) {
    auto found = scm.services.find(LowerCase(name));
    return found == scm.services.end() ? nullptr : &found->second;
}

void RemoveIfDeleted(ScmState& scm, const std::wstring& key) {
    auto found = scm.services.find(key);
    if (found == scm.services.end()) return;
    const ServiceRecord& record = found->second;
    if (record.config.markedForDelete && record.openHandles == 0 && record.status.dwCurrentState == SERVICE_STOPPED) {
        scm.services.erase(found);
    }
}

bool ControlAccepted(DWORD control, DWORD accepted) {
    switch (control) {
    case SERVICE_CONTROL_INTERROGATE:
        return true;  // every service takes it
    case SERVICE_CONTROL_STOP:
        return accepted & SERVICE_ACCEPT_STOP;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
        return accepted & SERVICE_ACCEPT_PAUSE_CONTINUE;
    case SERVICE_CONTROL_SHUTDOWN:
        return accepted & SERVICE_ACCEPT_SHUTDOWN;
    case SERVICE_CONTROL_PARAMCHANGE:
        return accepted & SERVICE_ACCEPT_PARAMCHANGE;
    case SERVICE_CONTROL_NETBINDADD:
    case SERVICE_CONTROL_NETBINDREMOVE:
    case SERVICE_CONTROL_NETBINDENABLE:
    case SERVICE_CONTROL_NETBINDDISABLE:
        return accepted & SERVICE_ACCEPT_NETBINDCHANGE;
    case SERVICE_CONTROL_PRESHUTDOWN:
        return accepted & SERVICE_ACCEPT_PRESHUTDOWN;
    default:
        // User-defined codes need no flag; the other system codes reach only
        // a HandlerEx, which winsim does not register.
        return control >= 128 && control <= 255;
    }
}

}  // namespace winsim::detail

namespace {

using namespace winsim::detail;

constexpr DWORD kGenericRights = 0xF0000000u;

bool Fails(const char* function) {
    unsigned long code = 0;
    if (!InjectedFailure(function, &code)) return false;
    SetLastError(code);
    return true;
}

template <typename T>
T FailWith(DWORD error, T result) {
    SetLastError(error);
    return result;
}

SC_HANDLE AddHandle(ScmState& scm, const std::wstring& service, DWORD access) {
    SC_HANDLE handle = reinterpret_cast<SC_HANDLE>(scm.nextHandle += 4);
    scm.handles[handle] = ScHandleEntry{service, access};
    if (!service.empty()) ++scm.services[service].openHandles;
    return handle;
}

ScHandleEntry* FindHandle(ScmState& scm, SC_HANDLE handle) {
    auto found = scm.handles.find(handle);
    return found == scm.handles.end() ? nullptr : &found->second;
}

// The service behind a service handle that holds `right`; null with the last error set otherwise.
ServiceRecord* ServiceWithRight(ScmState& scm, SC_HANDLE handle, DWORD right) {
    ScHandleEntry* entry = FindHandle(scm, handle);
    if (!entry || entry->service.empty()) return FailWith<ServiceRecord*>(ERROR_INVALID_HANDLE, nullptr);
    if ((entry->access & right) != right) return FailWith<ServiceRecord*>(ERROR_ACCESS_DENIED, nullptr);
    return &scm.services[entry->service];
}

ScHandleEntry* ManagerHandle(ScmState& scm, SC_HANDLE handle) {
    ScHandleEntry* entry = FindHandle(scm, handle);
    if (!entry || !entry->service.empty()) return FailWith<ScHandleEntry*>(ERROR_INVALID_HANDLE, nullptr);
    return entry;
}

bool ValidServiceName(LPCWSTR name) {
    if (!name) return false;
    std::wstring text(name);
    return !text.empty() && text.size() <= 256 && text.find_first_of(L"/\\") == std::wstring::npos;
}

bool Empty(LPCWSTR text) { return !text || !*text; }

void CheckSupportedRegistration(DWORD serviceType, LPCWSTR loadOrderGroup, LPDWORD tagId, LPCWSTR dependencies,
                                LPCWSTR account, LPCWSTR password) {
    if (serviceType != SERVICE_WIN32_OWN_PROCESS && serviceType != SERVICE_WIN32_SHARE_PROCESS) {
        Unimplemented("CreateServiceW", "service types other than own and share process");
    }
    if (!Empty(loadOrderGroup) || tagId || !Empty(dependencies)) {
        Unimplemented("CreateServiceW", "load order groups, tags and dependencies");
    }
    if (!Empty(account) || !Empty(password)) Unimplemented("CreateServiceW", "accounts other than LocalSystem");
}

// Another service that already uses the display name as its name or display name.
bool DisplayNameTaken(ScmState& scm, const std::wstring& displayName) {
    for (const auto& [key, record] : scm.services) {
        if (EqualNoCase(record.config.name, displayName) || EqualNoCase(record.config.displayName, displayName)) {
            return true;
        }
    }
    return false;
}

// The right a caller needs to send a control; 0 for codes that only the
// service control manager itself sends.
DWORD RightForControl(DWORD control) {
    if (control == SERVICE_CONTROL_STOP) return SERVICE_STOP;
    if (control == SERVICE_CONTROL_INTERROGATE) return SERVICE_INTERROGATE;
    if (control == SERVICE_CONTROL_PAUSE || control == SERVICE_CONTROL_CONTINUE ||
        (control >= SERVICE_CONTROL_PARAMCHANGE && control <= SERVICE_CONTROL_NETBINDDISABLE)) {
        return SERVICE_PAUSE_CONTINUE;
    }
    if (control >= 128 && control <= 255) return SERVICE_USER_DEFINED_CONTROL;
    return 0;
}

// Why a control cannot reach the service in its current state; 0 when it can.
DWORD ControlRefusal(DWORD control, const SERVICE_STATUS& status) {
    DWORD state = status.dwCurrentState;
    if (state == SERVICE_STOPPED) return ERROR_SERVICE_NOT_ACTIVE;
    if (state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING) return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    if (!ControlAccepted(control, status.dwControlsAccepted)) return ERROR_INVALID_SERVICE_CONTROL;
    return 0;
}

}  // namespace

extern "C" {

SC_HANDLE OpenSCManagerW(LPCWSTR machineName, LPCWSTR databaseName, DWORD desiredAccess) {
    if (Fails("OpenSCManagerW")) return nullptr;
    if (!Empty(machineName)) Unimplemented("OpenSCManagerW", "remote computers");
    if (databaseName && std::wstring(databaseName) != SERVICES_ACTIVE_DATABASEW) {
        Unimplemented("OpenSCManagerW", "databases other than the active one");
    }
    if (desiredAccess & kGenericRights) Unimplemented("OpenSCManagerW", "generic access rights");
    ScmState& scm = Scm();
    std::lock_guard<std::mutex> lock(scm.mutex);
    // Connect is implied by every manager handle.
    return AddHandle(scm, L"", desiredAccess | SC_MANAGER_CONNECT);
}

SC_HANDLE OpenServiceW(SC_HANDLE manager, LPCWSTR serviceName, DWORD desiredAccess) {
    if (Fails("OpenServiceW")) return nullptr;
    if (desiredAccess & kGenericRights) Unimplemented("OpenServiceW", "generic access rights");
    ScmState& scm = Scm();
    std::lock_guard<std::mutex> lock(scm.mutex);
    if (!ManagerHandle(scm, manager)) return nullptr;
    if (!serviceName) return FailWith<SC_HANDLE>(ERROR_INVALID_NAME, nullptr);
    if (!FindService(scm, serviceName)) return FailWith<SC_HANDLE>(ERROR_SERVICE_DOES_NOT_EXIST, nullptr);
    return AddHandle(scm, LowerCase(serviceName), desiredAccess);
}

SC_HANDLE CreateServiceW(SC_HANDLE manager, LPCWSTR serviceName, LPCWSTR displayName, DWORD desiredAccess,
                         DWORD serviceType, DWORD startType, DWORD errorControl, LPCWSTR binaryPathName,
                         LPCWSTR loadOrderGroup, LPDWORD tagId, LPCWSTR dependencies, LPCWSTR serviceStartName,
                         LPCWSTR password) {
    if (Fails("CreateServiceW")) return nullptr;
    if (desiredAccess & kGenericRights) Unimplemented("CreateServiceW", "generic access rights");
    ScmState& scm = Scm();
    std::lock_guard<std::mutex> lock(scm.mutex);
    ScHandleEntry* managerEntry = ManagerHandle(scm, manager);
    if (!managerEntry) return nullptr;
    if (!(managerEntry->access & SC_MANAGER_CREATE_SERVICE)) return FailWith<SC_HANDLE>(ERROR_ACCESS_DENIED, nullptr);
    if (!ValidServiceName(serviceName)) return FailWith<SC_HANDLE>(ERROR_INVALID_NAME, nullptr);
    CheckSupportedRegistration(serviceType, loadOrderGroup, tagId, dependencies, serviceStartName, password);
    if (startType < SERVICE_AUTO_START || startType > SERVICE_DISABLED || errorControl > SERVICE_ERROR_CRITICAL ||
        Empty(binaryPathName)) {
        return FailWith<SC_HANDLE>(ERROR_INVALID_PARAMETER, nullptr);
    }
    if (ServiceRecord* existing = FindService(scm, serviceName)) {
        DWORD error = existing->config.markedForDelete ? ERROR_SERVICE_MARKED_FOR_DELETE : ERROR_SERVICE_EXISTS;
        return FailWith<SC_HANDLE>(error, nullptr);
    }
    std::wstring shownName = Empty(displayName) ? serviceName : displayName;
    if (DisplayNameTaken(scm, shownName)) return FailWith<SC_HANDLE>(ERROR_DUPLICATE_SERVICE_NAME, nullptr);

    std::wstring key = LowerCase(serviceName);
    ServiceRecord& record = scm.services[key];
    record.config = winsim::ServiceConfig{serviceName, shownName,      serviceType, startType, errorControl,
                                          binaryPathName, L"LocalSystem", L"",         false};
    record.status = SERVICE_STATUS{serviceType, SERVICE_STOPPED, 0, 0, 0, 0, 0};
    return AddHandle(scm, key, desiredAccess);
}

BOOL ChangeServiceConfig2W(SC_HANDLE service, DWORD infoLevel, LPVOID info) {
    if (Fails("ChangeServiceConfig2W")) return FALSE;
    if (infoLevel != SERVICE_CONFIG_DESCRIPTION) Unimplemented("ChangeServiceConfig2W", "levels but the description");
    ScmState& scm = Scm();
    std::lock_guard<std::mutex> lock(scm.mutex);
    ServiceRecord* record = ServiceWithRight(scm, service, SERVICE_CHANGE_CONFIG);
    if (!record) return FALSE;
    if (!info) return FailWith<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
    if (record->config.markedForDelete) return FailWith<BOOL>(ERROR_SERVICE_MARKED_FOR_DELETE, FALSE);
    // A null text leaves the description as it is; an empty one removes it.
    LPCWSTR text = static_cast<SERVICE_DESCRIPTIONW*>(info)->lpDescription;
    if (text) record->config.description = text;
    return TRUE;
}

BOOL QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status) {
    if (Fails("QueryServiceStatus")) return FALSE;
    ScmState& scm = Scm();
    std::lock_guard<std::mutex> lock(scm.mutex);
    ServiceRecord* record = ServiceWithRight(scm, service, SERVICE_QUERY_STATUS);
    if (!record) return FALSE;
    if (!status) return FailWith<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
    *status = record->status;
    return TRUE;
}

BOOL ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) {
    if (Fails("ControlService")) return FALSE;
    DWORD right = RightForControl(control);
    if (right == 0 || !status) return FailWith<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
    ScmState& scm = Scm();
    std::unique_lock<std::mutex> lock(scm.mutex);
    ServiceRecord* record = ServiceWithRight(scm, service, right);
    if (!record) return FALSE;
    const std::wstring key = LowerCase(record->config.name);
    // The status is handed back with the refusals that concern the service's state, too.
    if (DWORD refusal = ControlRefusal(control, record->status)) {
        *status = record->status;
        return FailWith<BOOL>(refusal, FALSE);
    }
    if (key != scm.processService) {
        record->controlsSent.push_back(control);
    } else if (!DeliverControl(lock, control)) {
        *status = scm.services[key].status;
        return FailWith<BOOL>(ERROR_SERVICE_CANNOT_ACCEPT_CTRL, FALSE);
    }
    *status = scm.services[key].status;
    return TRUE;
}

BOOL DeleteService(SC_HANDLE service) {
    if (Fails("DeleteService")) return FALSE;
    ScmState& scm = Scm();
    std::lock_guard<std::mutex> lock(scm.mutex);
    ServiceRecord* record = ServiceWithRight(scm, service, DELETE);
    if (!record) return FALSE;
    if (record->config.markedForDelete) return FailWith<BOOL>(ERROR_SERVICE_MARKED_FOR_DELETE, FALSE);
    record->config.markedForDelete = true;
    record->config.startType = SERVICE_DISABLED;
    return TRUE;
}

BOOL CloseServiceHandle(SC_HANDLE handle) {
    if (Fails("CloseServiceHandle")) return FALSE;
    ScmState& scm = Scm();
    std::lock_guard<std::mutex> lock(scm.mutex);
    auto found = scm.handles.find(handle);
    if (found == scm.handles.end()) return FailWith<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    std::wstring key = found->second.service;
    scm.handles.erase(found);
    if (!key.empty()) {
        --scm.services[key].openHandles;
        RemoveIfDeleted(scm, key);
    }
    return TRUE;
}

}  // extern "C"

namespace winsim {

bool GetServiceConfig(const std::wstring& name, ServiceConfig* config) {
    ScmState& scm = Scm();
    std::lock_guard<std::mutex> lock(scm.mutex);
    ServiceRecord* record = FindService(scm, name);
    if (!record) return false;
    *config = record->config;
    return true;
}

int OpenServiceHandles() {
    ScmState& scm = Scm();
    std::lock_guard<std::mutex> lock(scm.mutex);
    return static_cast<int>(scm.handles.size());
}

bool SetServiceState(const std::wstring& name, DWORD state) {
    ScmState& scm = Scm();
    std::lock_guard<std::mutex> lock(scm.mutex);
    ServiceRecord* record = FindService(scm, name);
    if (!record || LowerCase(name) == scm.processService) return false;
    record->status.dwCurrentState = state;
    record->status.dwControlsAccepted = state == SERVICE_STOPPED ? 0 : SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
    RemoveIfDeleted(scm, LowerCase(name));
    return true;
}

std::vector<DWORD> ControlsSent(const std::wstring& name) {
    ScmState& scm = Scm();
    std::lock_guard<std::mutex> lock(scm.mutex);
    ServiceRecord* record = FindService(scm, name);
    return record ? record->controlsSent : std::vector<DWORD>();
}

}  // namespace winsim
