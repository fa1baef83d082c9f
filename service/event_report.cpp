// Application-log records of the service, and the key of its event source.
#include "event_report.h"

#include <wchar.h>

#define EVENT_SOURCE_KEY_FORMAT L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\%s"

static void SetPathValue(HKEY key, LPCWSTR name, LPCWSTR path) {
    RegSetValueExW(key, name, 0, REG_EXPAND_SZ, (const BYTE*)path, (DWORD)((wcslen(path) + 1) * sizeof(WCHAR)));
}

static void SetDwordValue(HKEY key, LPCWSTR name, DWORD value) {
    RegSetValueExW(key, name, 0, REG_DWORD, (const BYTE*)&value, sizeof(value));
}

void RegisterEventSourceKey(void) {
    WCHAR keyPath[1024];
    wsprintfW(keyPath, EVENT_SOURCE_KEY_FORMAT, KESTROVE_EVENT_SOURCE);
    HKEY key = NULL;
    // Without a key there is nothing to write to; the record goes out all the same.
    if (RegCreateKeyW(HKEY_LOCAL_MACHINE, keyPath, &key) != ERROR_SUCCESS) return;
    WCHAR path[MAX_PATH] = {0};
    GetModuleFileNameW(NULL, path, MAX_PATH);
    SetPathValue(key, L"EventMessageFile", path);
    SetDwordValue(key, L"TypesSupported", EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE);
    SetPathValue(key, L"CategoryMessageFile", path);
    SetDwordValue(key, L"CategoryCount", 2);
    RegCloseKey(key);
}

void ReportServiceEvent(DWORD eventId, LPCWSTR* insertStrings, WORD insertCount, WORD eventType) {
    RegisterEventSourceKey();
    HANDLE source = RegisterEventSourceW(NULL, KESTROVE_EVENT_SOURCE);
    if (source == NULL) return;
    ReportEventW(source, eventType, 0, eventId, NULL, insertCount, 0, insertStrings, NULL);
    DeregisterEventSource(source);
}
