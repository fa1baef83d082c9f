// Event sources and ReportEventW: the Application log as tests read it back.
#pragma once
#include <winsim/types.h>

#define EVENTLOG_SUCCESS 0x0000
#define EVENTLOG_ERROR_TYPE 0x0001
#define EVENTLOG_WARNING_TYPE 0x0002
#define EVENTLOG_INFORMATION_TYPE 0x0004
#define EVENTLOG_AUDIT_SUCCESS 0x0008
#define EVENTLOG_AUDIT_FAILURE 0x0010

typedef PVOID PSID;

#ifdef __cplusplus
extern "C" {
#endif

// Only the local computer (server NULL or empty). Every source writes to the
// Application log, whether or not its key is registered.
HANDLE RegisterEventSourceW(LPCWSTR server, LPCWSTR source);
BOOL ReportEventW(HANDLE eventLog, WORD type, WORD category, DWORD eventId, PSID userSid, WORD numStrings,
                  DWORD dataSize, LPCWSTR* strings, LPVOID rawData);
BOOL DeregisterEventSource(HANDLE eventLog);

#ifdef __cplusplus
}
#endif
