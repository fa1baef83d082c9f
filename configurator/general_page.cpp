// The "General" page: shows the numeric settings and saves every page on apply.
#include <windows.h>
#include <commctrl.h>
#include <string.h>

#include "../common/settings.h"
#include "pages.h"
#include "resource.h"
#include "save_settings.h"

static void ShowGeneralSettings(HWND page) {
    WCHAR text[256];
    memset(text, 0, sizeof(text));
    wsprintfW(text, L"%d", g_settings.AuthenticationFailsBeforeBlock);
    SendDlgItemMessageW(page, IDC_FAILS_BEFORE_BLOCK, WM_SETTEXT, 0, (LPARAM)text);
    wsprintfW(text, L"%d", g_settings.AttemptCountResetTimeout / 60000);
    SendDlgItemMessageW(page, IDC_RESET_TIMEOUT, WM_SETTEXT, 0, (LPARAM)text);
    SendDlgItemMessageW(page, IDC_EMAIL_NOTIFY, BM_SETCHECK, g_settings.EmailNotifyOnBlock ? BST_CHECKED : BST_UNCHECKED,
                        0);
}

INT_PTR CALLBACK GeneralPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            ShowGeneralSettings(page);
            return FALSE;
        case WM_COMMAND:
            // Filling the edits at start-up reports changes too: the sheet can't tell them apart.
            if (HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == EN_CHANGE)
                SendMessageW(GetParent(page), PSM_CHANGED, (WPARAM)page, 0);
            return FALSE;
        case WM_NOTIFY:
            // FALSE leaves PSNRET_NOERROR: the apply is always accepted.
            if (((NMHDR*)lParam)->code == PSN_APPLY) SaveSettings(GetParent(page));
            return FALSE;
        default:
            return FALSE;
    }
}
