// winsim's Application log: what ReportEventW records, and its handle checks.
#include <gtest/gtest.h>
#include <winsim/control.h>

namespace {

class WinsimEventLogWriteTest : public ::testing::Test {
protected:
    void SetUp() override { winsim::Reset(); }
};

TEST_F(WinsimEventLogWriteTest, RecordKeepsEverythingPassed) {
    HANDLE source = RegisterEventSourceW(nullptr, L"Test Source");
    ASSERT_NE(nullptr, source);
    LPCWSTR strings[] = {L"first", L"second"};
    BYTE data[] = {1, 2, 3};
    BYTE sid[8] = {};
    EXPECT_TRUE(ReportEventW(source, EVENTLOG_WARNING_TYPE, 2, 0x40000007, sid, 2, sizeof(data), strings, data));
    EXPECT_TRUE(DeregisterEventSource(source));
    std::vector<winsim::ReportedEvent> log = winsim::ApplicationLog();
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ(L"Test Source", log[0].source);
    EXPECT_EQ(EVENTLOG_WARNING_TYPE, log[0].type);
    EXPECT_EQ(2, log[0].category);
    EXPECT_EQ(0x40000007u, log[0].eventId);
    EXPECT_TRUE(log[0].userSid);
    EXPECT_EQ((std::vector<std::wstring>{L"first", L"second"}), log[0].strings);
    EXPECT_EQ((std::vector<BYTE>{1, 2, 3}), log[0].data);
}

TEST_F(WinsimEventLogWriteTest, DeregisteredHandleNoLongerWrites) {
    HANDLE source = RegisterEventSourceW(L"", L"Test Source");
    EXPECT_EQ(1, winsim::OpenEventSources());
    EXPECT_TRUE(DeregisterEventSource(source));
    EXPECT_EQ(0, winsim::OpenEventSources());
    EXPECT_FALSE(ReportEventW(source, EVENTLOG_INFORMATION_TYPE, 0, 3, nullptr, 0, 0, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_FALSE(DeregisterEventSource(source));
    EXPECT_TRUE(winsim::ApplicationLog().empty());
}

TEST_F(WinsimEventLogWriteTest, StringsAnnouncedButMissingAreInvalid) {
    HANDLE source = RegisterEventSourceW(nullptr, L"Test Source");
    EXPECT_FALSE(ReportEventW(source, EVENTLOG_INFORMATION_TYPE, 0, 5, nullptr, 1, 0, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    LPCWSTR strings[] = {L"one", nullptr};
    EXPECT_FALSE(ReportEventW(source, EVENTLOG_INFORMATION_TYPE, 0, 5, nullptr, 2, 0, strings, nullptr));
    EXPECT_TRUE(winsim::ApplicationLog().empty());
    DeregisterEventSource(source);
}

TEST_F(WinsimEventLogWriteTest, ResetEmptiesTheLogAndClosesSources) {
    HANDLE source = RegisterEventSourceW(nullptr, L"Test Source");
    ReportEventW(source, EVENTLOG_INFORMATION_TYPE, 0, 3, nullptr, 0, 0, nullptr, nullptr);
    winsim::Reset();
    EXPECT_TRUE(winsim::ApplicationLog().empty());
    EXPECT_EQ(0, winsim::OpenEventSources());
}

}  // namespace
