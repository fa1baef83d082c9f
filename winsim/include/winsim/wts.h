// Terminal services message to a session (wtsapi32).
#pragma once
#include <winsim/types.h>

#define WTS_CURRENT_SERVER_HANDLE ((HANDLE)NULL)
#define WTS_CURRENT_SESSION ((DWORD)-1)

#ifdef __cplusplus
extern "C" {
#endif

BOOL WTSSendMessageW(HANDLE server, DWORD sessionId, LPWSTR title, DWORD titleLength, LPWSTR message,
                     DWORD messageLength, DWORD style, DWORD timeout, DWORD* response, BOOL wait);

#ifdef __cplusplus
}
#endif
