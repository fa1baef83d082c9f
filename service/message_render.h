// Rendering a Security-log record's message text, and reading its logon type.
#pragma once
#include <windows.h>

// Loads, as a data file, the first message file of the source's
// "EventMessageFile"; null when there is none. Sets *dwFileNumber to 1 when
// that file cannot be loaded.
HMODULE LookupMessageFile(LPCWSTR logName, LPCWSTR sourceName, int* dwFileNumber);

// Formats the message with the record's insert strings; the caller frees the
// text with LocalFree. Null on failure.
LPWSTR GetMessageString(HMODULE hResource, DWORD messageId, DWORD insertCount, LPCWSTR insertStrings);

// The number after the first "Logon Type:\t"; 0 when the field is absent.
int GetLogonTypeFromEventMessage(LPCWSTR pMessage);
