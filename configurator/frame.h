// The configurator's frame: its instance and window-class globals, the hidden
// main window whose creation runs the settings sheet, and the About box.
#pragma once
#include <windows.h>

extern HINSTANCE g_hInstance;
extern WCHAR g_szTitle[100];
extern WCHAR g_szWindowClass[100];

// Registers the main window class g_szWindowClass with icon 136 and menu 109.
void RegisterMainWindowClass(HINSTANCE instance);

// WM_CREATE runs the settings sheet, shows the restart notice and ends the
// process with -1; the menu commands, painting and WM_DESTROY are never reached.
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
