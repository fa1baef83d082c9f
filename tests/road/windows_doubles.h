// What Wine lacks, for the failed-logon road under Wine: the Security log's
// reading calls, the Application log's records and the firewall policy. The
// doubles take the place of the programs' imports at link time (they define
// the import pointers, which the linker takes before the import libraries'),
// so the program code calls them unchanged. These are their test controls.
#pragma once
#include <windows.h>

#include <string>
#include <type_traits>
#include <vector>

// Defines the import pointer through which the programs call `function`. On
// 32-bit Windows its name carries the stdcall argument bytes: a wrong count
// would leave the real import in place, so it is checked against the
// declaration.
#if defined(__i386__)
namespace doubles {
template <typename R, typename... A>
constexpr unsigned StackBytes(R(WINAPI*)(A...)) {
    return (0u + ... + (((std::is_reference_v<A> ? sizeof(void*) : sizeof(A)) + 3) / 4 * 4));
}
}  // namespace doubles
#define KESTROVE_IMPORT(function, bytes)                                                      \
    static_assert(doubles::StackBytes(&::function) == bytes, #function " takes other bytes"); \
    decltype(&::function) function##Import __asm__("__imp__" #function "@" #bytes)
#else
#define KESTROVE_IMPORT(function, bytes) decltype(&::function) function##Import __asm__("__imp_" #function)
#endif

namespace doubles {

// Calls a double answered with a refusal of its own, since the last call: a
// method or a case it does not hold, an argument Windows would refuse.
std::vector<std::string> TakeComplaints();
void Complain(const std::string& what);

// Empties the Security log, the record of reads, the failure set, the
// Application log's records and the complaints.
void ResetEventLogs();

// ---- the Security log (OpenEventLogW, ReadEventLogW, GetOldestEventLogRecord,
// GetNumberOfEventLogRecords, NotifyChangeEventLog, CloseEventLog) ----

// Appends a whole record as ReadEventLogW returns it, Length at both ends, and
// signals the events registered with NotifyChangeEventLog. The log writes the
// record's number into it and returns that number; 0 when the framing is wrong.
DWORD AppendSecurityRecord(std::vector<BYTE> record);
// Every later ReadEventLogW fails with this error.
void FailSecurityReads(DWORD error);
int OpenSecurityLogHandles();
// Handles with an event registered by NotifyChangeEventLog.
int WatchingReaders();

struct ReadCall {
    DWORD flags;
    DWORD recordOffset;
    DWORD bytesToRead;
    BOOL result;
    DWORD error;  // when the result is FALSE
    DWORD bytesRead;
    DWORD bytesNeeded;
    DWORD lastRecord;  // the number of the last record read; 0 when none
};
std::vector<ReadCall> SecurityReads();

// ---- the Application log (RegisterEventSourceW, ReportEventW,
// DeregisterEventSource): recorded, then passed on to Wine's own ----

struct ReportedEvent {
    std::wstring source;
    WORD type;
    WORD category;
    DWORD eventId;
    std::vector<std::wstring> strings;
};
std::vector<ReportedEvent> ApplicationLog();
int OpenEventSources();

// ---- the firewall policy (CoCreateInstance of CLSID_NetFwPolicy2 and
// CLSID_NetFwRule; any other class goes to ole32's) ----

// A rule as the policy holds it once added; set has one bit per property put,
// in the order of the Windows Firewall's INetFwRule (see RuleProperty).
struct FirewallRule {
    std::wstring name;
    std::wstring description;
    std::wstring grouping;
    std::wstring remoteAddresses = L"*";
    LONG protocol = 256;          // NET_FW_IP_PROTOCOL_ANY
    LONG direction = 1;           // NET_FW_RULE_DIR_IN
    LONG profiles = 0x7FFFFFFF;   // NET_FW_PROFILE2_ALL
    LONG action = 1;              // NET_FW_ACTION_ALLOW
    bool enabled = false;         // a new rule is disabled
    unsigned set = 0;
};
enum RuleProperty {
    kName = 1 << 0,
    kDescription = 1 << 1,
    kProtocol = 1 << 2,
    kRemoteAddresses = 1 << 3,
    kDirection = 1 << 4,
    kEnabled = 1 << 5,
    kGrouping = 1 << 6,
    kProfiles = 1 << 7,
    kAction = 1 << 8,
};

void ResetFirewall();
std::vector<FirewallRule> FirewallRules();
// COM objects of the double not yet released.
int LiveFirewallObjects();

}  // namespace doubles
