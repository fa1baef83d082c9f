// Module file names, data-file libraries, message tables and FormatMessageW,
// and the expansion of environment-variable references.
#pragma once
#include <stdarg.h>

#include <winsim/types.h>

#define LOAD_LIBRARY_AS_DATAFILE 0x00000002

#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_STRING 0x00000400
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FF

#define RT_MESSAGETABLE MAKEINTRESOURCEW(11)

#define LANG_NEUTRAL 0x00
#define LANG_ENGLISH 0x09
#define SUBLANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#define SUBLANG_ENGLISH_US 0x01
#define MAKELANGID(primary, sub) ((((WORD)(sub)) << 10) | (WORD)(primary))

#ifdef __cplusplus
extern "C" {
#endif

// NULL (or the program's own instance) names the program's module image; its
// path is widened byte for character. A short buffer gets the first size-1
// characters and a terminator, the result is size, with ERROR_INSUFFICIENT_BUFFER.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);

// Only LOAD_LIBRARY_AS_DATAFILE: the file is read as a PE image for its
// resources; nothing of it runs. The path is taken as it stands (no search path).
HMODULE LoadLibraryExW(LPCWSTR fileName, HANDLE file, DWORD flags);
BOOL FreeLibrary(HMODULE module);

// Message tables of the module (NULL: the program's own image) and of the
// system. winsim's system message table is empty: a lookup there always fails
// with ERROR_MR_MID_NOT_FOUND.
DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPWSTR buffer, DWORD size,
                     va_list* arguments);

// %NAME% references, names matched without regard to case; unknown names stay
// as written. The result counts the terminator; too small a buffer gets nothing
// and the result is the size needed.
DWORD ExpandEnvironmentStringsW(LPCWSTR source, LPWSTR destination, DWORD size);

#ifdef __cplusplus
}
#endif
