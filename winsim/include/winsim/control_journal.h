// Test control of the journal: the calls by which a program shows how far it
// has come, in the one order in which they were made across all its threads.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace winsim {

// One successful call of SetServiceStatus, ReportEventW or SetEvent.
struct JournalEntry {
    std::string call;       // the function's name
    SERVICE_STATUS status;  // SetServiceStatus: the status reported
    DWORD eventId;          // ReportEventW: the event ID of the record written
    HANDLE event;           // SetEvent: the event set
};

// The journal since the last Reset, oldest call first.
std::vector<JournalEntry> Journal();

}  // namespace winsim
