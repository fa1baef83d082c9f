// Message files for the rendering tests: the tests' own message DLL and the
// service's image, loaded as data files through the Windows API.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace testsupport {

// Event 4625 and the texts that pin down the formatter, in the tests' DLL.
const DWORD kFailedLogonMessage = 4625;
const DWORD kInsertsMessage = 100;   // "[%1][%2][%21][%22][%25][%99]\r\n"
const DWORD kEscapesMessage = 101;   // "a%rb%nc%%d%te%bf%.g%!h\r\n"
const DWORD kStopMessage = 102;      // "kept%0dropped\r\n"
const DWORD kPlainMessage = 103;     // "No inserts here.\r\n"
const DWORD kFormatsMessage = 104;   // "[%1!s!][%2!d!][%3!08lx!][%4!-5s!]\r\n"

std::wstring Wide(const char* text);

// The DLL's folder and file name, split at its last '/'.
std::wstring TestMessagesFolder();
std::wstring TestMessagesFileName();

// Insert strings as an event record stores them: one after another, each
// with its terminator.
std::wstring PackedStrings(const std::vector<std::wstring>& strings);

// The 21 insert strings of a failed logon of the given type from the address.
std::vector<std::wstring> FailedLogonInserts(const std::wstring& logonType, const std::wstring& address);

// FormatMessageW from a module, with an argument array when there are
// inserts; "<error N>" on failure.
std::wstring Render(HMODULE module, DWORD messageId, const std::vector<std::wstring>& inserts,
                    DWORD extraFlags = 0);

}  // namespace testsupport
