// Test controls of event logs as the watcher reads them.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace winsim {

// One record to append: the log gives it its number, times and framing.
struct EventLogEntry {
    DWORD eventId = 0;
    std::wstring source;
    std::wstring computer;
    std::vector<std::wstring> strings;  // the insert strings, in order
    WORD eventType = 0x0010;            // EVENTLOG_AUDIT_FAILURE
    WORD category = 0;
    std::vector<BYTE> data;
};

// Appends a record in the EVENTLOGRECORD layout to the named log ("Security"
// or any other name; a log exists once written to) and pulses every event
// registered on the log, as Windows does: only threads waiting on it at that
// moment are released. Returns the record's number.
DWORD AppendEventLogRecord(const std::wstring& log, const EventLogEntry& entry);

// Appends bytes as a record's content: the fixed part and what follows it,
// without the trailing Length. Content shorter than the fixed part is filled
// with zeros; the log pads it to a DWORD boundary, sets Length at both ends and
// RecordNumber, and keeps every other byte as given.
DWORD AppendRawEventLogRecord(const std::wstring& log, const std::vector<BYTE>& content);

// Drops the oldest records, as a full log that overwrites does; record
// numbers go on from where they were. A sequential read whose next record was
// dropped aborts: where Windows goes on then is not modelled.
void DiscardOldestEventLogRecords(const std::wstring& log, DWORD count);

// Makes the next ReadEventLogW that succeeds report `bytes` fewer in
// *bytesRead than it delivered, as a faulty platform might: for the reader's
// check that a record's Length lies within the bytes read.
void ShortenNextEventLogRead(DWORD bytes);

// The events registered on the log with NotifyChangeEventLog through handles
// not yet closed.
std::vector<HANDLE> EventLogNotifyEvents(const std::wstring& log);

// Read handles opened with OpenEventLogW and not yet closed.
int OpenEventLogHandles();

}  // namespace winsim
