// SaveSettings: the pages' controls to the registry, then LoadSettings; and
// ExitOnSettingsError for a settings key that can't be opened.
#include "save_settings.h"

#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "../common/settings.h"
#include "resource.h"

static void WriteText(HKEY key, const WCHAR* name, const WCHAR* text) {
    RegSetValueExW(key, name, 0, REG_SZ, (const BYTE*)text, (DWORD)((wcslen(text) + 1) * sizeof(WCHAR)));
}

// At most the first 255 characters of the control, exactly as typed.
static void WriteControlText(HKEY key, const WCHAR* name, HWND page, int control) {
    WCHAR text[256];
    memset(text, 0, sizeof(text));
    SendDlgItemMessageW(page, control, WM_GETTEXT, 256, (LPARAM)text);
    WriteText(key, name, text);
}

static HKEY OpenForWriting(const WCHAR* path) {
    HKEY key = NULL;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) ExitOnSettingsError();
    return key;
}

static void SaveGeneralPage(HWND page) {
    HKEY key = OpenForWriting(KESTROVE_SETTINGS_KEY);
    WriteControlText(key, L"AuthenticationFailsBeforeBlock", page, IDC_FAILS_BEFORE_BLOCK);
    WriteControlText(key, L"AttemptCountResetTimeout", page, IDC_RESET_TIMEOUT);
    BOOL checked = SendDlgItemMessageW(page, IDC_EMAIL_NOTIFY, BM_GETCHECK, 0, 0) == BST_CHECKED;
    WriteText(key, L"EmailNotifyOnBlock", checked ? L"1" : L"0");
    RegCloseKey(key);
}

static void SaveSmtpPage(HWND page) {
    HKEY key = OpenForWriting(KESTROVE_SMTP_KEY);
    WriteControlText(key, L"Server Address", page, IDC_SMTP_SERVER);
    WriteControlText(key, L"EmailFrom", page, IDC_EMAIL_FROM);
    WriteControlText(key, L"AdminEmailAddress", page, IDC_ADMIN_EMAIL);
    RegCloseKey(key);
}

void SaveSettings(HWND sheet) {
    // A page the user never opened has no window; its stored values stay.
    HWND generalPage = (HWND)SendMessageW(sheet, PSM_INDEXTOHWND, 0, 0);
    if (generalPage) SaveGeneralPage(generalPage);
    HWND smtpPage = (HWND)SendMessageW(sheet, PSM_INDEXTOHWND, 1, 0);
    if (smtpPage) SaveSmtpPage(smtpPage);
    LoadSettings();
}

void ExitOnSettingsError(void) {
    printf("Error reading program settings from the registry.\r\n\r\nThe program will now exit.\r\n");
    MessageBoxW(NULL, L"Error reading program settings from the registry.\r\n\r\nThe program will now exit.",
                L"Mirdal Software", MB_ICONHAND | MB_SERVICE_NOTIFICATION);
    exit(-1);
}
