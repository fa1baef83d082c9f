// The event logs that Wine only stubs: the Security log the watcher reads, as
// ReadEventLogW and its companions answer on Windows, and a record of what
// goes to the Application log before Wine's own ReportEventW takes it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>

#include "windows_doubles.h"

namespace {

const DWORD kFixedPart = sizeof(EVENTLOGRECORD);
const DWORD kMaxReadBuffer = 0x7FFFF;  // ReadEventLogW's largest buffer

struct Reader {
    DWORD next = 0;  // the record a forward sequential read takes; 0: the oldest
    HANDLE notify = nullptr;
};

struct EventLogs {
    std::mutex mutex;
    std::vector<std::string> complaints;
    std::vector<std::vector<BYTE>> records;  // numbered from 1: this log never overwrites
    std::map<HANDLE, Reader> readers;
    uintptr_t nextHandle = 0x5EC00000;
    DWORD failReads = 0;
    std::vector<doubles::ReadCall> reads;
    std::map<HANDLE, std::wstring> sources;
    std::vector<doubles::ReportedEvent> application;
};

EventLogs& Logs() {
    static EventLogs& logs = *new EventLogs;  // never destroyed: the worker may outlive main
    return logs;
}

// A refusal of the double's own: SetLastError(error), noted for the test.
BOOL Refuse(EventLogs& logs, DWORD error, const char* what) {
    logs.complaints.push_back(what);
    SetLastError(error);
    return FALSE;
}

Reader* FindReader(EventLogs& logs, HANDLE handle) {
    auto found = logs.readers.find(handle);
    return found == logs.readers.end() ? nullptr : &found->second;
}

bool Holds(const EventLogs& logs, DWORD number) { return number - 1 < logs.records.size(); }

const std::vector<BYTE>& Record(const EventLogs& logs, DWORD number) { return logs.records[number - 1]; }

HANDLE WINAPI OpenLog(LPCWSTR server, LPCWSTR source) {
    EventLogs& logs = Logs();
    std::lock_guard<std::mutex> lock(logs.mutex);
    if ((server && *server) || !source || lstrcmpiW(source, L"Security") != 0) {
        Refuse(logs, ERROR_NOT_SUPPORTED, "OpenEventLogW: only the local Security log is held here");
        return nullptr;
    }
    HANDLE handle = reinterpret_cast<HANDLE>(logs.nextHandle += 4);
    logs.readers[handle];
    return handle;
}

BOOL WINAPI CloseLog(HANDLE log) {
    EventLogs& logs = Logs();
    std::lock_guard<std::mutex> lock(logs.mutex);
    if (!logs.readers.erase(log)) return Refuse(logs, ERROR_INVALID_HANDLE, "CloseEventLog: unknown handle");
    return TRUE;
}

BOOL WINAPI OldestRecord(HANDLE log, PDWORD oldest) {
    EventLogs& logs = Logs();
    std::lock_guard<std::mutex> lock(logs.mutex);
    if (!FindReader(logs, log)) return Refuse(logs, ERROR_INVALID_HANDLE, "GetOldestEventLogRecord: unknown handle");
    *oldest = logs.records.empty() ? 0 : 1;
    return TRUE;
}

BOOL WINAPI RecordCount(HANDLE log, PDWORD count) {
    EventLogs& logs = Logs();
    std::lock_guard<std::mutex> lock(logs.mutex);
    if (!FindReader(logs, log)) return Refuse(logs, ERROR_INVALID_HANDLE, "GetNumberOfEventLogRecords: unknown handle");
    *count = static_cast<DWORD>(logs.records.size());
    return TRUE;
}

BOOL WINAPI NotifyChange(HANDLE log, HANDLE event) {
    EventLogs& logs = Logs();
    std::lock_guard<std::mutex> lock(logs.mutex);
    Reader* reader = FindReader(logs, log);
    if (!reader || !event) return Refuse(logs, ERROR_INVALID_HANDLE, "NotifyChangeEventLog: unknown handle");
    reader->notify = event;
    return TRUE;
}

// Whole records from the number on, as many as fit; the record that does not
// fit an empty buffer tells its size.
BOOL ReadFrom(EventLogs& logs, Reader& reader, DWORD number, BYTE* buffer, DWORD size, doubles::ReadCall& call) {
    if (!Holds(logs, number)) {
        SetLastError(ERROR_HANDLE_EOF);
        return FALSE;
    }
    for (; Holds(logs, number) && Record(logs, number).size() <= size - call.bytesRead; ++number) {
        const std::vector<BYTE>& record = Record(logs, number);
        std::memcpy(buffer + call.bytesRead, record.data(), record.size());
        call.bytesRead += static_cast<DWORD>(record.size());
    }
    if (call.bytesRead == 0) {
        call.bytesNeeded = static_cast<DWORD>(Record(logs, number).size());
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    reader.next = number;
    call.lastRecord = number - 1;
    return TRUE;
}

BOOL Read(EventLogs& logs, HANDLE log, DWORD flags, DWORD offset, LPVOID buffer, doubles::ReadCall& call) {
    Reader* reader = FindReader(logs, log);
    if (!reader) return Refuse(logs, ERROR_INVALID_HANDLE, "ReadEventLogW: unknown handle");
    bool seek = flags & EVENTLOG_SEEK_READ;
    bool forwards = flags & EVENTLOG_FORWARDS_READ;
    if (seek == bool(flags & EVENTLOG_SEQUENTIAL_READ) || forwards == bool(flags & EVENTLOG_BACKWARDS_READ) ||
        (flags & ~0xFu) || !buffer || call.bytesToRead > kMaxReadBuffer) {
        return Refuse(logs, ERROR_INVALID_PARAMETER, "ReadEventLogW: flags or buffer Windows refuses");
    }
    if (!forwards) return Refuse(logs, ERROR_NOT_SUPPORTED, "ReadEventLogW: backward reads are not held here");
    if (logs.failReads) {
        SetLastError(logs.failReads);
        return FALSE;
    }
    if (seek && !Holds(logs, offset)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // The first sequential read starts at the oldest record.
    DWORD number = seek ? offset : (reader->next ? reader->next : 1);
    return ReadFrom(logs, *reader, number, static_cast<BYTE*>(buffer), call.bytesToRead, call);
}

BOOL WINAPI ReadLog(HANDLE log, DWORD flags, DWORD offset, LPVOID buffer, DWORD size, DWORD* bytesRead,
                    DWORD* bytesNeeded) {
    EventLogs& logs = Logs();
    std::lock_guard<std::mutex> lock(logs.mutex);
    if (!bytesRead || !bytesNeeded) return Refuse(logs, RPC_X_NULL_REF_POINTER, "ReadEventLogW: null counts");
    doubles::ReadCall call = {flags, offset, size, FALSE, 0, 0, 0, 0};
    call.result = Read(logs, log, flags, offset, buffer, call);
    call.error = call.result ? 0 : GetLastError();
    *bytesRead = call.bytesRead;
    *bytesNeeded = call.bytesNeeded;
    logs.reads.push_back(call);
    SetLastError(call.error);
    return call.result;
}

// ---- the Application log ----

// Wine's own function of that name.
template <class Function>
Function WineAdvapi32(const char* name) {
    FARPROC function = GetProcAddress(GetModuleHandleW(L"advapi32.dll"), name);
    return reinterpret_cast<Function>(reinterpret_cast<void*>(function));
}

HANDLE WINAPI RegisterSource(LPCWSTR server, LPCWSTR source) {
    HANDLE handle = WineAdvapi32<decltype(&::RegisterEventSourceW)>("RegisterEventSourceW")(server, source);
    EventLogs& logs = Logs();
    std::lock_guard<std::mutex> lock(logs.mutex);
    if (handle) logs.sources[handle] = source ? source : L"";
    return handle;
}

BOOL WINAPI DeregisterSource(HANDLE source) {
    {
        EventLogs& logs = Logs();
        std::lock_guard<std::mutex> lock(logs.mutex);
        if (!logs.sources.erase(source)) {
            return Refuse(logs, ERROR_INVALID_HANDLE, "DeregisterEventSource: unknown handle");
        }
    }
    return WineAdvapi32<decltype(&::DeregisterEventSource)>("DeregisterEventSource")(source);
}

bool KnownEventType(WORD type) {
    for (WORD known : {EVENTLOG_SUCCESS, EVENTLOG_ERROR_TYPE, EVENTLOG_WARNING_TYPE, EVENTLOG_INFORMATION_TYPE,
                       EVENTLOG_AUDIT_SUCCESS, EVENTLOG_AUDIT_FAILURE}) {
        if (type == known) return true;
    }
    return false;
}

BOOL WINAPI Report(HANDLE source, WORD type, WORD category, DWORD eventId, PSID user, WORD count,
                        DWORD dataSize, LPCWSTR* strings, LPVOID data) {
    {
        EventLogs& logs = Logs();
        std::lock_guard<std::mutex> lock(logs.mutex);
        auto found = logs.sources.find(source);
        if (found == logs.sources.end()) return Refuse(logs, ERROR_INVALID_HANDLE, "ReportEventW: unknown handle");
        if (!KnownEventType(type) || (count && !strings) || (dataSize && !data)) {
            return Refuse(logs, ERROR_INVALID_PARAMETER, "ReportEventW: arguments Windows refuses");
        }
        doubles::ReportedEvent event = {found->second, type, category, eventId, {}};
        for (WORD i = 0; i < count; ++i) {
            if (!strings[i]) return Refuse(logs, ERROR_INVALID_PARAMETER, "ReportEventW: a null insert string");
            event.strings.push_back(strings[i]);
        }
        logs.application.push_back(event);
    }
    return WineAdvapi32<decltype(&::ReportEventW)>("ReportEventW")(source, type, category, eventId, user, count,
                                                                         dataSize, strings, data);
}

}  // namespace

// The import pointers the programs call through.
KESTROVE_IMPORT(OpenEventLogW, 8) = OpenLog;
KESTROVE_IMPORT(CloseEventLog, 4) = CloseLog;
KESTROVE_IMPORT(GetOldestEventLogRecord, 8) = OldestRecord;
KESTROVE_IMPORT(GetNumberOfEventLogRecords, 8) = RecordCount;
KESTROVE_IMPORT(NotifyChangeEventLog, 8) = NotifyChange;
KESTROVE_IMPORT(ReadEventLogW, 28) = ReadLog;
KESTROVE_IMPORT(RegisterEventSourceW, 8) = RegisterSource;
KESTROVE_IMPORT(DeregisterEventSource, 4) = DeregisterSource;
KESTROVE_IMPORT(ReportEventW, 36) = Report;

namespace doubles {

void Complain(const std::string& what) {
    EventLogs& logs = Logs();
    std::lock_guard<std::mutex> lock(logs.mutex);
    logs.complaints.push_back(what);
}

std::vector<std::string> TakeComplaints() {
    EventLogs& logs = Logs();
    std::lock_guard<std::mutex> lock(logs.mutex);
    std::vector<std::string> complaints;
    complaints.swap(logs.complaints);
    return complaints;
}

void ResetEventLogs() {
    EventLogs& logs = Logs();
    std::lock_guard<std::mutex> lock(logs.mutex);
    logs.complaints.clear();
    logs.application.clear();
    logs.records.clear();
    logs.failReads = 0;
    logs.reads.clear();
}

DWORD AppendSecurityRecord(std::vector<BYTE> record) {
    DWORD size = static_cast<DWORD>(record.size());
    DWORD head = 0;
    DWORD tail = 0;
    if (size < kFixedPart + sizeof(DWORD) || size % sizeof(DWORD) != 0) return 0;
    std::memcpy(&head, record.data(), sizeof head);
    std::memcpy(&tail, record.data() + size - sizeof tail, sizeof tail);
    if (head != size || tail != size) return 0;
    EventLogs& logs = Logs();
    std::vector<HANDLE> signal;
    DWORD number;
    {
        std::lock_guard<std::mutex> lock(logs.mutex);
        number = static_cast<DWORD>(logs.records.size()) + 1;
        std::memcpy(record.data() + offsetof(EVENTLOGRECORD, RecordNumber), &number, sizeof number);
        logs.records.push_back(std::move(record));
        for (const auto& reader : logs.readers) {
            if (reader.second.notify) signal.push_back(reader.second.notify);
        }
    }
    // Windows pulses the event, so a worker busy at that moment misses it;
    // winsim holds the programs to that. Here the test cannot see whether the
    // worker waits, so the event stays set for it.
    for (HANDLE event : signal) SetEvent(event);
    return number;
}

void FailSecurityReads(DWORD error) {
    EventLogs& logs = Logs();
    std::lock_guard<std::mutex> lock(logs.mutex);
    logs.failReads = error;
}

int OpenSecurityLogHandles() {
    EventLogs& logs = Logs();
    std::lock_guard<std::mutex> lock(logs.mutex);
    return static_cast<int>(logs.readers.size());
}

int WatchingReaders() {
    EventLogs& logs = Logs();
    std::lock_guard<std::mutex> lock(logs.mutex);
    int watching = 0;
    for (const auto& reader : logs.readers) watching += reader.second.notify != nullptr;
    return watching;
}

std::vector<ReadCall> SecurityReads() {
    EventLogs& logs = Logs();
    std::lock_guard<std::mutex> lock(logs.mutex);
    return logs.reads;
}

std::vector<ReportedEvent> ApplicationLog() {
    EventLogs& logs = Logs();
    std::lock_guard<std::mutex> lock(logs.mutex);
    return logs.application;
}

int OpenEventSources() {
    EventLogs& logs = Logs();
    std::lock_guard<std::mutex> lock(logs.mutex);
    return static_cast<int>(logs.sources.size());
}

}  // namespace doubles
