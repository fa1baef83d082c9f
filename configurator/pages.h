// Dialog procedures of the two settings pages.
#pragma once
#include <windows.h>

// Page 0, "General": failed logons before a block, the e-mail switch and the
// hidden reset time-out; saves the settings when the sheet applies.
INT_PTR CALLBACK GeneralPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Page 1, "SMTP Settings": server, sender and administrator address; its
// Test button opens the SMTP test dialog.
INT_PTR CALLBACK SmtpPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
