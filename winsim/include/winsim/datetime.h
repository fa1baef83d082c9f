// Local time and date formatting.
#pragma once
#include <winsim/types.h>

typedef struct _SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
} SYSTEMTIME, *LPSYSTEMTIME;

#define LOCALE_USER_DEFAULT 0x0400
#define DATE_SHORTDATE 0x00000001
#define DATE_LONGDATE 0x00000002

#ifdef __cplusplus
extern "C" {
#endif

void GetLocalTime(LPSYSTEMTIME lpSystemTime);
// Only the long date of the user default locale (English, United States):
// "dddd, MMMM d, yyyy".
int GetDateFormatW(LCID Locale, DWORD dwFlags, const SYSTEMTIME* lpDate, LPCWSTR lpFormat, LPWSTR lpDateStr,
                   int cchDate);

#ifdef __cplusplus
}
#endif
