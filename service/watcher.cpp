// The Security-log watcher: the worker thread that reads each new record and
// hands failed remote logons on to the tracker.
#include "watcher.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "message_render.h"
#include "tracker.h"

static const DWORD kFailedLogonEventId = 4625;
static const int kRemoteInteractiveLogon = 10;
static const DWORD kForwardSeek = EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ;
static const DWORD kForwardSequential = EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ;
// The copy of a source name takes 254 characters and its terminator; message
// file keys are no longer than that.
static const DWORD kSourceNameUnits = 255;

// Finds the end of the NUL-terminated text at offset, which must end within
// the record's length. On success *chars is its length and *next the offset
// just after its terminator.
static bool TextEndsWithin(const BYTE* record, DWORD length, DWORD offset, DWORD* chars, DWORD* next) {
    if (offset % sizeof(WCHAR) != 0) return false;
    for (DWORD at = offset; at <= length && length - at >= sizeof(WCHAR); at += sizeof(WCHAR)) {
        if (*reinterpret_cast<const WCHAR*>(record + at) == L'\0') {
            *chars = (at - offset) / sizeof(WCHAR);
            *next = at + sizeof(WCHAR);
            return true;
        }
    }
    return false;
}

// True when SourceName, Computername and every insert string end within the
// record; *sourceChars is the length of the source name.
static bool RecordTextsAreWhole(const BYTE* record, DWORD* sourceChars) {
    const EVENTLOGRECORD* header = reinterpret_cast<const EVENTLOGRECORD*>(record);
    DWORD length = header->Length;
    DWORD chars = 0;
    DWORD next = 0;
    if (length < sizeof(EVENTLOGRECORD)) return false;
    if (!TextEndsWithin(record, length, sizeof(EVENTLOGRECORD), sourceChars, &next)) return false;
    if (!TextEndsWithin(record, length, next, &chars, &next)) return false;
    if (header->StringOffset > length || header->StringOffset % sizeof(WCHAR) != 0) return false;
    next = header->StringOffset;
    for (WORD i = 0; i < header->NumStrings; ++i) {
        if (!TextEndsWithin(record, length, next, &chars, &next)) return false;
    }
    return true;
}

// Renders the record's message and hands a remote logon's text to the tracker;
// the module and the text are released before it returns.
static void RenderAndTrack(const BYTE* record, LPCWSTR logName, LPCWSTR sourceName) {
    const EVENTLOGRECORD* header = reinterpret_cast<const EVENTLOGRECORD*>(record);
    int dwFileNumber = 35;
    HMODULE module = LookupMessageFile(logName, sourceName, &dwFileNumber);
    if (!module) printf("LookupMessageFile() returned a NULL handle for the resource file.\r\n");
    printf("dwFileNumber = %d\r\n", dwFileNumber);
    LPWSTR text = GetMessageString(module, header->EventID, header->NumStrings,
                                   reinterpret_cast<LPCWSTR>(record + header->StringOffset));
    if (text) {
        if (GetLogonTypeFromEventMessage(text) == kRemoteInteractiveLogon) KestroveProcessEventMessage(text);
        LocalFree(text);
    }
    if (module) FreeLibrary(module);
}

static void HandleFailedLogon(const BYTE* record, LPCWSTR logName) {
    const EVENTLOGRECORD* header = reinterpret_cast<const EVENTLOGRECORD*>(record);
    DWORD sourceChars = 0;
    if (!RecordTextsAreWhole(record, &sourceChars)) {
        printf("Record %lu skipped: its texts do not end within the record.\n",
               static_cast<unsigned long>(header->RecordNumber));
        return;
    }
    if (sourceChars >= kSourceNameUnits) {
        printf("Record %lu skipped: its source name is too long for a message file key.\n",
               static_cast<unsigned long>(header->RecordNumber));
        return;
    }
    WCHAR sourceName[kSourceNameUnits];
    memset(sourceName, 0, sizeof(sourceName));
    memcpy(sourceName, record + sizeof(EVENTLOGRECORD), (sourceChars + 1) * sizeof(WCHAR));
    LPCWSTR computerName = reinterpret_cast<LPCWSTR>(record + sizeof(EVENTLOGRECORD)) + wcslen(sourceName) + 1;
    printf("record number: %lu\n", static_cast<unsigned long>(header->RecordNumber));
    printf("ComputerName: %ls\r\n", computerName);
    RenderAndTrack(record, logName, sourceName);
}

static void HandleRecord(const BYTE* record, LPCWSTR logName) {
    printf("\r\n--------------------------------------------------------------------------------\r\n");
    if (reinterpret_cast<const EVENTLOGRECORD*>(record)->EventID == kFailedLogonEventId) {
        HandleFailedLogon(record, logName);
    }
}

DWORD GetLastRecordNumber(HANDLE eventLog, DWORD* newest) {
    DWORD oldest = 0;
    DWORD count = 0;
    if (!GetOldestEventLogRecord(eventLog, &oldest) || !GetNumberOfEventLogRecords(eventLog, &count)) {
        DWORD status = GetLastError();
        printf("GetOldestEventLogRecord failed with %lu.\n", static_cast<unsigned long>(status));
        return status;
    }
    *newest = oldest + count - 1;
    return 0;
}

// Sizes reported by the platform are checked, so nothing is ever read past a record.
static bool HoldsWholeRecord(const BYTE* buffer, DWORD bytesRead) {
    if (bytesRead < sizeof(EVENTLOGRECORD)) return false;
    DWORD length = reinterpret_cast<const EVENTLOGRECORD*>(buffer)->Length;
    return length >= sizeof(EVENTLOGRECORD) && length <= bytesRead;
}

// Second try of a read, into a buffer grown to the size of the next record.
static DWORD ReadIntoGrownBuffer(HANDLE eventLog, PBYTE* record, DWORD recordNumber, DWORD readFlags,
                                 DWORD bytesNeeded) {
    PBYTE grown = static_cast<PBYTE>(realloc(*record, bytesNeeded));
    if (!grown) {
        printf("Failed to reallocate memory for the record buffer (%d bytes).\n", static_cast<int>(bytesNeeded));
        return ERROR_INSUFFICIENT_BUFFER;
    }
    *record = grown;
    DWORD bytesRead = 0;
    DWORD status = ERROR_INVALID_DATA;
    if (!ReadEventLogW(eventLog, readFlags, recordNumber, grown, bytesNeeded, &bytesRead, &bytesNeeded)) {
        status = GetLastError();
    } else if (HoldsWholeRecord(grown, bytesRead)) {
        return 0;
    }
    printf("Second ReadEventLog failed with %lu.\n", static_cast<unsigned long>(status));
    return status;
}

DWORD ReadRecord(HANDLE eventLog, PBYTE* record, DWORD recordNumber, DWORD readFlags) {
    *record = static_cast<PBYTE>(malloc(sizeof(EVENTLOGRECORD)));
    if (!*record) return ERROR_NOT_ENOUGH_MEMORY;
    DWORD bytesRead = 0;
    DWORD bytesNeeded = 0;
    DWORD status = ERROR_INVALID_DATA;
    if (ReadEventLogW(eventLog, readFlags, recordNumber, *record, sizeof(EVENTLOGRECORD), &bytesRead,
                      &bytesNeeded)) {
        if (HoldsWholeRecord(*record, bytesRead)) return 0;
    } else {
        status = GetLastError();
        if (status == ERROR_INSUFFICIENT_BUFFER && bytesNeeded > sizeof(EVENTLOGRECORD)) {
            return ReadIntoGrownBuffer(eventLog, record, recordNumber, readFlags, bytesNeeded);
        }
        if (status == ERROR_INSUFFICIENT_BUFFER) status = ERROR_INVALID_DATA;
    }
    if (status != ERROR_HANDLE_EOF) printf("ReadEventLog failed with %lu.\n", static_cast<unsigned long>(status));
    return status;
}

DWORD SeekToLastRecord(HANDLE eventLog) {
    DWORD newest = 0;
    DWORD status = GetLastRecordNumber(eventLog, &newest);
    if (status != 0) {
        printf("GetLastRecordNumber failed.\n");
        return status;
    }
    PBYTE record = NULL;
    status = ReadRecord(eventLog, &record, newest, kForwardSeek);
    if (status != 0) printf("ReadRecord failed seeking to record %lu.\n", static_cast<unsigned long>(newest));
    free(record);
    return status;
}

DWORD DumpNewRecords(HANDLE eventLog, LPCWSTR logName) {
    PBYTE record = NULL;
    DWORD status = ReadRecord(eventLog, &record, 0, kForwardSequential);
    if (status != 0 && status != ERROR_HANDLE_EOF) {
        printf("ReadRecord (priming read) failed.\n");
    } else {
        while (status == 0) {
            HandleRecord(record, logName);
            free(record);
            record = NULL;
            status = ReadRecord(eventLog, &record, 0, kForwardSequential);
        }
        if (status != ERROR_HANDLE_EOF) printf("ReadRecord sequential failed.\n");
    }
    free(record);
    return status == ERROR_HANDLE_EOF ? 0 : status;
}

// Places the read position after the newest record and asks for a signal on
// every write; false (after its line) when either fails.
static bool StartWatching(HANDLE eventLog, HANDLE event) {
    DWORD status = SeekToLastRecord(eventLog);
    if (status != 0) {
        printf("SeekToLastRecord failed with %lu.\n", static_cast<unsigned long>(status));
        return false;
    }
    if (!NotifyChangeEventLog(eventLog, event)) {
        printf("NotifyChangeEventLog failed with %lu.\n", static_cast<unsigned long>(GetLastError()));
        return false;
    }
    return true;
}

// Dumps the new records at each signal until a wait or a dump fails.
static void WatchForRecords(HANDLE eventLog, HANDLE event, LPCWSTR logName) {
    printf("Waiting for notification of new events (press any key to quit)...;;;;;;\n\n");
    for (;;) {
        DWORD wait = WaitForSingleObject(event, INFINITE);
        if (wait == WAIT_FAILED) {
            printf("WaitForSingleObject failed with %lu\n", static_cast<unsigned long>(GetLastError()));
            return;
        }
        if (wait != WAIT_OBJECT_0) return;
        if (DumpNewRecords(eventLog, logName) != 0) {
            printf("DumpNewRecords failed.\n");
            return;
        }
        printf("\nWaiting for notification of new events (press any key to quit)...~~~~~~~~~~~~~~~~\n");
        ResetEvent(event);
    }
}

DWORD WINAPI WorkerThread(LPVOID parameter) {
    LPCWSTR logName = static_cast<LPCWSTR>(parameter);
    printf("In thread...data in: %ls\r\n", logName);
    HANDLE eventLog = NULL;
    HANDLE event = CreateEventW(NULL, TRUE, FALSE, NULL);
    if (!event) {
        printf("CreateEvent failed with %lu.\n", static_cast<unsigned long>(GetLastError()));
    } else {
        eventLog = OpenEventLogW(NULL, logName);
        if (!eventLog) {
            printf("OpenEventLog failed with 0x%x.\n", static_cast<unsigned int>(GetLastError()));
        } else if (StartWatching(eventLog, event)) {
            WatchForRecords(eventLog, event, logName);
        }
    }
    if (eventLog) CloseEventLog(eventLog);
    if (event) CloseHandle(event);
    printf("\r\nExiting WorkerThread()...\r\n");
    return 0;
}
