// Local time and the long date format of the user default locale.
#include <windows.h>

#include <ctime>
#include <string>
#include <sys/time.h>

#include "internal.h"

namespace {

const wchar_t* const kDays[] = {L"Sunday", L"Monday", L"Tuesday", L"Wednesday", L"Thursday", L"Friday", L"Saturday"};
const wchar_t* const kMonths[] = {L"January", L"February", L"March",     L"April",   L"May",      L"June",
                                  L"July",    L"August",   L"September", L"October", L"November", L"December"};

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

bool IsValidDate(const SYSTEMTIME& date) {
    static const int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (date.wYear < 1601 || date.wYear > 30827 || date.wMonth < 1 || date.wMonth > 12 || date.wDay < 1) return false;
    const int days = kMonthDays[date.wMonth - 1] + (date.wMonth == 2 && IsLeap(date.wYear) ? 1 : 0);
    return date.wDay <= days;
}

// Day of the week of a valid date (0 = Sunday), by Sakamoto's method; the
// caller's wDayOfWeek is ignored, as Windows does.
int DayOfWeek(const SYSTEMTIME& date) {
    static const int kOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    int year = date.wYear - (date.wMonth < 3 ? 1 : 0);
    return (year + year / 4 - year / 100 + year / 400 + kOffsets[date.wMonth - 1] + date.wDay) % 7;
}

}  // namespace

extern "C" {

void GetLocalTime(LPSYSTEMTIME lpSystemTime) {
    unsigned long code = 0;
    winsim::detail::InjectedFailure("GetLocalTime", &code);  // counted only: it cannot fail
    struct timeval now;
    gettimeofday(&now, nullptr);
    struct tm local;
    localtime_r(&now.tv_sec, &local);
    lpSystemTime->wYear = static_cast<WORD>(local.tm_year + 1900);
    lpSystemTime->wMonth = static_cast<WORD>(local.tm_mon + 1);
    lpSystemTime->wDayOfWeek = static_cast<WORD>(local.tm_wday);
    lpSystemTime->wDay = static_cast<WORD>(local.tm_mday);
    lpSystemTime->wHour = static_cast<WORD>(local.tm_hour);
    lpSystemTime->wMinute = static_cast<WORD>(local.tm_min);
    lpSystemTime->wSecond = static_cast<WORD>(local.tm_sec);
    lpSystemTime->wMilliseconds = static_cast<WORD>(now.tv_usec / 1000);
}

int GetDateFormatW(LCID Locale, DWORD dwFlags, const SYSTEMTIME* lpDate, LPCWSTR lpFormat, LPWSTR lpDateStr,
                   int cchDate) {
    unsigned long code = 0;
    if (winsim::detail::InjectedFailure("GetDateFormatW", &code)) {
        SetLastError(code);
        return 0;
    }
    if (Locale != LOCALE_USER_DEFAULT || dwFlags != DATE_LONGDATE || lpFormat) {
        winsim::detail::Unimplemented("GetDateFormatW", "only the long date of the user default locale");
    }
    SYSTEMTIME date;
    if (lpDate) {
        date = *lpDate;
    } else {
        GetLocalTime(&date);
    }
    if (!IsValidDate(date) || cchDate < 0 || (cchDate > 0 && !lpDateStr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::wstring text = std::wstring(kDays[DayOfWeek(date)]) + L", " + kMonths[date.wMonth - 1] + L" " +
                              std::to_wstring(date.wDay) + L", " + std::to_wstring(date.wYear);
    const int needed = static_cast<int>(text.size()) + 1;
    if (cchDate == 0) return needed;
    if (cchDate < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    text.copy(lpDateStr, text.size());
    lpDateStr[text.size()] = L'\0';
    return needed;
}

}  // extern "C"
