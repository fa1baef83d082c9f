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
} SYSTEMTIME, *PSYSTEMTIME, *LPSYSTEMTIME;

#define LOCALE_SYSTEM_DEFAULT 0x0800
#define LOCALE_USER_DEFAULT 0x0400

#define DATE_SHORTDATE 0x00000001
#define DATE_LONGDATE 0x00000002

#ifdef __cplusplus
extern "C" {
#endif

void GetLocalTime(LPSYSTEMTIME time);

// English (United States) only, and only DATE_LONGDATE without a picture:
// "Tuesday, December 8, 2026". NULL date: the current local time. The result
// counts the terminator; size 0 asks for the size needed.
int GetDateFormatW(LCID locale, DWORD flags, const SYSTEMTIME* date, LPCWSTR format, LPWSTR dateText, int size);

#ifdef __cplusplus
}
#endif
