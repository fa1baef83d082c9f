// The "SMTP Settings" page: shows the SMTP strings and opens the test dialog.
#include <windows.h>
#include <commctrl.h>
#include <string.h>

#include "../common/settings.h"
#include "frame.h"
#include "pages.h"
#include "resource.h"
#include "smtp_test_dialog.h"

// Each byte of the narrow setting becomes the character of the same value.
static void ShowNarrowSetting(HWND page, int control, const char* setting) {
    WCHAR text[256];
    memset(text, 0, sizeof(text));
    for (int i = 0; i < 255 && setting[i] != 0; ++i) text[i] = (WCHAR)(unsigned char)setting[i];
    SendDlgItemMessageW(page, control, WM_SETTEXT, 0, (LPARAM)text);
}

INT_PTR CALLBACK SmtpPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    switch (message) {
        case WM_INITDIALOG:
            ShowNarrowSetting(page, IDC_SMTP_SERVER, g_smtpServer);
            ShowNarrowSetting(page, IDC_EMAIL_FROM, g_emailFrom);
            ShowNarrowSetting(page, IDC_ADMIN_EMAIL, g_adminEmailAddress);
            return TRUE;
        case WM_COMMAND:
            if (HIWORD(wParam) == EN_CHANGE) SendMessageW(GetParent(page), PSM_CHANGED, (WPARAM)page, 0);
            // The Test button carries IDCANCEL's value; a click does not mark the page changed.
            if (LOWORD(wParam) == IDC_SMTP_TEST)
                DialogBoxParamW(g_hInstance, MAKEINTRESOURCEW(IDD_SMTP_TEST), page, SmtpTestDlgProc, 0);
            return FALSE;
        default:
            return FALSE;
    }
}
