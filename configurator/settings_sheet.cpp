// The settings property sheet: its header, its two pages in the order that
// SaveSettings relies on, and its callback.
#include "settings_sheet.h"

#include <commctrl.h>
#include <string.h>

#include "frame.h"
#include "pages.h"
#include "resource.h"

static void FillPage(PROPSHEETPAGEW* page, int templateId, LPCWSTR title, DLGPROC procedure) {
    memset(page, 0, sizeof(*page));
    page->dwSize = sizeof(PROPSHEETPAGEW);
    page->dwFlags = PSP_USETITLE | PSP_USEICONID;
    page->hInstance = g_hInstance;
    page->pszTemplate = MAKEINTRESOURCEW(templateId);
    page->pszIcon = MAKEINTRESOURCEW(0);
    page->pszTitle = title;
    page->pfnDlgProc = procedure;
    page->lParam = 0;
}

int ShowSettingsSheet(HWND parent) {
    // Index 0 is the General page and index 1 the SMTP Settings page.
    PROPSHEETPAGEW pages[2];
    FillPage(&pages[0], IDD_GENERAL, L"General", GeneralPageProc);
    FillPage(&pages[1], IDD_SMTP_SETTINGS, L"SMTP Settings", SmtpPageProc);

    PROPSHEETHEADERW header;
    memset(&header, 0, sizeof(header));
    header.dwSize = sizeof(PROPSHEETHEADERW);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_USEICONID | PSH_USECALLBACK;
    header.hwndParent = parent;
    header.hInstance = g_hInstance;
    header.pszIcon = MAKEINTRESOURCEW(0);
    header.pszCaption = L"Mirdal Software - RDP Kestrove Configurator";
    header.nPages = 2;
    header.nStartPage = 0;
    header.ppsp = pages;
    header.pfnCallback = PropSheetCallback;
    return (int)PropertySheetW(&header);
}

int CALLBACK PropSheetCallback(HWND sheet, UINT message, LPARAM lParam) {
    (void)lParam;
    if (message == PSCB_INITIALIZED) SendMessageW(sheet, PSM_SETCURSEL, 0, 0);
    return 0;
}
