// Kernel objects for threads and events, waits and Sleep, on a clock that
// tests can run fast.
#include <winsim/control.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "internal.h"

namespace {

using winsim::detail::EndIfFromAnEarlierProcess;
using winsim::detail::FromAnEarlierProcess;
using winsim::detail::InjectedFailure;

// One thread in WaitForSingleObject; a pulse releases it by name, so that a
// thread that starts to wait after the pulse is not released by it.
struct Waiter {
    bool pulsed = false;
};

// An event; a thread is waited on through the event that its end signals.
struct Waitable {
    std::mutex mutex;
    std::condition_variable changed;
    bool signalled = false;
    bool manualReset = true;
    bool isThread = false;
    DWORD exitCode = STILL_ACTIVE;
    std::list<Waiter*> waiters;  // oldest first
};

struct ThreadsState {
    std::mutex mutex;
    std::map<HANDLE, std::shared_ptr<Waitable>> handles;
    uintptr_t nextHandle = 0x1000;
    double timeScale = 1.0;
    std::vector<DWORD> sleeps;
    bool forceWaitResult = false;  // the next wait returns forcedWaitResult at once
    DWORD forcedWaitResult = 0;
};

// Never destroyed, like Core(): threads may outlive the program's exit calls.
ThreadsState& Threads() {
    static ThreadsState& state = *new ThreadsState;
    static bool hooked = (winsim::detail::OnReset([] {
                              std::lock_guard<std::mutex> lock(state.mutex);
                              state.handles.clear();
                              state.timeScale = 1.0;
                              state.sleeps.clear();
                              state.forceWaitResult = false;
                          }),
                          true);
    (void)hooked;
    return state;
}

HANDLE AddHandle(std::shared_ptr<Waitable> object) {
    ThreadsState& threads = Threads();
    std::lock_guard<std::mutex> lock(threads.mutex);
    HANDLE handle = reinterpret_cast<HANDLE>(threads.nextHandle += 4);
    threads.handles[handle] = std::move(object);
    return handle;
}

std::shared_ptr<Waitable> Find(HANDLE handle) {
    ThreadsState& threads = Threads();
    std::lock_guard<std::mutex> lock(threads.mutex);
    auto found = threads.handles.find(handle);
    return found == threads.handles.end() ? nullptr : found->second;
}

// Fails a call for an injected failure; true when the caller must return.
bool Fails(const char* function) {
    unsigned long code = 0;
    if (!InjectedFailure(function, &code)) return false;
    SetLastError(code);
    return true;
}

// Waits on the object itself, which outlives a handle closed meanwhile.
DWORD WaitOn(Waitable& object, DWORD milliseconds) {
    std::unique_lock<std::mutex> lock(object.mutex);
    Waiter self;
    object.waiters.push_back(&self);
    auto ready = [&] { return self.pulsed || object.signalled; };
    bool released = true;
    if (milliseconds == INFINITE) {
        object.changed.wait(lock, ready);
    } else {
        released = object.changed.wait_for(lock, winsim::detail::ScaledTime(milliseconds), ready);
    }
    // A pulse has taken its waiters off the list already.
    if (!self.pulsed) object.waiters.remove(&self);
    if (!released) return WAIT_TIMEOUT;
    if (!self.pulsed && !object.manualReset && !object.isThread) object.signalled = false;
    return WAIT_OBJECT_0;
}

}  // namespace

extern "C" {

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                    LPDWORD threadId) {
    if (Fails("CreateThread")) return nullptr;
    if (flags != 0) winsim::detail::Unimplemented("CreateThread", "creation flags");
    auto object = std::make_shared<Waitable>();
    object->isThread = true;
    HANDLE handle = AddHandle(object);
    static DWORD lastId = 100;
    if (threadId) *threadId = ++lastId;
    winsim::detail::StartThread([object, start, parameter] {
        DWORD code = start(parameter);
        std::lock_guard<std::mutex> lock(object->mutex);
        object->exitCode = code;
        object->signalled = true;
        object->changed.notify_all();
    });
    return handle;
}

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode) {
    std::shared_ptr<Waitable> object = Find(thread);
    if (!object || !object->isThread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(object->mutex);
    *exitCode = object->exitCode;
    return TRUE;
}

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name) {
    if (Fails("CreateEventW")) return nullptr;
    if (name) winsim::detail::Unimplemented("CreateEventW", "named events");
    auto object = std::make_shared<Waitable>();
    object->manualReset = manualReset != FALSE;
    object->signalled = initialState != FALSE;
    return AddHandle(object);
}

static BOOL SetSignalled(const char* function, HANDLE event, bool signalled) {
    if (Fails(function)) return FALSE;
    std::shared_ptr<Waitable> object = Find(event);
    if (!object || object->isThread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(object->mutex);
    object->signalled = signalled;
    if (signalled) {
        // Journalled before a waiter can go on, so that its next steps come after.
        winsim::detail::AddToJournal(winsim::JournalEntry{"SetEvent", {}, 0, event});
        object->changed.notify_all();
    }
    return TRUE;
}

BOOL SetEvent(HANDLE event) { return SetSignalled("SetEvent", event, true); }

BOOL ResetEvent(HANDLE event) { return SetSignalled("ResetEvent", event, false); }

// The result that a test forced on the next wait, if any.
static bool ForcedWaitResult(DWORD* result) {
    std::lock_guard<std::mutex> lock(Threads().mutex);
    if (!Threads().forceWaitResult) return false;
    Threads().forceWaitResult = false;
    *result = Threads().forcedWaitResult;
    return true;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    if (Fails("WaitForSingleObject")) return WAIT_FAILED;
    std::shared_ptr<Waitable> object = Find(handle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    DWORD forced;
    if (ForcedWaitResult(&forced)) return forced;
    DWORD result = WaitOn(*object, milliseconds);
    EndIfFromAnEarlierProcess();
    return result;
}

void Sleep(DWORD milliseconds) {
    EndIfFromAnEarlierProcess();
    {
        std::lock_guard<std::mutex> lock(Threads().mutex);
        if (!FromAnEarlierProcess()) Threads().sleeps.push_back(milliseconds);
    }
    std::this_thread::sleep_for(winsim::detail::ScaledTime(milliseconds));
    EndIfFromAnEarlierProcess();
}

BOOL CloseHandle(HANDLE handle) {
    if (Fails("CloseHandle")) return FALSE;
    std::lock_guard<std::mutex> lock(Threads().mutex);
    if (!Threads().handles.erase(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

}  // extern "C"

namespace winsim::detail {

bool PulseEvent(HANDLE event) {
    std::shared_ptr<Waitable> object = Find(event);
    if (!object || object->isThread) return false;
    std::lock_guard<std::mutex> lock(object->mutex);
    // A manual-reset event releases every waiting thread, an auto-reset one
    // the longest waiting; the event is left unsignalled either way.
    size_t released = object->manualReset ? object->waiters.size() : std::min<size_t>(1, object->waiters.size());
    for (size_t i = 0; i < released; ++i) {
        object->waiters.front()->pulsed = true;
        object->waiters.pop_front();
    }
    object->signalled = false;
    object->changed.notify_all();
    return true;
}

std::chrono::microseconds ScaledTime(DWORD milliseconds) {
    double scale;
    {
        std::lock_guard<std::mutex> lock(Threads().mutex);
        scale = Threads().timeScale;
    }
    return std::chrono::microseconds(static_cast<long long>(milliseconds * 1000.0 * scale));
}

}  // namespace winsim::detail

namespace winsim {

void SetTimeScale(double scale) {
    std::lock_guard<std::mutex> lock(Threads().mutex);
    Threads().timeScale = scale;
}

std::vector<DWORD> SleepCalls() {
    std::lock_guard<std::mutex> lock(Threads().mutex);
    return Threads().sleeps;
}

void ForceNextWaitResult(DWORD result) {
    std::lock_guard<std::mutex> lock(Threads().mutex);
    Threads().forceWaitResult = true;
    Threads().forcedWaitResult = result;
}

int WaitingThreads(HANDLE object) {
    std::shared_ptr<Waitable> found = Find(object);
    if (!found) return 0;
    std::lock_guard<std::mutex> lock(found->mutex);
    return static_cast<int>(found->waiters.size());
}

bool IsManualResetEvent(HANDLE event) {
    std::shared_ptr<Waitable> found = Find(event);
    return found && !found->isThread && found->manualReset;
}

int OpenKernelHandles() {
    std::lock_guard<std::mutex> lock(Threads().mutex);
    return static_cast<int>(Threads().handles.size());
}

}  // namespace winsim
