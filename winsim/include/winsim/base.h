// Last-error value, local heap and wsprintfW: the kernel32/user32 basics.
#pragma once
#include <winsim/errors.h>
#include <winsim/types.h>

#ifdef __cplusplus
extern "C" {
#endif

DWORD GetLastError(void);
void SetLastError(DWORD error);

#define LMEM_FIXED 0x0000
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
HLOCAL LocalFree(HLOCAL mem);

// Windows semantics: %s and %ls/%ws take wide text, %S and %hs narrow text,
// %c a wide character, %C a narrow one; l on integers means 32 bits.
// The result is cut at 1024 characters, as on Windows.
int wsprintfW(LPWSTR buffer, LPCWSTR format, ...);

#ifdef __cplusplus
}
#endif
