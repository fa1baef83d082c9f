// Entry of the service program: the banner, the command words and the hand-over
// to the service control dispatcher.
#include <windows.h>
#include <objbase.h>

#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include "../common/settings.h"
#include "install.h"
#include "service_control.h"

static void PrintBanner(void) {
    printf("\n\n\n\nMirdal Software - RDP Kestrove Service\n");
    printf("\n");
    printf("Description: Protects your Remote Desktop Server from brute-force logon attacks.\r\n");
}

// Runs the command of the first argument, the program name included, that is
// one; returns 0 when none is.
static int RunCommandWord(int argc, wchar_t** argv) {
    for (int i = 0; i < argc; ++i) {
        if (wcscmp(argv[i], L"-install") == 0) {
            InstallService();
            return 1;
        }
        if (wcscmp(argv[i], L"-uninstall") == 0) {
            UninstallService();
            return 1;
        }
    }
    return 0;
}

int wmain(int argc, wchar_t** argv, wchar_t** envp) {
    (void)envp;
    PrintBanner();
    if (RunCommandWord(argc, argv)) exit(-1);
    CoInitialize(NULL);
    SetDefaultSettings();
    // The service control manager starts the program without arguments.
    if (argc == 1) {
        WCHAR serviceName[] = KESTROVE_SERVICE_NAME;
        SERVICE_TABLE_ENTRYW serviceTable[] = {{serviceName, ServiceMain}, {NULL, NULL}};
        StartServiceCtrlDispatcherW(serviceTable);
    }
    exit(-1);
}
