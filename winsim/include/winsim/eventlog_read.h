// Reading event logs: OpenEventLogW, ReadEventLogW, change notification, clearing.
#pragma once
#include <winsim/types.h>

// The fixed part of a record as ReadEventLogW delivers it (56 bytes). The
// variable part follows: SourceName, Computername (NUL-terminated WCHAR
// text), padding to a DWORD boundary, UserSid, the insert strings at
// StringOffset, Data, padding, and Length again. On the host WCHAR is
// wchar_t, 4 bytes, so the texts of winsim's records have 4-byte units.
typedef struct _EVENTLOGRECORD {
    DWORD Length;
    DWORD Reserved;
    DWORD RecordNumber;
    DWORD TimeGenerated;
    DWORD TimeWritten;
    DWORD EventID;
    WORD EventType;
    WORD NumStrings;
    WORD EventCategory;
    WORD ReservedFlags;
    DWORD ClosingRecordNumber;
    DWORD StringOffset;
    DWORD UserSidLength;
    DWORD UserSidOffset;
    DWORD DataLength;
    DWORD DataOffset;
} EVENTLOGRECORD, *PEVENTLOGRECORD;

#define ELF_LOG_SIGNATURE 0x654c664c

#define EVENTLOG_SEQUENTIAL_READ 0x0001
#define EVENTLOG_SEEK_READ 0x0002
#define EVENTLOG_FORWARDS_READ 0x0004
#define EVENTLOG_BACKWARDS_READ 0x0008

#ifdef __cplusplus
extern "C" {
#endif

HANDLE OpenEventLogW(LPCWSTR serverName, LPCWSTR sourceName);
BOOL CloseEventLog(HANDLE eventLog);
BOOL GetOldestEventLogRecord(HANDLE eventLog, PDWORD oldestRecord);
BOOL GetNumberOfEventLogRecords(HANDLE eventLog, PDWORD numberOfRecords);
BOOL ReadEventLogW(HANDLE eventLog, DWORD readFlags, DWORD recordOffset, LPVOID buffer, DWORD bytesToRead,
                   DWORD* bytesRead, DWORD* minBytesNeeded);
BOOL NotifyChangeEventLog(HANDLE eventLog, HANDLE event);
BOOL ClearEventLogW(HANDLE eventLog, LPCWSTR backupFileName);

#ifdef __cplusplus
}
#endif
