// The "SMTP Test Message" dialog: sends a test message to a typed recipient
// and shows the SMTP dialogue in its log box.
#pragma once
#include <windows.h>

// The open test dialog, whose log box AppendTestLog writes to.
extern HWND g_hTestDlg;

INT_PTR CALLBACK SmtpTestDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Log sink of SendSmtpMail: ends text at length and inserts it at the log
// box's caret. Returns 0.
int AppendTestLog(char* text, int length);
