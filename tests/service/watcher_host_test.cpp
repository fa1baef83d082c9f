// The Security-log watcher: record reading, the dump of new records and the
// worker's start and end, against winsim's Security log.
#include <gtest/gtest.h>
#include <winsim/control.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "common/settings.h"
#include "eventually.h"
#include "security_log_host.h"
#include "service/tracker.h"
#include "service/watcher.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;
using testsupport::AppendFailedLogon;
using testsupport::FailedLogon;
using testsupport::SecurityLogAwaited;

const char kSeparator[] =
    "\r\n--------------------------------------------------------------------------------\r\n";
const DWORD kSequential = EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ;
const DWORD kSeek = EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ;

std::string Captured() {
    fflush(stdout);
    return GetCapturedStdout();
}

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

std::vector<std::string> TrackedAddresses() {
    std::vector<std::string> addresses;
    for (int i = 0; i < g_blockInfoCount; ++i) addresses.push_back(RDPKestrove_Current_Block_Info[i].ipAddress);
    return addresses;
}

class WatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        winsim::Reset();
        std::free(RDPKestrove_Current_Block_Info);
        RDPKestrove_Current_Block_Info = nullptr;
        g_blockInfoCount = 0;
        SetDefaultSettings();
        g_settings.AuthenticationFailsBeforeBlock = 1000;
        std::string dll = KESTROVE_TEST_MESSAGES_DLL;
        testsupport::RegisterSecuritySource(testsupport::kAuditingSource, std::wstring(dll.begin(), dll.end()));
    }
    void TearDown() override {
        if (log_) CloseEventLog(log_);
    }

    // Opens the Security log, which holds `existing` records, and places the
    // read position after the newest.
    void OpenAfterNewest(int existing = 3) {
        for (int i = 0; i < existing; ++i) AppendFailedLogon(L"192.168.50." + std::to_wstring(10 + i), 10);
        log_ = OpenEventLogW(nullptr, L"Security");
        ASSERT_NE(nullptr, log_);
        CaptureStdout();
        DWORD status = SeekToLastRecord(log_);
        std::string out = Captured();  // before any assertion, so that the next capture can begin
        ASSERT_EQ(0u, status) << out;
        ASSERT_EQ("", out);
    }

    std::string Dump() {
        CaptureStdout();
        status_ = DumpNewRecords(log_, L"Security");
        return Captured();
    }

    HANDLE log_ = nullptr;
    DWORD status_ = 0xDEAD;
};

// ---- the dump of new records ------------------------------------------------

TEST_F(WatcherTest, FirstRecordExaminedIsTheFirstWrittenAfterTheSeek) {
    OpenAfterNewest();
    AppendFailedLogon(L"203.0.113.40", 10);
    std::string out = Dump();
    EXPECT_EQ(0u, status_);
    EXPECT_EQ(1u, Count(out, kSeparator));
    EXPECT_NE(std::string::npos, out.find("record number: 4\n"));
    EXPECT_EQ(std::vector<std::string>{"203.0.113.40"}, TrackedAddresses());
    EXPECT_EQ("", Dump());  // nothing new
    EXPECT_EQ(0u, status_);
}

TEST_F(WatcherTest, FailedLogonPrintsItsLinesInOrder) {
    OpenAfterNewest();
    AppendFailedLogon(L"203.0.113.40", 10);
    std::string out = Dump();
    std::string head = std::string(kSeparator) + "record number: 4\nComputerName: RDS01.corp.example\r\ndwFileNumber = 35\r\n";
    EXPECT_EQ(head, out.substr(0, head.size()));
    EXPECT_NE(std::string::npos, out.find("Here's the IP: 203.0.113.40"));
}

TEST_F(WatcherTest, SeveralRecordsAreHandledOldestFirstEachAfterItsSeparator) {
    OpenAfterNewest();
    AppendFailedLogon(L"203.0.113.41", 10);
    winsim::EventLogEntry other = FailedLogon(L"203.0.113.99", 10);
    other.eventId = 4624;
    winsim::AppendEventLogRecord(L"Security", other);
    AppendFailedLogon(L"203.0.113.42", 10);
    std::string out = Dump();
    EXPECT_EQ(0u, status_);
    size_t first = out.find(kSeparator);
    size_t record4 = out.find("record number: 4\n");
    size_t second = out.find(kSeparator, record4);
    size_t third = out.find(kSeparator, second + 1);
    size_t record6 = out.find("record number: 6\n");
    EXPECT_EQ(0u, first);
    EXPECT_LT(first, record4);
    EXPECT_LT(record4, second);
    EXPECT_LT(second, third);
    EXPECT_LT(third, record6);
    EXPECT_NE(std::string::npos, record6);
    EXPECT_EQ(3u, Count(out, kSeparator));
    EXPECT_EQ(std::vector<std::string>({"203.0.113.41", "203.0.113.42"}), TrackedAddresses());
}

TEST_F(WatcherTest, OnlyRemoteInteractiveLogonsReachTheTracker) {
    OpenAfterNewest();
    AppendFailedLogon(L"198.51.100.3", 3);
    AppendFailedLogon(L"198.51.100.2", 2);
    AppendFailedLogon(L"198.51.100.10", 10);
    for (int type : {11, 12}) AppendFailedLogon(L"198.51.100." + std::to_wstring(type), type);  // the types after 10
    std::string out = Dump();
    EXPECT_EQ(5u, Count(out, "Here's the LogonType"));  // each was rendered
    EXPECT_EQ(std::vector<std::string>{"198.51.100.10"}, TrackedAddresses());
}

TEST_F(WatcherTest, OtherEventsPrintOnlyTheSeparator) {
    OpenAfterNewest();
    for (DWORD eventId : {4624u, 4625u | 0x10000u, 4625u | 0x80000000u}) {
        winsim::EventLogEntry entry = FailedLogon(L"198.51.100.10", 10);
        entry.eventId = eventId;
        winsim::AppendEventLogRecord(L"Security", entry);
    }
    EXPECT_EQ(std::string(kSeparator) + kSeparator + kSeparator, Dump());
    EXPECT_EQ(0, g_blockInfoCount);
}

TEST_F(WatcherTest, SourceWithoutMessageFileIsStillRendered) {
    OpenAfterNewest();
    winsim::AppendEventLogRecord(L"Security", FailedLogon(L"198.51.100.10", 10, L"Unregistered Source"));
    std::string out = Dump();
    size_t nullLine = out.find("LookupMessageFile() returned a NULL handle for the resource file.\r\n");
    size_t fileNumber = out.find("dwFileNumber = 35\r\n");
    size_t rendering = out.find("hResource is NULL.");
    EXPECT_NE(std::string::npos, nullLine);
    EXPECT_LT(nullLine, fileNumber);
    EXPECT_LT(fileNumber, rendering);
    EXPECT_NE(std::string::npos, rendering);
}

TEST_F(WatcherTest, UnloadableMessageFileShowsTheLookupsFileNumber) {
    testsupport::RegisterSecuritySource(L"Broken Source", L"/nonexistent/messages.dll");
    OpenAfterNewest();
    winsim::AppendEventLogRecord(L"Security", FailedLogon(L"198.51.100.10", 10, L"Broken Source"));
    std::string out = Dump();
    EXPECT_NE(std::string::npos, out.find("returned a NULL handle for the resource file.\r\ndwFileNumber = 1\r\n"));
}

TEST_F(WatcherTest, ModulesTextsAndRecordsAreReleasedAfterEachRecord) {
    OpenAfterNewest();
    for (int i = 0; i < 5; ++i) AppendFailedLogon(L"198.51.100." + std::to_wstring(20 + i), i % 2 ? 10 : 3);
    Dump();
    EXPECT_EQ(0u, status_);
    EXPECT_EQ(0, winsim::LoadedDataFiles());
    EXPECT_EQ(2, g_blockInfoCount);
}

// ---- records whose texts do not fit ------------------------------------------

// The content of a 4625 record (without the trailing Length) laid out by hand.
struct RawRecord {
    std::vector<BYTE> bytes = std::vector<BYTE>(sizeof(EVENTLOGRECORD), 0);

    RawRecord() { Header()->EventID = 4625; }
    EVENTLOGRECORD* Header() { return reinterpret_cast<EVENTLOGRECORD*>(bytes.data()); }
    // Appends text, with its terminator unless told otherwise; returns its offset.
    DWORD Text(const std::wstring& text, bool terminated = true) {
        DWORD offset = static_cast<DWORD>(bytes.size());
        const BYTE* begin = reinterpret_cast<const BYTE*>(text.c_str());
        bytes.insert(bytes.end(), begin, begin + (text.size() + (terminated ? 1 : 0)) * sizeof(WCHAR));
        return offset;
    }
    // Content that the log frames into a record of exactly this length.
    DWORD FramedLength() const { return static_cast<DWORD>((bytes.size() + 3) / 4 * 4 + 4); }
};

struct MalformedCase {
    const char* name;
    std::function<RawRecord()> build;
};

const char kNotWithin[] = " skipped: its texts do not end within the record.\n";

TEST_F(WatcherTest, RecordsWithTextsBeyondTheirEndAreSkippedAndTheReadGoesOn) {
    std::vector<MalformedCase> cases = {
        {"source name without terminator",
         [] {
             RawRecord r;
             r.Text(testsupport::kAuditingSource, false);
             return r;
         }},
        {"computer name without terminator",
         [] {
             RawRecord r;
             r.Text(testsupport::kAuditingSource);
             r.Text(L"HOST", false);
             return r;
         }},
        {"fewer strings than counted",
         [] {
             RawRecord r;
             r.Text(testsupport::kAuditingSource);
             r.Text(L"HOST");
             r.Header()->StringOffset = r.Text(L"one");
             r.Text(L"two");
             r.Header()->NumStrings = 3;
             return r;
         }},
        {"string offset past the record",
         [] {
             RawRecord r;
             r.Text(testsupport::kAuditingSource);
             r.Text(L"HOST");
             r.Header()->StringOffset = r.FramedLength() + 4;
             return r;
         }},
        {"string offset not on a character boundary",
         [] {
             RawRecord r;
             r.Text(testsupport::kAuditingSource);
             r.Text(L"HOST");
             r.Header()->StringOffset = r.Text(L"10") + 1;
             r.Header()->NumStrings = 1;
             return r;
         }},
    };
    OpenAfterNewest();
    for (const MalformedCase& c : cases) {
        SCOPED_TRACE(c.name);
        DWORD bad = winsim::AppendRawEventLogRecord(L"Security", c.build().bytes);
        AppendFailedLogon(L"198.51.100.10", 10);
        std::string out = Dump();
        EXPECT_EQ(0u, status_);
        std::string expected = std::string(kSeparator) + "Record " + std::to_string(bad) + kNotWithin + kSeparator +
                               "record number: " + std::to_string(bad + 1) + "\n";
        EXPECT_EQ(expected, out.substr(0, expected.size()));
    }
    EXPECT_EQ(0, winsim::LoadedDataFiles());
}

TEST_F(WatcherTest, SourceNamesOf255CharactersOrMoreAreSkipped) {
    OpenAfterNewest();
    std::wstring longest(254, L's');
    winsim::AppendEventLogRecord(L"Security", FailedLogon(L"198.51.100.10", 10, longest));
    winsim::AppendEventLogRecord(L"Security", FailedLogon(L"198.51.100.11", 10, longest + L"s"));
    std::string out = Dump();
    EXPECT_NE(std::string::npos, out.find("record number: 4\n"));
    std::string skipped = std::string(kSeparator) + "Record 5 skipped: its source name is too long for a message file key.\n";
    EXPECT_EQ(skipped, out.substr(out.size() - skipped.size()));
}

// ---- reading one record --------------------------------------------------------

TEST_F(WatcherTest, ReadRecordHoldsExactlyOneRecord) {
    AppendFailedLogon(L"198.51.100.10", 10);
    AppendFailedLogon(L"198.51.100.11", 10);
    log_ = OpenEventLogW(nullptr, L"Security");
    PBYTE record = nullptr;
    CaptureStdout();
    EXPECT_EQ(0u, ReadRecord(log_, &record, 2, kSeek));
    EXPECT_EQ("", Captured());
    ASSERT_NE(nullptr, record);
    const EVENTLOGRECORD* header = reinterpret_cast<const EVENTLOGRECORD*>(record);
    EXPECT_EQ(2u, header->RecordNumber);
    DWORD trailing;
    std::memcpy(&trailing, record + header->Length - sizeof(DWORD), sizeof trailing);
    EXPECT_EQ(header->Length, trailing);
    std::free(record);
    EXPECT_EQ(2, winsim::CallCount("ReadEventLogW"));  // the fixed-part try, then the exact size
}

TEST_F(WatcherTest, ReadRecordResults) {
    OpenAfterNewest(1);
    PBYTE record = nullptr;
    CaptureStdout();
    EXPECT_EQ(static_cast<DWORD>(ERROR_HANDLE_EOF), ReadRecord(log_, &record, 0, kSequential));
    EXPECT_EQ("", Captured());
    EXPECT_NE(nullptr, record);  // the caller frees it whatever the result
    std::free(record);

    CaptureStdout();
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), ReadRecord(log_, &record, 9, kSeek));
    EXPECT_EQ("ReadEventLog failed with 87.\n", Captured());
    std::free(record);

    winsim::FailCall("ReadEventLogW", ERROR_ACCESS_DENIED, 2);
    CaptureStdout();
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), ReadRecord(log_, &record, 1, kSeek));
    EXPECT_EQ("Second ReadEventLog failed with 5.\n", Captured());
    std::free(record);
}

TEST_F(WatcherTest, ReadRecordDistrustsASizeTooSmallForARecord) {
    OpenAfterNewest(1);
    PBYTE record = nullptr;
    // A failure that reports no size needed must not shrink the buffer away.
    winsim::FailCall("ReadEventLogW", ERROR_INSUFFICIENT_BUFFER);
    CaptureStdout();
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), ReadRecord(log_, &record, 1, kSeek));
    EXPECT_EQ("ReadEventLog failed with 13.\n", Captured());
    ASSERT_NE(nullptr, record);
    std::free(record);
    // Nor is a record taken whose Length reaches past the bytes read.
    winsim::ShortenNextEventLogRead(4);
    CaptureStdout();
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_DATA), ReadRecord(log_, &record, 1, kSeek));
    EXPECT_EQ("Second ReadEventLog failed with 13.\n", Captured());
    std::free(record);
}

TEST_F(WatcherTest, NewestRecordNumberIsOldestPlusCountMinusOne) {
    for (int i = 0; i < 5; ++i) AppendFailedLogon(L"198.51.100.10", 10);
    winsim::DiscardOldestEventLogRecords(L"Security", 2);
    log_ = OpenEventLogW(nullptr, L"Security");
    DWORD newest = 77;
    EXPECT_EQ(0u, GetLastRecordNumber(log_, &newest));
    EXPECT_EQ(5u, newest);

    for (const char* call : {"GetOldestEventLogRecord", "GetNumberOfEventLogRecords"}) {
        SCOPED_TRACE(call);
        winsim::FailCall(call, ERROR_ACCESS_DENIED);
        newest = 77;
        CaptureStdout();
        EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastRecordNumber(log_, &newest));
        EXPECT_EQ("GetOldestEventLogRecord failed with 5.\n", Captured());
        EXPECT_EQ(77u, newest);
    }
}

TEST_F(WatcherTest, DumpReadFailures) {
    OpenAfterNewest();
    winsim::FailCall("ReadEventLogW", ERROR_ACCESS_DENIED);
    EXPECT_EQ("ReadEventLog failed with 5.\nReadRecord (priming read) failed.\n", Dump());
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), status_);

    AppendFailedLogon(L"198.51.100.10", 10);
    AppendFailedLogon(L"198.51.100.11", 10);
    winsim::FailCall("ReadEventLogW", ERROR_ACCESS_DENIED, 3);  // the read after the first record
    std::string out = Dump();
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), status_);
    std::string tail = "ReadEventLog failed with 5.\nReadRecord sequential failed.\n";
    EXPECT_EQ(tail, out.substr(out.size() - tail.size()));
    EXPECT_EQ(std::vector<std::string>{"198.51.100.10"}, TrackedAddresses());
}

// ---- the worker thread -----------------------------------------------------------

const char kStart[] = "In thread...data in: Security\r\n";
const char kExit[] = "\r\nExiting WorkerThread()...\r\n";
const char kFirstWait[] = "Waiting for notification of new events (press any key to quit)...;;;;;;\n\n";
const char kNextWait[] = "\nWaiting for notification of new events (press any key to quit)...~~~~~~~~~~~~~~~~\n";

struct StartCase {
    const char* name;
    std::function<void()> arrange;
    std::string lines;  // between the start line and the exit line
};

TEST_F(WatcherTest, WorkerStartFailuresEndItWithExitCodeZero) {
    auto fail = [](const char* call, unsigned long code) { return [=] { winsim::FailCall(call, code); }; };
    auto withRecord = [](std::function<void()> then) {
        return [=] {
            AppendFailedLogon(L"198.51.100.10", 10);
            then();
        };
    };
    std::vector<StartCase> cases = {
        {"event", fail("CreateEventW", ERROR_NOT_ENOUGH_MEMORY), "CreateEvent failed with 8.\n"},
        {"log", fail("OpenEventLogW", ERROR_ACCESS_DENIED), "OpenEventLog failed with 0x5.\n"},
        {"empty log", [] {},
         "ReadEventLog failed with 87.\nReadRecord failed seeking to record 4294967295.\n"
         "SeekToLastRecord failed with 87.\n"},
        {"record count", withRecord(fail("GetNumberOfEventLogRecords", ERROR_ACCESS_DENIED)),
         "GetOldestEventLogRecord failed with 5.\nGetLastRecordNumber failed.\nSeekToLastRecord failed with 5.\n"},
        {"seek read", withRecord(fail("ReadEventLogW", ERROR_HANDLE_EOF)),
         "ReadRecord failed seeking to record 1.\nSeekToLastRecord failed with 38.\n"},
        {"registration", withRecord(fail("NotifyChangeEventLog", ERROR_ACCESS_DENIED)),
         "NotifyChangeEventLog failed with 5.\n"},
        {"wait", withRecord(fail("WaitForSingleObject", ERROR_INVALID_HANDLE)),
         std::string(kFirstWait) + "WaitForSingleObject failed with 6\n"},
        // Ends without a line; a worker that went on would wait again and fail there.
        {"unexpected wait result", withRecord([] {
             winsim::ForceNextWaitResult(WAIT_ABANDONED);
             winsim::FailCall("WaitForSingleObject", ERROR_INVALID_HANDLE, 2);
         }),
         kFirstWait},
    };
    for (const StartCase& c : cases) {
        SCOPED_TRACE(c.name);
        winsim::Reset();
        c.arrange();
        CaptureStdout();
        EXPECT_EQ(0u, WorkerThread(const_cast<wchar_t*>(L"Security")));
        EXPECT_EQ(kStart + c.lines + kExit, Captured());
        EXPECT_EQ(0, winsim::OpenEventLogHandles());
        EXPECT_EQ(0, winsim::OpenKernelHandles());
    }
}

// Runs WorkerThread on its own thread; Finish() waits for its end.
class WorkerRun {
public:
    WorkerRun() {
        thread_ = CreateThread(nullptr, 0, WorkerThread, const_cast<wchar_t*>(L"Security"), 0, nullptr);
        EXPECT_TRUE(testsupport::Eventually(SecurityLogAwaited));
    }
    DWORD Finish() {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread_, 10000));
        DWORD code = 1234;
        GetExitCodeThread(thread_, &code);
        CloseHandle(thread_);
        return code;
    }

private:
    HANDLE thread_;
};

TEST_F(WatcherTest, WorkerDumpsAtEachNotificationAndEndsOnAReadFailure) {
    AppendFailedLogon(L"198.51.100.1", 10);  // newest at the start: never examined
    CaptureStdout();
    WorkerRun worker;
    EXPECT_EQ(0, winsim::CallCount("ResetEvent"));  // no reset before the first wait
    const std::vector<HANDLE> notifyEvents = winsim::EventLogNotifyEvents(L"Security");
    bool manualReset = notifyEvents.size() == 1 && winsim::IsManualResetEvent(notifyEvents[0]);
    AppendFailedLogon(L"198.51.100.2", 10);
    EXPECT_TRUE(testsupport::Eventually([] { return winsim::CallCount("ResetEvent") == 1; }));
    // A write notifies the worker only while it waits.
    EXPECT_TRUE(testsupport::Eventually(SecurityLogAwaited));
    AppendFailedLogon(L"198.51.100.3", 10);
    EXPECT_TRUE(testsupport::Eventually([] { return winsim::CallCount("ResetEvent") == 2; }));
    EXPECT_EQ(std::vector<std::string>({"198.51.100.2", "198.51.100.3"}), TrackedAddresses());

    winsim::FailCall("ReadEventLogW", ERROR_ACCESS_DENIED, 3);
    EXPECT_TRUE(testsupport::Eventually(SecurityLogAwaited));
    AppendFailedLogon(L"198.51.100.4", 10);
    AppendFailedLogon(L"198.51.100.5", 10);
    EXPECT_EQ(0u, worker.Finish());
    std::string out = Captured();
    EXPECT_EQ(1u, notifyEvents.size());
    EXPECT_TRUE(manualReset) << "the worker's event is manual-reset";
    EXPECT_EQ(0u, out.find(std::string(kStart) + kFirstWait + kSeparator));
    EXPECT_EQ(2u, Count(out, kNextWait));
    std::string tail = "ReadEventLog failed with 5.\nReadRecord sequential failed.\nDumpNewRecords failed.\n" +
                       std::string(kExit);
    EXPECT_EQ(tail, out.substr(out.size() - tail.size()));
    EXPECT_EQ(3, g_blockInfoCount);
    EXPECT_EQ(0, winsim::OpenEventLogHandles());
    EXPECT_EQ(0, winsim::OpenKernelHandles());
}

}  // namespace
