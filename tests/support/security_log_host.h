// Failed-logon records in winsim's Security log, for the watcher's host tests,
// its fuzz target and its benchmark.
#pragma once
#include <windows.h>
#include <winsim/control.h>

#include <string>
#include <vector>

#include "security_log.h"

namespace testsupport {

// Event 4625 with its 21 insert strings as the Security log writes them:
// insert 11 is the logon type, 20 the source network address.
inline winsim::EventLogEntry FailedLogon(const std::wstring& address, int logonType,
                                         const std::wstring& source = kAuditingSource) {
    winsim::EventLogEntry entry;
    entry.eventId = 4625;
    entry.source = source;
    entry.computer = L"RDS01.corp.example";
    entry.strings = {L"S-1-0-0", L"-", L"-", L"0x0", L"S-1-0-0", L"administrator", L"RDS01",
                     L"0xc000006d", L"%%2313", L"0xc000006a", std::to_wstring(logonType), L"NtLmSsp ", L"NTLM",
                     L"ATTACKER", L"-", L"-", L"0", L"0x0", L"-", address, L"50123"};
    return entry;
}

inline DWORD AppendFailedLogon(const std::wstring& address, int logonType) {
    return winsim::AppendEventLogRecord(L"Security", FailedLogon(address, logonType));
}

// True while one thread, and only one, waits on the one event registered on
// the Security log, as the worker does between dumps: a write releases only
// a thread that waits at that moment.
inline bool SecurityLogAwaited() {
    std::vector<HANDLE> events = winsim::EventLogNotifyEvents(L"Security");
    return events.size() == 1 && winsim::WaitingThreads(events[0]) == 1;
}

}  // namespace testsupport
