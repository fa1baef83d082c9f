// winsim's journal in short, for comparing whole sequences: "status RUNNING",
// "record 4" (the event ID) and "set stop" or "set other" by the event.
#pragma once
#include <windows.h>
#include <winsim/control.h>

#include <string>
#include <vector>

namespace testsupport {

inline std::vector<std::string> JournalSteps(HANDLE stopEvent) {
    static const char* const kStates[] = {"?",       "STOPPED",          "START_PENDING", "STOP_PENDING",
                                          "RUNNING", "CONTINUE_PENDING", "PAUSE_PENDING", "PAUSED"};
    std::vector<std::string> steps;
    for (const winsim::JournalEntry& entry : winsim::Journal()) {
        if (entry.call == "SetServiceStatus") {
            steps.push_back(std::string("status ") + kStates[entry.status.dwCurrentState]);
        } else if (entry.call == "ReportEventW") {
            steps.push_back("record " + std::to_string(entry.eventId));
        } else {
            steps.push_back(entry.event == stopEvent ? "set stop" : "set other");
        }
    }
    return steps;
}

}  // namespace testsupport
