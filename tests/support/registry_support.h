// Registry set-up for tests, through the Windows API only (runs under Wine too).
#pragma once
#include <windows.h>

#include <string>

namespace testsupport {

// Removes HKLM\Software\Mirdal Software with everything below it.
void ClearSettingsKeys();
// Creates the key (with missing parents) and writes a REG_SZ value whose data
// is the text and its terminator.
void SetRegistryString(const wchar_t* key, const wchar_t* name, const std::wstring& text);
void SetRegistryDword(const wchar_t* key, const wchar_t* name, DWORD value);
// Creates the key without values.
void CreateRegistryKey(const wchar_t* key);
// Text of a value read through RegQueryValueExW; empty when missing.
std::wstring GetRegistryString(const wchar_t* key, const wchar_t* name);
bool RegistryValueExists(const wchar_t* key, const wchar_t* name);

}  // namespace testsupport
