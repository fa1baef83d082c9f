// The SMTP test dialog: reads the recipient, runs the SMTP sender in mode
// "TEST" and logs its dialogue into the dialog's log box.
#include "smtp_test_dialog.h"

#include <string.h>

#include "../common/smtp.h"
#include "resource.h"

HWND g_hTestDlg;

int AppendTestLog(char* text, int length) {
    WCHAR wide[1024];
    text[length] = 0;
    wsprintfW(wide, L"%S", text);
    SendDlgItemMessageW(g_hTestDlg, IDC_TEST_LOG, EM_REPLACESEL, FALSE, (LPARAM)wide);
    return 0;
}

// Byte for character, as the C library does in the "C" locale; false when a
// character above U+00FF has no byte.
static BOOL NarrowRecipient(const WCHAR* wide, char* narrow) {
    for (int i = 0;; ++i) {
        if (wide[i] > 0xFF) return FALSE;
        narrow[i] = (char)wide[i];
        if (wide[i] == 0) return TRUE;
    }
}

static void SendTestMessage(HWND dialog) {
    WCHAR recipient[256];
    memset(recipient, 0, sizeof(recipient));
    SendDlgItemMessageW(dialog, IDC_TEST_RECIPIENT, WM_GETTEXT, 256, (LPARAM)recipient);
    char narrowRecipient[256];
    memset(narrowRecipient, 0, sizeof(narrowRecipient));
    if (recipient[0] == 0 || !NarrowRecipient(recipient, narrowRecipient)) {
        MessageBoxW(dialog, L"E-mail address provided is not a valid recipient.", L"SMTP Error", MB_ICONHAND);
        return;
    }
    SendSmtpMail("TEST", narrowRecipient, "", AppendTestLog);
    EndDialog(dialog, 1);
}

INT_PTR CALLBACK SmtpTestDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    switch (message) {
        case WM_INITDIALOG:
            g_hTestDlg = dialog;
            SetFocus(GetDlgItem(dialog, IDC_TEST_RECIPIENT));
            return FALSE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                SendTestMessage(dialog);
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, 2);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}
