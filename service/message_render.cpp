// Rendering a Security-log record's message text from its source's message
// file, and reading the logon type out of that text.
#include "message_render.h"

#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "../common/settings.h"

#define MESSAGE_FILE_KEY_FORMAT L"SYSTEM\\CurrentControlSet\\Services\\Eventlog\\%ws\\%ws"
#define EXPANDED_CHARS 2048
#define MAX_INSERTS 99
#define PLACEHOLDER_CHARS 512
#define LOGON_TYPE_LABEL L"Logon Type:\t"
#define LOGON_TYPE_CHARS 256

// Reads "EventMessageFile" of the open key into a zero-filled block of twice
// the reported size plus 4 bytes, so the text is terminated even when the
// stored value is not. Null when the value can't be read.
static LPWSTR ReadMessageFileValue(HKEY key) {
    DWORD size = 0;
    RegQueryValueExW(key, L"EventMessageFile", NULL, NULL, NULL, &size);
    LPWSTR value = (LPWSTR)LocalAlloc(LPTR, (SIZE_T)size * 2 + 4);
    if (value == NULL) return NULL;
    if (RegQueryValueExW(key, L"EventMessageFile", NULL, NULL, (LPBYTE)value, &size) != ERROR_SUCCESS) {
        LocalFree(value);
        return NULL;
    }
    return value;
}

// The first file of a ";"-separated list, terminated in place; null when the
// list names none.
static LPWSTR FirstFileName(LPWSTR list) {
    while (*list == L';') ++list;
    if (*list == L'\0') return NULL;
    LPWSTR end = wcschr(list, L';');
    if (end != NULL) *end = L'\0';
    return list;
}

HMODULE LookupMessageFile(LPCWSTR logName, LPCWSTR sourceName, int* dwFileNumber) {
    WCHAR keyPath[1024];
    wsprintfW(keyPath, MESSAGE_FILE_KEY_FORMAT, logName, sourceName);
    HKEY key = NULL;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        printf("Cannot find message file key for \"%ls\"", keyPath);
        return NULL;
    }
    LPWSTR value = ReadMessageFileValue(key);
    RegCloseKey(key);
    if (value == NULL) return NULL;

    // A path longer than the buffer is a failed expansion, never a cut-off path.
    WCHAR expanded[EXPANDED_CHARS];
    DWORD expandedChars = ExpandEnvironmentStringsW(value, expanded, EXPANDED_CHARS);
    if (expandedChars == 0 || expandedChars > EXPANDED_CHARS) {
        printf("Cannot expand string: \"%ls\"", value);
        LocalFree(value);
        return NULL;
    }
    LocalFree(value);

    LPWSTR fileName = FirstFileName(expanded);
    if (fileName == NULL) {
        printf("Token Count: %d\r\n", 0);
        return NULL;
    }
    HMODULE module = LoadLibraryExW(fileName, NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (module == NULL) *dwFileNumber = 1;
    return module;
}

// Fills slots 1 to insertCount (at most 99) with the record's consecutive
// strings, and every further slot n with the text "%n" from the placeholder
// buffer, so that a reference the record doesn't carry shows unchanged.
static void FillInsertArray(DWORD_PTR* slots, DWORD insertCount, LPCWSTR insertStrings, LPWSTR placeholders) {
    DWORD filled = insertCount < MAX_INSERTS ? insertCount : MAX_INSERTS;
    LPCWSTR text = insertStrings;
    for (DWORD n = 1; n <= filled; ++n) {
        slots[n - 1] = (DWORD_PTR)text;
        text += wcslen(text) + 1;
    }
    LPWSTR next = placeholders;
    for (DWORD n = filled + 1; n <= MAX_INSERTS; ++n) {
        int written = wsprintfW(next, L"%%%lu", (DWORD)n);
        slots[n - 1] = (DWORD_PTR)next;
        next += written + 1;
    }
}

LPWSTR GetMessageString(HMODULE hResource, DWORD messageId, DWORD insertCount, LPCWSTR insertStrings) {
    if (hResource == NULL) printf("hResource is NULL.  Lookup of messages will not be possible.\r\n");
    DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER;
    DWORD_PTR* slots = NULL;
    WCHAR placeholders[PLACEHOLDER_CHARS] = {0};
    if (insertCount != 0) {
        slots = (DWORD_PTR*)LocalAlloc(LPTR, MAX_INSERTS * sizeof(DWORD_PTR));
        if (slots == NULL) {
            flags |= FORMAT_MESSAGE_IGNORE_INSERTS;
            printf("Failed to allocate memory for the insert string array.\n");
        } else {
            flags |= FORMAT_MESSAGE_ARGUMENT_ARRAY;
            FillInsertArray(slots, insertCount, insertStrings, placeholders);
        }
    }
    LPWSTR text = NULL;
    if (FormatMessageW(flags, hResource, messageId, 0, (LPWSTR)&text, 0, (va_list*)slots) == 0) {
        printf("Format message failed with %lu\n", (unsigned long)GetLastError());
        text = NULL;
    }
    if (slots != NULL) LocalFree(slots);
    return text;
}

int GetLogonTypeFromEventMessage(LPCWSTR pMessage) {
    printf("GetLogonTypeFromEventMessage(): Getting LogonType from pMessage...\r\n");
    LPCWSTR label = wcsstr(pMessage, LOGON_TYPE_LABEL);
    if (label == NULL) return 0;
    LPCWSTR valueStart = label + wcslen(LOGON_TYPE_LABEL);
    LPCWSTR lineEnd = wcsstr(valueStart, L"\r\n");
    if (lineEnd == NULL) return 0;
    printf("LEN: %d", (int)(lineEnd - label));

    WCHAR value[LOGON_TYPE_CHARS];
    memset(value, 0, sizeof(value));
    size_t length = (size_t)(lineEnd - valueStart);
    if (length > LOGON_TYPE_CHARS - 1) length = LOGON_TYPE_CHARS - 1;
    wmemcpy(value, valueStart, length);
    // Decimal, held to 32 bits, exactly as the settings' numbers are read.
    int logonType = ParseSettingNumber(value);
    printf("\r\n***\r\nHere's the LogonType: %ls (Type:%d)\r\n***\r\n", value, logonType);
    return logonType;
}
