// Entry of the configurator: settings, Windows Sockets, the main window class
// and the hidden main window, whose creation runs the whole program.
#include <windows.h>
#include <winsock2.h>

#include "../common/settings.h"
#include "frame.h"
#include "resource.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand) {
    (void)previous;
    (void)commandLine;
    LoadSettings();
    WSADATA wsaData;
    WSAStartup(MAKEWORD(2, 2), &wsaData);
    g_hInstance = instance;
    LoadStringW(instance, IDS_APP_TITLE, g_szTitle, 100);
    LoadStringW(instance, IDC_CONFIGURATOR, g_szWindowClass, 100);
    RegisterMainWindowClass(instance);

    // The window's WM_CREATE runs the sheet and ends the process.
    HWND window = CreateWindowExW(0, g_szWindowClass, g_szTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT,
                                  0, NULL, NULL, instance, NULL);
    if (!window) return 0;

    ShowWindow(window, showCommand);
    UpdateWindow(window);
    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDC_CONFIGURATOR));
    MSG message;
    while (GetMessageW(&message, NULL, 0, 0)) {
        if (!TranslateAcceleratorW(message.hwnd, accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return (int)message.wParam;
}
