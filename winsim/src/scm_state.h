// State of winsim's service control manager, shared by the registration calls
// and the in-process dispatcher.
#pragma once
#include <winsim/control.h>

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace winsim::detail {

struct ServiceRecord {
    winsim::ServiceConfig config;
    SERVICE_STATUS status;
    int openHandles = 0;
    std::vector<DWORD> controlsSent;  // to a service outside this process
};

struct ScHandleEntry {
    std::wstring service;  // key of the service; empty for a manager handle
    DWORD access;
};

struct ScmState {
    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::wstring, ServiceRecord> services;  // by lower-case name
    std::map<SC_HANDLE, ScHandleEntry> handles;
    uintptr_t nextHandle = 0x5C000;

    // The service this process was started for; empty when none.
    std::wstring processService;
    bool connected = false;      // a dispatcher runs for it
    bool stoppedReported = false;
    LPHANDLER_FUNCTION handler = nullptr;
    std::wstring handlerName;
    std::deque<DWORD> controls;  // waiting for the dispatcher thread
    unsigned long controlsQueued = 0;
    unsigned long controlsHandled = 0;
    unsigned long dispatchers = 0;  // started so far: a ticket is only good with its own
    std::vector<SERVICE_STATUS> reported;
};

// The state lives for the whole process, so threads that outlive a test (as
// threads of a Windows process outlive nothing but its exit) never see it destroyed.
ScmState& Scm();

// Lookups and updates; the caller holds Scm().mutex.
ServiceRecord* FindService(ScmState& scm, const std::wstring& name);
// Removes a service marked for deletion once it is stopped and no handle refers to it.
void RemoveIfDeleted(ScmState& scm, const std::wstring& key);
// Whether a service whose last status accepts `accepted` takes the control at all.
bool ControlAccepted(DWORD control, DWORD accepted);
// Hands a control to the in-process dispatcher and waits until its handler has
// returned; false when no handler is registered, the service has reported
// SERVICE_STOPPED or the control was dropped for that.
bool DeliverControl(std::unique_lock<std::mutex>& lock, DWORD control);

}  // namespace winsim::detail
