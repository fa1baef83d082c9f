// libFuzzer target: arbitrary Security-log records through DumpNewRecords.
// The first byte picks the form: the bytes as a record's content, the same
// with EventID 4625 so the record checks always run, or a well-formed 4625
// record of a registered source whose insert strings come from the bytes.
#include <windows.h>
#include <winsim/control.h>

#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/settings.h"
#include "security_log_host.h"
#include "service/watcher.h"

namespace {

HANDLE OpenPastASeedRecord() {
    winsim::Reset();
    std::string dll = KESTROVE_FUZZ_MESSAGES_DLL;
    testsupport::RegisterSecuritySource(testsupport::kAuditingSource, std::wstring(dll.begin(), dll.end()));
    SetDefaultSettings();
    g_settings.AuthenticationFailsBeforeBlock = INT_MAX;  // the firewall and mail stay out of reach
    int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    close(null);
    testsupport::AppendFailedLogon(L"192.0.2.1", 10);
    HANDLE log = OpenEventLogW(nullptr, L"Security");
    if (SeekToLastRecord(log) != 0) __builtin_trap();
    return log;
}

// Insert strings from the bytes: each byte a character, a zero byte ends a string.
std::vector<std::wstring> StringsOf(const uint8_t* data, size_t size) {
    std::vector<std::wstring> strings(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            strings.emplace_back();
        } else {
            strings.back().push_back(static_cast<wchar_t>(data[i]));
        }
    }
    return strings;
}

void AppendRecord(const uint8_t* data, size_t size) {
    int form = size > 0 ? data[0] % 3 : 0;
    const uint8_t* rest = size > 0 ? data + 1 : data;
    size_t restSize = size > 0 ? size - 1 : 0;
    if (form == 2) {
        winsim::EventLogEntry entry = testsupport::FailedLogon(L"", 10);
        std::vector<std::wstring> strings = StringsOf(rest, restSize);
        for (size_t i = 0; i < strings.size() && i < entry.strings.size(); ++i) {
            if (i != 10) entry.strings[i] = strings[i];  // insert 11 keeps logon type 10
        }
        if (strings.size() > entry.strings.size()) {
            entry.strings.insert(entry.strings.end(), strings.begin() + entry.strings.size(), strings.end());
        }
        winsim::AppendEventLogRecord(L"Security", entry);
        return;
    }
    std::vector<BYTE> content(rest, rest + restSize);
    if (form == 1 && content.size() >= offsetof(EVENTLOGRECORD, EventID) + sizeof(DWORD)) {
        DWORD failedLogon = 4625;
        std::memcpy(content.data() + offsetof(EVENTLOGRECORD, EventID), &failedLogon, sizeof failedLogon);
    }
    winsim::AppendRawEventLogRecord(L"Security", content);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static HANDLE log = OpenPastASeedRecord();
    AppendRecord(data, size);
    if (DumpNewRecords(log, L"Security") != 0) __builtin_trap();
    winsim::DiscardOldestEventLogRecords(L"Security", 1);
    return 0;
}
