// Test controls of winsim: reset its state, inject failures, inspect what the
// programs did. Program code never includes this header.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace winsim {

// Clears every area's state (registry, logs, recorded calls, injected failures).
void Reset();

// Makes the nth call (counted from now, 1 = the next one) of the named API
// function fail with the given error (a Win32 code, or an HRESULT for COM
// calls); persistent keeps it failing from then on.
void FailCall(const char* function, unsigned long error, int nth = 1, bool persistent = false);

// Number of times the named API function has been called since the last Reset.
int CallCount(const char* function);

// The settings error and other session messages sent with WTSSendMessageW.
struct WtsMessage {
    HANDLE server;
    DWORD sessionId;
    std::wstring title;
    DWORD titleLength;
    std::wstring message;
    DWORD messageLength;
    DWORD style;
    DWORD timeout;
    BOOL wait;
};
const std::vector<WtsMessage>& WtsMessages();

// Registry helpers for tests: whole paths such as L"HKLM\\Software\\...".
bool RegistryKeyExists(const std::wstring& path);
struct RegistryValue {
    DWORD type;
    std::vector<BYTE> data;
};
// False when the key or the value is missing.
bool RegistryGetValue(const std::wstring& path, const std::wstring& name, RegistryValue* value);
std::vector<std::wstring> RegistryValueNames(const std::wstring& path);
// Text of a REG_SZ/REG_EXPAND_SZ value up to its first NUL.
std::wstring RegistryGetString(const std::wstring& path, const std::wstring& name);
// Registry handles opened or created and not yet closed.
int RegistryOpenHandles();

// The host process's command line and module image (a PE file with the
// program's resources) as GetModuleFileNameW(NULL) and the resource calls see it.
void SetModuleImage(const std::string& path);

}  // namespace winsim

#include <winsim/control_areas.h>
