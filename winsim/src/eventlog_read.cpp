// Event logs as the reading calls see them: records in the EVENTLOGRECORD
// layout, read handles with their own read position, change notification,
// clearing.
#include <winsim/control.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <set>

#include "internal.h"

namespace {

using winsim::detail::InjectedFailure;
using winsim::detail::LowerCase;

const DWORD kFixedPart = sizeof(EVENTLOGRECORD);
const DWORD kReadFlags =
    EVENTLOG_SEQUENTIAL_READ | EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ | EVENTLOG_BACKWARDS_READ;
const DWORD kMaxReadBuffer = 0x7FFFF;  // ReadEventLogW's largest buffer

struct Log {
    DWORD oldest = 1;  // number of records[0]; the next number is oldest + size
    std::vector<std::vector<BYTE>> records;
    DWORD clears = 0;
};

struct Reader {
    std::wstring log;   // lower-case name
    DWORD next = 0;     // number of the record a forward sequential read takes; 0: the oldest
    HANDLE notify = nullptr;
    DWORD clears = 0;   // the log's clears when the handle was opened
};

struct EventLogState {
    std::mutex mutex;
    std::map<std::wstring, Log> logs;  // by lower-case name
    std::map<HANDLE, Reader> readers;
    uintptr_t nextHandle = 0x40000000;
    DWORD shortenNextRead = 0;  // bytes the next successful read leaves out of *bytesRead
};

void AddStandardLogs(EventLogState& state) { state.logs[L"security"]; }

EventLogState& EventLogs() {
    static EventLogState& state = *new EventLogState;  // never destroyed: threads may outlive main
    static bool hooked = (winsim::detail::OnReset([] {
                              std::lock_guard<std::mutex> lock(state.mutex);
                              state.logs.clear();
                              state.readers.clear();
                              state.shortenNextRead = 0;
                              AddStandardLogs(state);
                          }),
                          AddStandardLogs(state), true);
    (void)hooked;
    return state;
}

bool Fails(const char* function) {
    unsigned long code = 0;
    if (!InjectedFailure(function, &code)) return false;
    SetLastError(code);
    return true;
}

// The reader and its log; null (with ERROR_INVALID_HANDLE set) for an unknown handle.
Reader* FindReader(EventLogState& state, HANDLE handle, Log** log) {
    auto found = state.readers.find(handle);
    if (found == state.readers.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    *log = &state.logs[found->second.log];
    return &found->second;
}

// As FindReader, for the calls that read: a handle opened before the log was
// cleared cannot read it (ERROR_EVENTLOG_FILE_CHANGED).
Reader* FindCurrentReader(EventLogState& state, HANDLE handle, Log** log) {
    Reader* reader = FindReader(state, handle, log);
    if (reader && reader->clears != (*log)->clears) {
        SetLastError(ERROR_EVENTLOG_FILE_CHANGED);
        return nullptr;
    }
    return reader;
}

bool Holds(const Log& log, DWORD number) {
    return !log.records.empty() && number - log.oldest < log.records.size();
}

// Record numbers run on modulo 2^32; a number up to 2^31 behind the oldest is older.
bool OlderThanOldest(const Log& log, DWORD number) { return log.oldest - number - 1 < 0x80000000u; }

void PutDword(std::vector<BYTE>& bytes, size_t offset, DWORD value) {
    std::memcpy(bytes.data() + offset, &value, sizeof value);
}

void AppendText(std::vector<BYTE>& bytes, const std::wstring& text) {
    const BYTE* begin = reinterpret_cast<const BYTE*>(text.c_str());
    bytes.insert(bytes.end(), begin, begin + (text.size() + 1) * sizeof(WCHAR));
}

void PadToDword(std::vector<BYTE>& bytes) { bytes.resize((bytes.size() + 3) / 4 * 4, 0); }

// Stores a record whose content (everything but the trailing Length) is in
// bytes: numbers it, frames it and pulses the events registered on the log,
// also through handles opened before a clear.
DWORD Store(const std::wstring& name, std::vector<BYTE> bytes) {
    EventLogState& state = EventLogs();
    std::vector<HANDLE> signal;
    DWORD number;
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        Log& log = state.logs[LowerCase(name)];
        number = log.oldest + static_cast<DWORD>(log.records.size());
        if (bytes.size() < kFixedPart) bytes.resize(kFixedPart, 0);
        PadToDword(bytes);
        DWORD length = static_cast<DWORD>(bytes.size() + sizeof(DWORD));
        bytes.resize(length);
        PutDword(bytes, 0, length);
        PutDword(bytes, offsetof(EVENTLOGRECORD, RecordNumber), number);
        PutDword(bytes, length - sizeof(DWORD), length);
        log.records.push_back(std::move(bytes));
        for (const auto& reader : state.readers) {
            if (reader.second.log == LowerCase(name) && reader.second.notify) signal.push_back(reader.second.notify);
        }
    }
    for (HANDLE event : signal) winsim::detail::PulseEvent(event);
    return number;
}

}  // namespace

extern "C" {

HANDLE OpenEventLogW(LPCWSTR serverName, LPCWSTR sourceName) {
    if (Fails("OpenEventLogW")) return nullptr;
    if (serverName && *serverName) winsim::detail::Unimplemented("OpenEventLogW", "remote computers");
    EventLogState& state = EventLogs();
    std::lock_guard<std::mutex> lock(state.mutex);
    std::wstring name = LowerCase(sourceName ? sourceName : L"");
    if (!state.logs.count(name)) {
        // Windows would open the Application log instead, which this area does not hold.
        winsim::detail::Unimplemented("OpenEventLogW", "a log that holds no records and is not Security");
    }
    HANDLE handle = reinterpret_cast<HANDLE>(state.nextHandle += 4);
    state.readers[handle].log = name;
    state.readers[handle].clears = state.logs[name].clears;
    return handle;
}

BOOL CloseEventLog(HANDLE eventLog) {
    if (Fails("CloseEventLog")) return FALSE;
    EventLogState& state = EventLogs();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (!state.readers.erase(eventLog)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

BOOL GetOldestEventLogRecord(HANDLE eventLog, PDWORD oldestRecord) {
    if (Fails("GetOldestEventLogRecord")) return FALSE;
    EventLogState& state = EventLogs();
    std::lock_guard<std::mutex> lock(state.mutex);
    Log* log;
    if (!FindCurrentReader(state, eventLog, &log)) return FALSE;
    *oldestRecord = log->records.empty() ? 0 : log->oldest;
    return TRUE;
}

BOOL GetNumberOfEventLogRecords(HANDLE eventLog, PDWORD numberOfRecords) {
    if (Fails("GetNumberOfEventLogRecords")) return FALSE;
    EventLogState& state = EventLogs();
    std::lock_guard<std::mutex> lock(state.mutex);
    Log* log;
    if (!FindCurrentReader(state, eventLog, &log)) return FALSE;
    *numberOfRecords = static_cast<DWORD>(log->records.size());
    return TRUE;
}

BOOL ReadEventLogW(HANDLE eventLog, DWORD readFlags, DWORD recordOffset, LPVOID buffer, DWORD bytesToRead,
                   DWORD* bytesRead, DWORD* minBytesNeeded) {
    if (Fails("ReadEventLogW")) return FALSE;
    EventLogState& state = EventLogs();
    std::lock_guard<std::mutex> lock(state.mutex);
    Log* log;
    Reader* reader = FindCurrentReader(state, eventLog, &log);
    if (!reader) return FALSE;
    bool seek = readFlags & EVENTLOG_SEEK_READ;
    bool sequential = readFlags & EVENTLOG_SEQUENTIAL_READ;
    bool forwards = readFlags & EVENTLOG_FORWARDS_READ;
    bool backwards = readFlags & EVENTLOG_BACKWARDS_READ;
    if (seek == sequential || forwards == backwards || (readFlags & ~kReadFlags) || bytesToRead > kMaxReadBuffer ||
        !buffer || !bytesRead || !minBytesNeeded) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (backwards) winsim::detail::Unimplemented("ReadEventLogW", "backward reads");
    *bytesRead = 0;
    *minBytesNeeded = 0;
    DWORD number = reader->next;
    if (seek) {
        if (!Holds(*log, recordOffset)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        number = recordOffset;
    } else if (reader->next == 0) {
        number = log->oldest;  // the first read
    } else if (OlderThanOldest(*log, number)) {
        // Where Windows goes on then is not documented.
        winsim::detail::Unimplemented("ReadEventLogW", "a sequential read whose next record has been overwritten");
    }
    if (!Holds(*log, number)) {
        SetLastError(ERROR_HANDLE_EOF);
        return FALSE;
    }
    // Whole records only, as many as fit.
    BYTE* out = static_cast<BYTE*>(buffer);
    DWORD used = 0;
    while (Holds(*log, number)) {
        const std::vector<BYTE>& record = log->records[number - log->oldest];
        if (record.size() > bytesToRead - used) break;
        std::memcpy(out + used, record.data(), record.size());
        used += static_cast<DWORD>(record.size());
        ++number;
    }
    if (used == 0) {
        *minBytesNeeded = static_cast<DWORD>(log->records[number - log->oldest].size());
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    *bytesRead = used - std::min(used, state.shortenNextRead);
    state.shortenNextRead = 0;
    reader->next = number;
    return TRUE;
}

BOOL NotifyChangeEventLog(HANDLE eventLog, HANDLE event) {
    if (Fails("NotifyChangeEventLog")) return FALSE;
    EventLogState& state = EventLogs();
    std::lock_guard<std::mutex> lock(state.mutex);
    Log* log;
    Reader* reader = FindReader(state, eventLog, &log);
    if (!reader) return FALSE;
    reader->notify = event;
    return TRUE;
}

BOOL ClearEventLogW(HANDLE eventLog, LPCWSTR backupFileName) {
    if (Fails("ClearEventLogW")) return FALSE;
    if (backupFileName) winsim::detail::Unimplemented("ClearEventLogW", "backup files");
    EventLogState& state = EventLogs();
    std::lock_guard<std::mutex> lock(state.mutex);
    Log* log;
    if (!FindCurrentReader(state, eventLog, &log)) return FALSE;
    // Windows may refuse to clear an empty log; with which error is not documented.
    if (log->records.empty()) winsim::detail::Unimplemented("ClearEventLogW", "an empty log");
    // A cleared log is a new one: its first record is number 1 again.
    log->records.clear();
    log->oldest = 1;
    ++log->clears;
    return TRUE;
}

}  // extern "C"

namespace winsim {

DWORD AppendEventLogRecord(const std::wstring& log, const EventLogEntry& entry) {
    std::vector<BYTE> bytes(kFixedPart, 0);
    AppendText(bytes, entry.source);
    AppendText(bytes, entry.computer);
    PadToDword(bytes);
    DWORD sidOffset = static_cast<DWORD>(bytes.size());  // no user SID
    DWORD stringOffset = sidOffset;
    for (const std::wstring& text : entry.strings) AppendText(bytes, text);
    DWORD dataOffset = static_cast<DWORD>(bytes.size());
    bytes.insert(bytes.end(), entry.data.begin(), entry.data.end());

    EVENTLOGRECORD fixed = {};
    fixed.Reserved = ELF_LOG_SIGNATURE;
    fixed.TimeGenerated = fixed.TimeWritten = static_cast<DWORD>(std::time(nullptr));
    fixed.EventID = entry.eventId;
    fixed.EventType = entry.eventType;
    fixed.NumStrings = static_cast<WORD>(entry.strings.size());
    fixed.EventCategory = entry.category;
    fixed.StringOffset = stringOffset;
    fixed.UserSidOffset = sidOffset;
    fixed.DataLength = static_cast<DWORD>(entry.data.size());
    fixed.DataOffset = dataOffset;
    std::memcpy(bytes.data(), &fixed, sizeof fixed);
    return Store(log, std::move(bytes));
}

DWORD AppendRawEventLogRecord(const std::wstring& log, const std::vector<BYTE>& content) {
    return Store(log, content);
}

void DiscardOldestEventLogRecords(const std::wstring& name, DWORD count) {
    EventLogState& state = EventLogs();
    std::lock_guard<std::mutex> lock(state.mutex);
    Log& log = state.logs[LowerCase(name)];
    DWORD dropped = std::min<DWORD>(count, static_cast<DWORD>(log.records.size()));
    log.records.erase(log.records.begin(), log.records.begin() + dropped);
    log.oldest += dropped;
}

void ShortenNextEventLogRead(DWORD bytes) {
    EventLogState& state = EventLogs();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.shortenNextRead = bytes;
}

std::vector<HANDLE> EventLogNotifyEvents(const std::wstring& log) {
    EventLogState& state = EventLogs();
    std::lock_guard<std::mutex> lock(state.mutex);
    std::set<HANDLE> events;
    for (const auto& reader : state.readers) {
        if (reader.second.log == LowerCase(log) && reader.second.notify) events.insert(reader.second.notify);
    }
    return std::vector<HANDLE>(events.begin(), events.end());
}

int OpenEventLogHandles() {
    EventLogState& state = EventLogs();
    std::lock_guard<std::mutex> lock(state.mutex);
    return static_cast<int>(state.readers.size());
}

}  // namespace winsim
