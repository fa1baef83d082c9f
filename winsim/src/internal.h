// Shared plumbing of winsim's implementation files (not part of its API).
#pragma once
#include <windows.h>
#include <winsim/control_journal.h>

#include <chrono>
#include <functional>
#include <string>

namespace winsim::detail {

// Counts the call and tells whether an injected failure applies to it; the
// failure's code goes to *code. A thread of an earlier process (see
// StartThread) stops here for good.
bool InjectedFailure(const char* function, unsigned long* code);

// Registers a function that Reset() calls to clear an area's state.
void OnReset(std::function<void()> clear);

// For calls winsim does not implement in the way asked: never a quiet success.
[[noreturn]] void Unimplemented(const char* function, const char* detail);

// Windows-style case-insensitive comparison of names (keys, values, sources).
bool EqualNoCase(const std::wstring& a, const std::wstring& b);
std::wstring LowerCase(const std::wstring& text);

// Byte-for-character conversions (U+0000..U+00FF), independent of the C locale.
std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);

// Runs a detached thread as one of the current process; each Reset starts a
// new process, and the earlier one's threads stop at their next call.
void StartThread(std::function<void()> body);
bool FromAnEarlierProcess();
void EndIfFromAnEarlierProcess();

// Appends a call to the journal that tests read with winsim::Journal(); the
// caller makes the call's effect visible to other threads only after this.
void AddToJournal(winsim::JournalEntry entry);

// PulseEvent as the system uses it for event-log notification: it releases
// the threads waiting on the event at this moment (one for an auto-reset
// event) and leaves the event unsignalled. False for an unknown handle.
bool PulseEvent(HANDLE event);

// A time-out as it passes on winsim's test clock (winsim::SetTimeScale).
std::chrono::microseconds ScaledTime(DWORD milliseconds);

// Path of the host module image (set by the program target or by a test), and
// the instance handle that stands for the program's own module.
const std::string& ModuleImagePath();
HINSTANCE MainModule();

}  // namespace winsim::detail
