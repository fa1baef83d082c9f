// winsim's event logs as the reading calls and the test controls see them.
#include <gtest/gtest.h>
#include <winsim/control.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "eventually.h"

namespace {

const DWORD kSeek = EVENTLOG_SEEK_READ | EVENTLOG_FORWARDS_READ;
const DWORD kSequential = EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ;

class EventLogReadTest : public ::testing::Test {
protected:
    void SetUp() override { winsim::Reset(); }
    void TearDown() override {
        if (log_) CloseEventLog(log_);
    }

    HANDLE Open(const wchar_t* name = L"Security") {
        log_ = OpenEventLogW(nullptr, name);
        return log_;
    }

    static DWORD Append(DWORD eventId, std::vector<std::wstring> strings = {}) {
        winsim::EventLogEntry entry;
        entry.eventId = eventId;
        entry.source = L"S";
        entry.computer = L"C";
        entry.strings = std::move(strings);
        return winsim::AppendEventLogRecord(L"Security", entry);
    }

    // One read into a buffer of the given size: the error (0 on success),
    // the bytes and the size reported as needed.
    struct Read {
        DWORD error;
        std::vector<BYTE> bytes;
        DWORD needed;
    };
    static Read ReadWith(HANDLE log, DWORD flags, DWORD number, DWORD size) {
        std::vector<BYTE> buffer(size + 1);
        DWORD read = 0xAAAA;
        DWORD needed = 0xAAAA;
        BOOL ok = ReadEventLogW(log, flags, number, buffer.data(), size, &read, &needed);
        Read result{ok ? 0 : GetLastError(), {}, needed};
        if (ok) result.bytes.assign(buffer.begin(), buffer.begin() + read);
        return result;
    }
    // One record, read as the watcher does: a fixed-part try, then the size needed.
    static Read ReadOne(HANDLE log, DWORD flags, DWORD number) {
        Read first = ReadWith(log, flags, number, sizeof(EVENTLOGRECORD));
        if (first.error != ERROR_INSUFFICIENT_BUFFER) return first;
        return ReadWith(log, flags, number, first.needed);
    }
    static DWORD NumberOf(const std::vector<BYTE>& record) {
        return reinterpret_cast<const EVENTLOGRECORD*>(record.data())->RecordNumber;
    }

    HANDLE log_ = nullptr;
};

DWORD DwordAt(const std::vector<BYTE>& bytes, size_t offset) {
    DWORD value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

std::wstring TextAt(const std::vector<BYTE>& bytes, size_t offset) {
    return reinterpret_cast<const wchar_t*>(bytes.data() + offset);
}

// Polls until the given number of threads waits on the object.
bool WaitersReach(HANDLE object, int count) {
    return testsupport::Eventually([&] { return winsim::WaitingThreads(object) == count; });
}

TEST_F(EventLogReadTest, RecordHasTheWindowsLayout) {
    winsim::EventLogEntry entry;
    entry.eventId = 4625;
    entry.source = L"Source";
    entry.computer = L"HOST";
    entry.strings = {L"first", L"", L"third"};
    entry.data = {1, 2, 3};
    winsim::AppendEventLogRecord(L"Security", entry);
    ASSERT_NE(nullptr, Open());
    Read read = ReadWith(log_, kSeek, 1, 4096);
    ASSERT_EQ(0u, read.error);
    const std::vector<BYTE>& r = read.bytes;
    const EVENTLOGRECORD* header = reinterpret_cast<const EVENTLOGRECORD*>(r.data());
    EXPECT_EQ(56u, sizeof(EVENTLOGRECORD));
    EXPECT_EQ(r.size(), header->Length);
    EXPECT_EQ(0u, header->Length % 4);
    EXPECT_EQ(header->Length, DwordAt(r, r.size() - 4));
    EXPECT_EQ(static_cast<DWORD>(ELF_LOG_SIGNATURE), header->Reserved);
    EXPECT_EQ(1u, header->RecordNumber);
    EXPECT_EQ(4625u, header->EventID);
    EXPECT_EQ(0x10, header->EventType);
    EXPECT_EQ(3, header->NumStrings);
    EXPECT_EQ(L"Source", TextAt(r, 56));
    EXPECT_EQ(L"HOST", TextAt(r, 56 + 7 * sizeof(WCHAR)));
    EXPECT_EQ(0u, header->UserSidOffset % 4);
    EXPECT_EQ(0u, header->UserSidLength);
    EXPECT_EQ(header->UserSidOffset + header->UserSidLength, header->StringOffset);
    EXPECT_EQ(L"first", TextAt(r, header->StringOffset));
    EXPECT_EQ(L"", TextAt(r, header->StringOffset + 6 * sizeof(WCHAR)));
    EXPECT_EQ(L"third", TextAt(r, header->StringOffset + 7 * sizeof(WCHAR)));
    EXPECT_EQ(header->StringOffset + 13 * sizeof(WCHAR), header->DataOffset);
    ASSERT_EQ(3u, header->DataLength);
    EXPECT_EQ(std::vector<BYTE>({1, 2, 3}), std::vector<BYTE>(r.begin() + header->DataOffset, r.begin() + header->DataOffset + 3));
    EXPECT_GE(header->Length - 4, header->DataOffset + header->DataLength);  // padded before the trailing Length
}

TEST_F(EventLogReadTest, RawRecordIsFramedByTheLog) {
    Append(1);
    std::vector<BYTE> content(62, 0x5A);
    DWORD number = winsim::AppendRawEventLogRecord(L"Security", content);
    EXPECT_EQ(2u, number);
    winsim::AppendRawEventLogRecord(L"Security", {0x11, 0, 0, 0, 0x22});
    ASSERT_NE(nullptr, Open());
    Read raw = ReadOne(log_, kSeek, 2);
    ASSERT_EQ(0u, raw.error);
    ASSERT_EQ(68u, raw.bytes.size());  // 62 padded to 64, then Length
    EXPECT_EQ(68u, DwordAt(raw.bytes, 0));
    EXPECT_EQ(0x5A5A5A5Au, DwordAt(raw.bytes, 4));
    EXPECT_EQ(2u, NumberOf(raw.bytes));
    EXPECT_EQ(0x5A5A5A5Au, DwordAt(raw.bytes, 12));
    EXPECT_EQ(0x5A5Au, DwordAt(raw.bytes, 60));
    EXPECT_EQ(68u, DwordAt(raw.bytes, 64));
    Read tiny = ReadOne(log_, kSeek, 3);
    ASSERT_EQ(0u, tiny.error);
    ASSERT_EQ(60u, tiny.bytes.size());
    EXPECT_EQ(0x22u, DwordAt(tiny.bytes, 4));  // the rest filled with zeros
}

TEST_F(EventLogReadTest, NumbersRunWithoutGapsFromTheOldest) {
    ASSERT_NE(nullptr, Open());
    DWORD oldest = 99;
    DWORD count = 99;
    ASSERT_TRUE(GetOldestEventLogRecord(log_, &oldest));
    ASSERT_TRUE(GetNumberOfEventLogRecords(log_, &count));
    EXPECT_EQ(0u, oldest);  // an empty log
    EXPECT_EQ(0u, count);
    for (DWORD i = 1; i <= 5; ++i) EXPECT_EQ(i, Append(1));
    winsim::DiscardOldestEventLogRecords(L"Security", 2);
    EXPECT_EQ(6u, Append(1));
    ASSERT_TRUE(GetOldestEventLogRecord(log_, &oldest));
    ASSERT_TRUE(GetNumberOfEventLogRecords(log_, &count));
    EXPECT_EQ(3u, oldest);
    EXPECT_EQ(4u, count);
}

TEST_F(EventLogReadTest, SmallBufferReportsTheNextRecordsSizeAndKeepsThePosition) {
    Append(1, {L"a long insert string that makes the record larger"});
    Append(2);
    ASSERT_NE(nullptr, Open());
    Read small = ReadWith(log_, kSeek, 1, 56);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), small.error);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), ReadWith(log_, kSeek, 1, small.needed - 1).error);
    Read exact = ReadWith(log_, kSeek, 1, small.needed);
    ASSERT_EQ(0u, exact.error);
    ASSERT_EQ(small.needed, exact.bytes.size());
    EXPECT_EQ(small.needed, DwordAt(exact.bytes, 0));
    EXPECT_EQ(1u, NumberOf(exact.bytes));
    // A failed sequential read leaves the position where it was.
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), ReadWith(log_, kSequential, 0, 56).error);
    Read next = ReadWith(log_, kSequential, 0, 4096);
    ASSERT_EQ(0u, next.error);
    EXPECT_EQ(2u, NumberOf(next.bytes));
}

TEST_F(EventLogReadTest, ReadsTakeWholeRecordsOnlyAsManyAsFit) {
    Append(1);
    Append(2);
    Append(3);
    ASSERT_NE(nullptr, Open());
    Read one = ReadOne(log_, kSeek, 1);
    DWORD size = static_cast<DWORD>(one.bytes.size());
    Read two = ReadWith(log_, kSeek, 1, 3 * size - 1);
    ASSERT_EQ(0u, two.error);
    EXPECT_EQ(2 * size, two.bytes.size());
    Read rest = ReadWith(log_, kSequential, 0, 4096);
    ASSERT_EQ(0u, rest.error);
    EXPECT_EQ(size, rest.bytes.size());
    EXPECT_EQ(3u, NumberOf(rest.bytes));
    EXPECT_EQ(static_cast<DWORD>(ERROR_HANDLE_EOF), ReadWith(log_, kSequential, 0, 4096).error);
}

TEST_F(EventLogReadTest, SequentialReadsStartAtTheOldestAndGoOnAfterNewWrites) {
    Append(1);
    Append(2);
    winsim::DiscardOldestEventLogRecords(L"Security", 1);
    ASSERT_NE(nullptr, Open());
    Read first = ReadOne(log_, kSequential, 77);
    ASSERT_EQ(0u, first.error);
    EXPECT_EQ(2u, NumberOf(first.bytes));  // the record number is ignored
    EXPECT_EQ(static_cast<DWORD>(ERROR_HANDLE_EOF), ReadWith(log_, kSequential, 0, 200).error);
    Append(3);
    Read later = ReadOne(log_, kSequential, 0);
    ASSERT_EQ(0u, later.error);
    EXPECT_EQ(3u, NumberOf(later.bytes));
    Append(4);
    Append(5);
    winsim::DiscardOldestEventLogRecords(L"Security", 3);  // 4, the next to read, is overwritten
    EXPECT_DEATH(ReadWith(log_, kSequential, 0, 4096), "ReadEventLogW .*next record has been overwritten");
}

TEST_F(EventLogReadTest, EachHandleHasItsOwnPosition) {
    for (DWORD i = 0; i < 4; ++i) Append(i);
    ASSERT_NE(nullptr, Open());
    HANDLE other = OpenEventLogW(nullptr, L"security");
    ASSERT_NE(nullptr, other);
    EXPECT_EQ(2, winsim::OpenEventLogHandles());
    ASSERT_EQ(0u, ReadOne(log_, kSeek, 3).error);
    Read mine = ReadOne(log_, kSequential, 0);
    Read theirs = ReadOne(other, kSequential, 0);
    EXPECT_EQ(4u, NumberOf(mine.bytes));
    EXPECT_EQ(1u, NumberOf(theirs.bytes));
    EXPECT_TRUE(CloseEventLog(other));
    EXPECT_EQ(1, winsim::OpenEventLogHandles());
    EXPECT_FALSE(CloseEventLog(other));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}

TEST_F(EventLogReadTest, SeekToARecordThatIsNotThereIsAnInvalidParameter) {
    ASSERT_NE(nullptr, Open());
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), ReadWith(log_, kSeek, 0xFFFFFFFFu, 200).error);
    for (DWORD i = 0; i < 3; ++i) Append(i);
    winsim::DiscardOldestEventLogRecords(L"Security", 1);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), ReadWith(log_, kSeek, 1, 200).error);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), ReadWith(log_, kSeek, 4, 200).error);
    EXPECT_EQ(0u, ReadOne(log_, kSeek, 3).error);
    EXPECT_EQ(static_cast<DWORD>(ERROR_HANDLE_EOF), ReadWith(log_, kSequential, 0, 200).error);
}

TEST_F(EventLogReadTest, FlagsMustNameOneModeAndOneDirectionAndNothingElse) {
    Append(1);
    ASSERT_NE(nullptr, Open());
    const DWORD both = EVENTLOG_FORWARDS_READ | EVENTLOG_BACKWARDS_READ;
    const DWORD refused[] = {EVENTLOG_SEEK_READ | EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ,
                             EVENTLOG_FORWARDS_READ, EVENTLOG_SEEK_READ, EVENTLOG_SEEK_READ | both,
                             EVENTLOG_SEQUENTIAL_READ | both, kSeek | 0x10, kSequential | 0x80000000u};
    for (DWORD flags : refused) {
        SCOPED_TRACE(flags);
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), ReadWith(log_, flags, 1, 200).error);
    }
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), ReadWith(log_, kSeek, 1, 0x80000).error);
    // The largest buffer is taken, and refused reads left the position at the oldest.
    Read first = ReadWith(log_, kSequential, 0, 0x7FFFF);
    ASSERT_EQ(0u, first.error);
    EXPECT_EQ(1u, NumberOf(first.bytes));
}

TEST_F(EventLogReadTest, EveryWritePulsesTheRegisteredEventUntilTheHandleCloses) {
    ASSERT_NE(nullptr, Open());
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(NotifyChangeEventLog(log_, event));
    EXPECT_EQ(std::vector<HANDLE>{event}, winsim::EventLogNotifyEvents(L"security"));
    Append(1);  // no thread waits: nothing is released, nothing stays signalled
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event, 0));
    DWORD results[2] = {0xAAAA, 0xAAAA};
    std::thread first([&] { results[0] = WaitForSingleObject(event, 10000); });
    std::thread second([&] { results[1] = WaitForSingleObject(event, 10000); });
    EXPECT_TRUE(WaitersReach(event, 2));  // no ASSERT while threads are to be joined
    winsim::EventLogEntry other;
    winsim::AppendEventLogRecord(L"System", other);
    EXPECT_EQ(2, winsim::WaitingThreads(event));
    Append(2);  // releases both waiters at once
    EXPECT_EQ(0, winsim::WaitingThreads(event));
    first.join();
    second.join();
    EXPECT_EQ(WAIT_OBJECT_0, results[0]);
    EXPECT_EQ(WAIT_OBJECT_0, results[1]);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event, 0));
    CloseEventLog(log_);
    log_ = nullptr;
    EXPECT_TRUE(winsim::EventLogNotifyEvents(L"Security").empty());
    std::thread late([&] { results[0] = WaitForSingleObject(event, 10000); });
    EXPECT_TRUE(WaitersReach(event, 1));
    Append(3);
    EXPECT_EQ(1, winsim::WaitingThreads(event));
    SetEvent(event);
    late.join();
    CloseHandle(event);
}

TEST_F(EventLogReadTest, ClearedLogNumbersFromOneAndHandlesOpenedBeforeCannotReadIt) {
    for (DWORD i = 0; i < 3; ++i) Append(i);
    winsim::DiscardOldestEventLogRecords(L"Security", 1);
    ASSERT_NE(nullptr, Open());
    HANDLE clearing = OpenEventLogW(nullptr, L"Security");
    ASSERT_EQ(0u, ReadOne(log_, kSequential, 0).error);
    ASSERT_TRUE(ClearEventLogW(clearing, nullptr));
    EXPECT_EQ(1u, Append(7));
    DWORD value = 99;
    for (HANDLE before : {log_, clearing}) {
        EXPECT_EQ(static_cast<DWORD>(ERROR_EVENTLOG_FILE_CHANGED), ReadWith(before, kSequential, 0, 4096).error);
        EXPECT_EQ(static_cast<DWORD>(ERROR_EVENTLOG_FILE_CHANGED), ReadWith(before, kSeek, 1, 4096).error);
        EXPECT_FALSE(GetOldestEventLogRecord(before, &value));
        EXPECT_EQ(static_cast<DWORD>(ERROR_EVENTLOG_FILE_CHANGED), GetLastError());
        EXPECT_FALSE(GetNumberOfEventLogRecords(before, &value));
        EXPECT_EQ(static_cast<DWORD>(ERROR_EVENTLOG_FILE_CHANGED), GetLastError());
    }
    EXPECT_TRUE(CloseEventLog(clearing));
    HANDLE after = OpenEventLogW(nullptr, L"Security");
    ASSERT_TRUE(GetOldestEventLogRecord(after, &value));
    EXPECT_EQ(1u, value);
    ASSERT_TRUE(GetNumberOfEventLogRecords(after, &value));
    EXPECT_EQ(1u, value);
    Read first = ReadOne(after, kSequential, 0);
    ASSERT_EQ(0u, first.error);
    EXPECT_EQ(1u, NumberOf(first.bytes));
    EXPECT_EQ(7u, reinterpret_cast<const EVENTLOGRECORD*>(first.bytes.data())->EventID);
    CloseEventLog(after);
}

TEST_F(EventLogReadTest, InjectedFailuresAndReset) {
    Append(1);
    winsim::FailCall("OpenEventLogW", ERROR_ACCESS_DENIED);
    EXPECT_EQ(nullptr, OpenEventLogW(nullptr, L"Security"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    ASSERT_NE(nullptr, Open());
    winsim::FailCall("ReadEventLogW", ERROR_NOT_SUPPORTED);
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_SUPPORTED), ReadWith(log_, kSeek, 1, 200).error);
    winsim::FailCall("NotifyChangeEventLog", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(NotifyChangeEventLog(log_, nullptr));
    winsim::Reset();
    EXPECT_EQ(0, winsim::OpenEventLogHandles());
    log_ = Open();
    DWORD count = 9;
    ASSERT_TRUE(GetNumberOfEventLogRecords(log_, &count));
    EXPECT_EQ(0u, count);
}

}  // namespace
