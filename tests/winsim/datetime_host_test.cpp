// winsim's local time control and the long date's calendar.
#include <gtest/gtest.h>
#include <winsim/control.h>

#include <cstring>

namespace {

class WinsimDateTimeTest : public ::testing::Test {
protected:
    void SetUp() override { winsim::Reset(); }
    static std::wstring LongDate(const SYSTEMTIME* date) {
        WCHAR text[64];
        return GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, date, nullptr, text, 64) ? text : L"<failed>";
    }
};

TEST_F(WinsimDateTimeTest, FixedTimeIsReturnedAndFormattedUntilReset) {
    SYSTEMTIME fixed = {2026, 12, 2, 8, 23, 59, 58, 999};
    winsim::FixLocalTime(fixed);
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(0, std::memcmp(&fixed, &now, sizeof(now)));
    EXPECT_EQ(L"Tuesday, December 8, 2026", LongDate(nullptr));
    winsim::Reset();
    GetLocalTime(&now);
    EXPECT_GE(now.wYear, 2024);
}

TEST_F(WinsimDateTimeTest, WeekdayComesFromTheDateAlone) {
    SYSTEMTIME wrongWeekday = {2000, 1, 5, 1, 0, 0, 0, 0};
    EXPECT_EQ(L"Saturday, January 1, 2000", LongDate(&wrongWeekday));
    SYSTEMTIME earliest = {1601, 1, 0, 1, 0, 0, 0, 0};
    EXPECT_EQ(L"Monday, January 1, 1601", LongDate(&earliest));
}

TEST_F(WinsimDateTimeTest, CenturyLeapRules) {
    SYSTEMTIME leap2000 = {2000, 2, 0, 29, 0, 0, 0, 0};
    SYSTEMTIME none1900 = {1900, 2, 0, 29, 0, 0, 0, 0};
    SYSTEMTIME badMonth = {2026, 13, 0, 1, 0, 0, 0, 0};
    EXPECT_EQ(L"Tuesday, February 29, 2000", LongDate(&leap2000));
    EXPECT_EQ(L"<failed>", LongDate(&none1900));
    EXPECT_EQ(L"<failed>", LongDate(&badMonth));
}

}  // namespace
