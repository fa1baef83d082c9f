// Test controls of the Application log and event sources.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace winsim {

// One record written with ReportEventW.
struct ReportedEvent {
    std::wstring source;
    WORD type;
    WORD category;
    DWORD eventId;
    bool userSid;                      // a SID was passed
    std::vector<std::wstring> strings;
    std::vector<BYTE> data;            // raw data, empty when none was passed
};

// The Application log, oldest record first.
std::vector<ReportedEvent> ApplicationLog();

// Event-source handles registered and not yet deregistered.
int OpenEventSources();

}  // namespace winsim
