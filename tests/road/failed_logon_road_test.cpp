// The road of failed logons under Wine: Security-log records laid out byte for
// byte as Windows writes them, through the watcher, Wine's LoadLibraryExW and
// FormatMessageW with the tests' message DLL named in Wine's registry, the
// tracker, the firewall and the Application log. Only what Wine lacks comes
// from the doubles (windows_doubles.h).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "common/settings.h"
#include "eventually.h"
#include "message_support.h"
#include "registry_support.h"
#include "security_log.h"
#include "service/event_report.h"
#include "service/tracker.h"
#include "service/watcher.h"
#include "windows_doubles.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

const wchar_t kSourceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\Eventlog\\Security\\"
                             L"Microsoft-Windows-Security-Auditing";
const wchar_t kServiceSourceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\"
                                    L"Mirdal Software - RDP Kestrove";
const char kSeparator[] =
    "\r\n--------------------------------------------------------------------------------\r\n";
const char kNotWithin[] = " skipped: its texts do not end within the record.\n";

// Done with a record: the watcher read it, then found the end of the log.
bool WaitUntilDoneWith(DWORD number) {
    return testsupport::Eventually([number] {
        bool read = false;
        for (const doubles::ReadCall& call : doubles::SecurityReads()) {
            if (call.result && call.lastRecord >= number) read = true;
            if (read && !call.result && call.error == ERROR_HANDLE_EOF) return true;
        }
        return false;
    });
}

int CountOf(const char* address) {
    for (int i = 0; i < g_blockInfoCount; ++i) {
        if (std::strcmp(RDPKestrove_Current_Block_Info[i].ipAddress, address) == 0) {
            return RDPKestrove_Current_Block_Info[i].attemptCount;
        }
    }
    return 0;
}

// A failed logon whose workstation name, the attacker's to choose, carries a
// label of its own before the genuine address.
testsupport::SecurityRecord FailedLogon(const std::wstring& address, int logonType) {
    testsupport::SecurityRecord record;
    record.strings = testsupport::FailedLogonInserts(std::to_wstring(logonType), address);
    record.strings[13] = L"ATTACKER-PC\r\n\tSource Network Address:\t192.0.2.99";
    return record;
}

class FailedLogonRoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        doubles::ResetEventLogs();
        doubles::ResetFirewall();
        std::free(RDPKestrove_Current_Block_Info);
        RDPKestrove_Current_Block_Info = nullptr;
        g_blockInfoCount = 0;
        SetDefaultSettings();
        g_settings.AuthenticationFailsBeforeBlock = 5;
        g_settings.EmailNotifyOnBlock = 0;
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kServiceSourceKey);
        testsupport::RegisterSecuritySource(testsupport::kAuditingSource,
                                            testsupport::Wide(KESTROVE_TEST_MESSAGES_DLL));
    }
    void TearDown() override {
        // What a test that stopped early left running or open.
        if (worker_) EndWorker();
        if (capturing_) Captured();
        if (log_) CloseEventLog(log_);
        EXPECT_EQ(std::vector<std::string>(), doubles::TakeComplaints());
        EXPECT_EQ(0, doubles::OpenSecurityLogHandles());
        EXPECT_EQ(0, doubles::LiveFirewallObjects());
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kSourceKey);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kServiceSourceKey);
    }

    static DWORD Append(const testsupport::SecurityRecord& record) {
        DWORD number = doubles::AppendSecurityRecord(testsupport::SecurityRecordBytes(record));
        EXPECT_NE(0u, number);
        return number;
    }

    void Capture() {
        CaptureStdout();
        capturing_ = true;
    }
    std::string Captured() {
        fflush(stdout);
        capturing_ = false;
        return GetCapturedStdout();
    }

    // True once the worker watches the log.
    bool StartWorker() {
        worker_ = CreateThread(nullptr, 0, WorkerThread, const_cast<wchar_t*>(L"Security"), 0, nullptr);
        return worker_ && testsupport::Eventually([] { return doubles::WatchingReaders() == 1; });
    }
    // A read failure ends the worker; returns its exit code.
    DWORD EndWorker() {
        doubles::FailSecurityReads(ERROR_ACCESS_DENIED);
        Append(FailedLogon(L"203.0.113.50", 10));
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worker_, 20000));
        DWORD code = 1234;
        GetExitCodeThread(worker_, &code);
        CloseHandle(worker_);
        worker_ = nullptr;
        return code;
    }

    // Opens the Security log, which holds one record, and places the read
    // position after it.
    void OpenAfterNewest() {
        Append(FailedLogon(L"192.168.50.10", 10));
        log_ = OpenEventLogW(nullptr, L"Security");
        ASSERT_NE(nullptr, log_);
        Capture();
        DWORD status = SeekToLastRecord(log_);
        std::string out = Captured();
        ASSERT_EQ(0u, status) << out;
        ASSERT_EQ("", out);
    }

    std::string Dump() {
        Capture();
        status_ = DumpNewRecords(log_, L"Security");
        return Captured();
    }

    HANDLE log_ = nullptr;
    HANDLE worker_ = nullptr;
    bool capturing_ = false;
    DWORD status_ = 0xDEAD;
};

TEST_F(FailedLogonRoadTest, FifthRemoteFailureFromOneAddressIsBlockedOnceAndRecorded) {
    Append(FailedLogon(L"203.0.113.50", 10));  // newest when the worker starts: never counted
    // Only results are kept while stdout is captured; the checks follow its end.
    Capture();
    bool started = StartWorker();

    Append(FailedLogon(L"203.0.113.50", 10));
    Append(FailedLogon(L"198.51.100.77", 10));
    Append(FailedLogon(L"203.0.113.50", 10));
    Append(FailedLogon(L"203.0.113.50", 3));  // a network logon: not counted
    Append(FailedLogon(L"203.0.113.50", 10));
    bool fourth = started && WaitUntilDoneWith(Append(FailedLogon(L"203.0.113.50", 10)));
    int counts[] = {CountOf("203.0.113.50"), CountOf("198.51.100.77"), CountOf("192.0.2.99")};
    bool nothingBlocked = doubles::FirewallRules().empty() && doubles::ApplicationLog().empty();

    bool fifth = fourth && WaitUntilDoneWith(Append(FailedLogon(L"203.0.113.50", 10)));
    std::vector<doubles::FirewallRule> rules = doubles::FirewallRules();
    std::vector<doubles::ReportedEvent> records = doubles::ApplicationLog();
    int openSources = doubles::OpenEventSources();
    SYSTEMTIME now;
    GetLocalTime(&now);

    // The sixth finds the rule in place.
    bool sixth = fifth && WaitUntilDoneWith(Append(FailedLogon(L"203.0.113.50", 10)));
    int sixthCount = CountOf("203.0.113.50");
    size_t rulesAfterSixth = doubles::FirewallRules().size();
    size_t recordsAfterSixth = doubles::ApplicationLog().size();

    // A read failure ends the worker, which closes the log.
    DWORD code = EndWorker();
    std::string out = Captured();

    ASSERT_TRUE(fourth) << out;
    EXPECT_EQ(4, counts[0]);
    EXPECT_EQ(1, counts[1]);
    EXPECT_EQ(0, counts[2]);
    EXPECT_TRUE(nothingBlocked);

    ASSERT_TRUE(fifth) << out;  // the fifth
    ASSERT_EQ(1u, rules.size());
    const doubles::FirewallRule& rule = rules[0];
    EXPECT_EQ(L"Mirdal Software - RDP Kestrove", rule.name);
    WCHAR date[512];
    ASSERT_NE(0, GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &now, nullptr, date, 512));
    EXPECT_EQ(std::wstring(L"203.0.113.50 blocked on ") + date, rule.description);
    EXPECT_EQ(L"Mirdal Software - RDP Kestrove", rule.grouping);
    EXPECT_EQ(L"203.0.113.50/255.255.255.255", rule.remoteAddresses);
    EXPECT_EQ(6, rule.protocol);      // TCP
    EXPECT_EQ(1, rule.direction);     // inbound
    EXPECT_EQ(7, rule.profiles);      // domain, private and public
    EXPECT_EQ(0, rule.action);        // block
    EXPECT_TRUE(rule.enabled);
    EXPECT_EQ(0x1FFu, rule.set);      // all nine put
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ(KESTROVE_EVENT_SOURCE, records[0].source);
    EXPECT_EQ(EVENTLOG_INFORMATION_TYPE, records[0].type);
    EXPECT_EQ(0, records[0].category);
    EXPECT_EQ(static_cast<DWORD>(KESTROVE_EVENT_BLOCKED), records[0].eventId);
    EXPECT_EQ(std::vector<std::wstring>{L"203.0.113.50"}, records[0].strings);
    EXPECT_EQ(0, openSources);
    WCHAR program[MAX_PATH] = {0};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    EXPECT_EQ(program, testsupport::GetRegistryString(kServiceSourceKey, L"EventMessageFile"));

    ASSERT_TRUE(sixth) << out;
    EXPECT_EQ(6, sixthCount);
    EXPECT_EQ(1u, rulesAfterSixth);
    EXPECT_EQ(1u, recordsAfterSixth);
    EXPECT_EQ(0u, code);
    EXPECT_NE(std::string::npos, out.find("Found a match for IP in existing rules.\r\n"));
    std::string tail = "ReadEventLog failed with 5.\nReadRecord (priming read) failed.\nDumpNewRecords failed.\n"
                       "\r\nExiting WorkerThread()...\r\n";
    EXPECT_EQ(tail, out.substr(out.size() - std::min(out.size(), tail.size())));
}

TEST_F(FailedLogonRoadTest, RecordIsRenderedFromItsWindowsLayout) {
    OpenAfterNewest();
    Append(FailedLogon(L"203.0.113.40", 10));
    std::string out = Dump();
    EXPECT_EQ(0u, status_);
    std::string head =
        std::string(kSeparator) + "record number: 2\nComputerName: RDS01.corp.example\r\ndwFileNumber = 35\r\n";
    EXPECT_EQ(head, out.substr(0, head.size()));
    EXPECT_NE(std::string::npos, out.find("(Type:10)"));
    EXPECT_NE(std::string::npos, out.find("Here's the IP: 203.0.113.40 (strlen:12)"));
    EXPECT_EQ(1, CountOf("203.0.113.40"));
    EXPECT_EQ(1, g_blockInfoCount);
}

TEST_F(FailedLogonRoadTest, RecordsWhoseTextsDoNotEndWithinAreSkippedWithTheirLine) {
    struct Case {
        const char* name;
        std::function<void(std::vector<BYTE>&)> spoil;
    };
    // Past the last insert string, only the padding and the high half of the
    // trailing Length hold zero code units: three more strings cannot end.
    const Case cases[] = {
        {"insert strings counted beyond those held",
         [](std::vector<BYTE>& r) {
             testsupport::PutLittleEndian(r, offsetof(EVENTLOGRECORD, NumStrings), 21 + 3, 2);
         }},
        {"string offset off a code unit",
         [](std::vector<BYTE>& r) {
             DWORD offset = reinterpret_cast<const EVENTLOGRECORD*>(r.data())->StringOffset;
             testsupport::PutLittleEndian(r, offsetof(EVENTLOGRECORD, StringOffset), offset + 1, 4);
         }},
    };
    OpenAfterNewest();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<BYTE> record = testsupport::SecurityRecordBytes(FailedLogon(L"198.51.100.10", 10));
        c.spoil(record);
        DWORD bad = doubles::AppendSecurityRecord(record);
        Append(FailedLogon(L"198.51.100.11", 10));
        std::string out = Dump();
        EXPECT_EQ(0u, status_);
        std::string expected = std::string(kSeparator) + "Record " + std::to_string(bad) + kNotWithin + kSeparator +
                               "record number: " + std::to_string(bad + 1) + "\n";
        EXPECT_EQ(expected, out.substr(0, expected.size()));
    }
    EXPECT_EQ(0, CountOf("198.51.100.10"));
    EXPECT_EQ(2, CountOf("198.51.100.11"));

    // The edge: counted past the padding (an empty string where there is one),
    // the last string is the trailing Length's low half, ended by its high half:
    // the record's last two bytes.
    std::vector<BYTE> edge = testsupport::SecurityRecordBytes(FailedLogon(L"198.51.100.12", 10));
    const EVENTLOGRECORD* header = reinterpret_cast<const EVENTLOGRECORD*>(edge.data());
    DWORD paddingUnits = (header->Length - sizeof(DWORD) - header->DataOffset) / 2;
    testsupport::PutLittleEndian(edge, offsetof(EVENTLOGRECORD, NumStrings), 21 + paddingUnits + 1, 2);
    DWORD read = doubles::AppendSecurityRecord(edge);
    std::string head = std::string(kSeparator) + "record number: " + std::to_string(read) + "\n";
    EXPECT_EQ(head, Dump().substr(0, head.size()));
    EXPECT_EQ(1, CountOf("198.51.100.12"));
}

TEST_F(FailedLogonRoadTest, SourceNamesOf255CharactersAreSkipped) {
    OpenAfterNewest();
    testsupport::SecurityRecord longest = FailedLogon(L"198.51.100.10", 10);
    longest.source = std::wstring(254, L's');
    Append(longest);
    testsupport::SecurityRecord tooLong = longest;
    tooLong.source += L"s";
    Append(tooLong);
    std::string out = Dump();
    EXPECT_NE(std::string::npos, out.find("record number: 2\n"));
    std::string skipped =
        std::string(kSeparator) + "Record 3 skipped: its source name is too long for a message file key.\n";
    EXPECT_EQ(skipped, out.substr(out.size() - std::min(out.size(), skipped.size())));
}

TEST_F(FailedLogonRoadTest, RecordLargerThanTheFirstReadsBufferIsReadThroughTheGrownBuffer) {
    OpenAfterNewest();
    testsupport::SecurityRecord large = FailedLogon(L"198.51.100.20", 10);
    large.data.assign(0x10000, 0xA5);  // a Length beyond 16 bits
    std::vector<BYTE> bytes = testsupport::SecurityRecordBytes(large);
    DWORD length = static_cast<DWORD>(bytes.size());
    size_t before = doubles::SecurityReads().size();
    DWORD number = doubles::AppendSecurityRecord(bytes);
    std::string out = Dump();
    EXPECT_EQ(0u, status_);
    EXPECT_NE(std::string::npos, out.find("record number: " + std::to_string(number) + "\n"));
    EXPECT_EQ(1, CountOf("198.51.100.20"));

    std::vector<doubles::ReadCall> reads = doubles::SecurityReads();
    ASSERT_EQ(before + 3, reads.size());  // too small, grown, the end of the log
    const doubles::ReadCall& first = reads[before];
    EXPECT_FALSE(first.result);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), first.error);
    EXPECT_EQ(length, first.bytesNeeded);
    EXPECT_LT(first.bytesToRead, length);
    const doubles::ReadCall& grown = reads[before + 1];
    EXPECT_TRUE(grown.result);
    EXPECT_EQ(length, grown.bytesToRead);
    EXPECT_EQ(length, grown.bytesRead);
    EXPECT_EQ(number, grown.lastRecord);
    EXPECT_EQ(static_cast<DWORD>(ERROR_HANDLE_EOF), reads[before + 2].error);
}

// The watcher's reads meet a Security log as strict as Windows's.
TEST_F(FailedLogonRoadTest, ReadsWithFlagsWindowsRefusesFail) {
    OpenAfterNewest();
    for (DWORD flags : {DWORD{EVENTLOG_SEQUENTIAL_READ}, DWORD{EVENTLOG_SEEK_READ | EVENTLOG_SEQUENTIAL_READ |
                                                               EVENTLOG_FORWARDS_READ},
                        DWORD{EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ | 0x10}}) {
        SCOPED_TRACE(flags);
        PBYTE record = nullptr;
        Capture();
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), ReadRecord(log_, &record, 1, flags));
        EXPECT_EQ("ReadEventLog failed with 87.\n", Captured());
        std::free(record);
        EXPECT_EQ(1u, doubles::TakeComplaints().size());
    }
}

}  // namespace
