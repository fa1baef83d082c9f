// The settings property sheet: pages "General" and "SMTP Settings".
#pragma once
#include <windows.h>

// Runs the modal sheet over the parent window; returns PropertySheetW's result.
int ShowSettingsSheet(HWND parent);

// Selects the General page once the sheet is initialised; always 0.
int CALLBACK PropSheetCallback(HWND sheet, UINT message, LPARAM lParam);
