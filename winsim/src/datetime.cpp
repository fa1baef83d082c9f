// GetLocalTime from the host clock (or a time fixed by a test) and the
// English (United States) long date of GetDateFormatW.
#include <winsim/control.h>

#include <sys/time.h>

#include <ctime>
#include <mutex>
#include <string>

#include "internal.h"

namespace {

struct ClockState {
    std::mutex mutex;
    bool fixed = false;
    SYSTEMTIME time{};
};

ClockState& Clock() {
    static ClockState& state = *new ClockState;  // never destroyed: threads may outlive main
    static bool hooked = (winsim::detail::OnReset([] {
                              std::lock_guard<std::mutex> lock(state.mutex);
                              state.fixed = false;
                          }),
                          true);
    (void)hooked;
    return state;
}

bool LeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && LeapYear(year) ? 29 : days[month - 1];
}

// Windows' SYSTEMTIME range: years 1601 to 30827.
bool ValidDate(const SYSTEMTIME& date) {
    return date.wYear >= 1601 && date.wYear <= 30827 && date.wMonth >= 1 && date.wMonth <= 12 && date.wDay >= 1 &&
           date.wDay <= DaysInMonth(date.wYear, date.wMonth);
}

// 0 is Sunday; the weekday comes from the date, not from wDayOfWeek.
int DayOfWeek(int year, int month, int day) {
    static const int offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (month < 3) year -= 1;
    return (year + year / 4 - year / 100 + year / 400 + offsets[month - 1] + day) % 7;
}

std::wstring LongDate(const SYSTEMTIME& date) {
    static const wchar_t* const days[] = {L"Sunday",   L"Monday", L"Tuesday", L"Wednesday",
                                          L"Thursday", L"Friday", L"Saturday"};
    static const wchar_t* const months[] = {L"January", L"February", L"March",     L"April",
                                            L"May",     L"June",     L"July",      L"August",
                                            L"September", L"October", L"November", L"December"};
    return std::wstring(days[DayOfWeek(date.wYear, date.wMonth, date.wDay)]) + L", " + months[date.wMonth - 1] +
           L" " + std::to_wstring(date.wDay) + L", " + std::to_wstring(date.wYear);
}

}  // namespace

extern "C" {

void GetLocalTime(LPSYSTEMTIME time) {
    ClockState& clock = Clock();
    {
        std::lock_guard<std::mutex> lock(clock.mutex);
        if (clock.fixed) {
            *time = clock.time;
            return;
        }
    }
    struct timeval now;
    gettimeofday(&now, nullptr);
    struct tm local;
    localtime_r(&now.tv_sec, &local);
    time->wYear = static_cast<WORD>(local.tm_year + 1900);
    time->wMonth = static_cast<WORD>(local.tm_mon + 1);
    time->wDayOfWeek = static_cast<WORD>(local.tm_wday);
    time->wDay = static_cast<WORD>(local.tm_mday);
    time->wHour = static_cast<WORD>(local.tm_hour);
    time->wMinute = static_cast<WORD>(local.tm_min);
    time->wSecond = static_cast<WORD>(local.tm_sec);
    time->wMilliseconds = static_cast<WORD>(now.tv_usec / 1000);
}

int GetDateFormatW(LCID locale, DWORD flags, const SYSTEMTIME* date, LPCWSTR format, LPWSTR dateText, int size) {
    unsigned long code = 0;
    if (winsim::detail::InjectedFailure("GetDateFormatW", &code)) {
        SetLastError(code);
        return 0;
    }
    if (locale != LOCALE_USER_DEFAULT && locale != LOCALE_SYSTEM_DEFAULT && locale != 0x0409)
        winsim::detail::Unimplemented("GetDateFormatW", "locales other than English (United States)");
    if (flags != DATE_LONGDATE || format) winsim::detail::Unimplemented("GetDateFormatW", "anything but DATE_LONGDATE");
    SYSTEMTIME when;
    if (date) {
        when = *date;
    } else {
        GetLocalTime(&when);
    }
    if (!ValidDate(when) || size < 0 || (size > 0 && !dateText)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::wstring text = LongDate(when);
    int needed = static_cast<int>(text.size() + 1);
    if (size == 0) return needed;
    if (size < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    text.copy(dateText, text.size());
    dateText[text.size()] = L'\0';
    return needed;
}

}  // extern "C"

namespace winsim {

void FixLocalTime(const SYSTEMTIME& time) {
    ClockState& clock = Clock();
    std::lock_guard<std::mutex> lock(clock.mutex);
    clock.fixed = true;
    clock.time = time;
}

}  // namespace winsim
