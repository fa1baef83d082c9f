// Settings defaults and the registry reader shared by both programs.
#include "settings.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <wtsapi32.h>

// KESTROVE_SMTP_SETTINGS_REQUIRED is the one difference between the builds:
// 1 in the service (a missing SMTP value is a settings error), 0 in the
// configurator (the value is skipped).
#ifndef KESTROVE_SMTP_SETTINGS_REQUIRED
#error "each program's build sets KESTROVE_SMTP_SETTINGS_REQUIRED"
#endif

ProgramSettings g_settings;
char g_smtpServer[256];
char g_emailFrom[256];
char g_adminEmailAddress[256];

static const int kMillisecondsPerMinute = 60000;

void SetDefaultSettings(void) {
    g_settings.EmailNotifyOnBlock = 1;
    g_settings.AuthenticationFailsBeforeBlock = 5;
    g_settings.AttemptCountResetTimeout = 600000;
}

static int SaturateToInt(long long value) {
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return (int)value;
}

int ParseSettingNumber(const WCHAR* text) {
    // wcstoll saturates at 64 bits on every build; the field holds 32.
    return SaturateToInt(wcstoll(text, NULL, 10));
}

int ReadRegistryValue(HKEY key, const WCHAR* valueName, WCHAR** buffer) {
    DWORD size = 0;
    RegQueryValueExW(key, valueName, NULL, NULL, NULL, &size);

    size_t bytes = (size_t)size * 2 + 4;
    WCHAR* grown = (WCHAR*)realloc(*buffer, bytes);
    if (grown == NULL) return 0;
    *buffer = grown;
    memset(grown, 0, bytes);

    if (RegQueryValueExW(key, valueName, NULL, NULL, (LPBYTE)grown, &size) != ERROR_SUCCESS) return 0;
    return (int)size;
}

// Code unit by code unit into the 256-byte string: stops at the terminator,
// at the first unit above U+00FF, or after 255 characters.
static void NarrowSetting(const WCHAR* text, char* setting) {
    memset(setting, 0, 256);
    for (int i = 0; i < 255 && text[i] != 0 && (unsigned)text[i] <= 0xFF; ++i) setting[i] = (char)text[i];
}

static void SendSettingsError(void) {
    WCHAR title[] = L"Mirdal Software - RDP Kestrove";
    WCHAR message[] =
        L"An error occured while attempting to read program settings from the registry.  The settings were either "
        L"not found or invalid.\r\n\r\nThe program will now exit.";
    DWORD response = 0;
    WTSSendMessageW(WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, title, (DWORD)(wcslen(title) * sizeof(WCHAR)),
                    message, (DWORD)(wcslen(message) * sizeof(WCHAR)), MB_ICONERROR, 0, &response, FALSE);
}

static void LoadMainKey(void) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, KESTROVE_SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) return;

    WCHAR* buffer = NULL;
    if (ReadRegistryValue(key, L"AuthenticationFailsBeforeBlock", &buffer) > 0)
        g_settings.AuthenticationFailsBeforeBlock = ParseSettingNumber(buffer);
    if (ReadRegistryValue(key, L"AttemptCountResetTimeout", &buffer) > 0)
        g_settings.AttemptCountResetTimeout =
            SaturateToInt((long long)ParseSettingNumber(buffer) * kMillisecondsPerMinute);
    if (ReadRegistryValue(key, L"EmailNotifyOnBlock", &buffer) > 0)
        g_settings.EmailNotifyOnBlock = ParseSettingNumber(buffer);
    free(buffer);
    RegCloseKey(key);
}

// Reads one SMTP value into its string; 0 when the value can't be read.
static int LoadSmtpValue(HKEY key, const WCHAR* valueName, char* setting) {
    WCHAR text[256];
    memset(text, 0, sizeof(text));
    DWORD size = sizeof(text);
    if (RegQueryValueExW(key, valueName, NULL, NULL, (LPBYTE)text, &size) != ERROR_SUCCESS) return 0;
    NarrowSetting(text, setting);
    return 1;
}

int LoadSettings(void) {
    SetDefaultSettings();
    LoadMainKey();

    printf("loading SMTP settings...\r\n");
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, KESTROVE_SMTP_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) return 1;

    static const WCHAR* const names[] = {L"Server Address", L"EmailFrom", L"AdminEmailAddress"};
    char* const settings[] = {g_smtpServer, g_emailFrom, g_adminEmailAddress};
    int result = 1;
    for (int i = 0; i < 3; ++i) {
        if (LoadSmtpValue(key, names[i], settings[i])) continue;
        if (KESTROVE_SMTP_SETTINGS_REQUIRED) {
            SendSettingsError();
            result = 0;
            break;
        }
    }
    RegCloseKey(key);
    return result;
}
