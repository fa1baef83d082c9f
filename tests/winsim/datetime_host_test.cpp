// winsim's long date: the English (United States) form, weekday included.
#include <gtest/gtest.h>
#include <windows.h>

namespace {

std::wstring LongDate(WORD year, WORD month, WORD day) {
    SYSTEMTIME date = {};
    date.wYear = year;
    date.wMonth = month;
    date.wDay = day;
    date.wDayOfWeek = 6;  // ignored
    WCHAR text[512];
    if (!GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &date, nullptr, text, 512)) return L"<failed>";
    return text;
}

TEST(WinsimDateTest, LongDateNamesWeekdayMonthDayAndYear) {
    EXPECT_EQ(L"Tuesday, March 5, 2024", LongDate(2024, 3, 5));
    EXPECT_EQ(L"Thursday, February 29, 2024", LongDate(2024, 2, 29));
    EXPECT_EQ(L"Sunday, December 31, 2023", LongDate(2023, 12, 31));
    EXPECT_EQ(L"Monday, January 1, 1601", LongDate(1601, 1, 1));
    EXPECT_EQ(L"<failed>", LongDate(2023, 2, 29));
}

}  // namespace
