// The main window: its class, its procedure (the settings sheet, then the
// restart notice and the end of the process) and the About box.
#include "frame.h"

#include <stdlib.h>

#include "resource.h"
#include "settings_sheet.h"

HINSTANCE g_hInstance;
WCHAR g_szTitle[100];
WCHAR g_szWindowClass[100];

void RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(WNDCLASSEXW);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_CONFIGURATOR));
    windowClass.hCursor = LoadCursorW(NULL, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    windowClass.lpszMenuName = MAKEINTRESOURCEW(IDC_CONFIGURATOR);
    windowClass.lpszClassName = g_szWindowClass;
    windowClass.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_CONFIGURATOR));
    RegisterClassExW(&windowClass);
}

// The whole run of the configurator happens here, inside CreateWindowExW.
static void RunSettingsAndExit(HWND window) {
    ShowSettingsSheet(window);
    MessageBoxW(window, L"The Mirdal RDP Kestrove service must be restarted for any changes to take effect.",
                L"Mirdal RDP Kestrove Configurator", MB_OK | MB_ICONINFORMATION);
    exit(-1);
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            RunSettingsAndExit(window);
            return 0;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDM_ABOUT:
                    DialogBoxParamW(g_hInstance, MAKEINTRESOURCEW(IDD_ABOUTBOX), window, AboutDlgProc, 0);
                    return 0;
                case IDM_EXIT:
                    DestroyWindow(window);
                    return 0;
                default:
                    return DefWindowProcW(window, message, wParam, lParam);
            }
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(window, &paint);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}
