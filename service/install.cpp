// Installing and removing the service through the service control manager.
#include "install.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

#define KESTROVE_SERVICE_DESCRIPTION L"Protects your Remote Desktop Server from brute-force logon attacks."
#define KESTROVE_PATH_CHARACTERS 261
#define KESTROVE_REMOVAL_RIGHTS 0xF003F
#define KESTROVE_STOP_WAIT_MS 3000

// Asks a service to stop and deletes it only if it was already stopped before
// the request; a running one would otherwise vanish from under its process.
static void StopAndDeleteIfStopped(SC_HANDLE service) {
    SERVICE_STATUS before;
    if (!QueryServiceStatus(service, &before)) return;
    SERVICE_STATUS after;
    ControlService(service, SERVICE_CONTROL_STOP, &after);
    Sleep(KESTROVE_STOP_WAIT_MS);
    if (before.dwCurrentState == SERVICE_STOPPED) DeleteService(service);
}

void UninstallService(void) {
    printf("Initializing... ");
    SC_HANDLE manager = OpenSCManagerW(NULL, NULL, SC_MANAGER_CONNECT);
    if (manager) {
        SC_HANDLE service = OpenServiceW(manager, KESTROVE_SERVICE_NAME, KESTROVE_REMOVAL_RIGHTS);
        if (service) {
            printf("Preparing to uninstall service... ");
            StopAndDeleteIfStopped(service);
            CloseServiceHandle(service);
        }
        CloseServiceHandle(manager);
    }
    printf("\r\nThe process has completed successfully.");
}

// Sets the description on whatever registration holds the name, also one that
// the creation could not replace.
static void SetServiceDescription(SC_HANDLE manager) {
    SC_HANDLE service = OpenServiceW(manager, KESTROVE_SERVICE_NAME, SERVICE_ALL_ACCESS);
    if (!service) return;
    WCHAR text[] = KESTROVE_SERVICE_DESCRIPTION;
    SERVICE_DESCRIPTIONW description;
    description.lpDescription = text;
    ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &description);
    CloseServiceHandle(service);
}

// The service control manager reads a path with blanks as a command line:
// unquoted, "C:\Program Files\..." would first run C:\Program.exe as
// LocalSystem. Such a path is quoted; any other is registered as it is.
static void FormServiceCommand(const WCHAR* path, WCHAR* command) {
    if (wcschr(path, L' ')) {
        wsprintfW(command, L"\"%s\"", path);
    } else {
        wcscpy(command, path);
    }
}

void InstallService(void) {
    printf("Initializing... ");
    UninstallService();
    SC_HANDLE manager = OpenSCManagerW(NULL, NULL, SC_MANAGER_CREATE_SERVICE);
    if (manager) {
        WCHAR path[KESTROVE_PATH_CHARACTERS];
        SC_HANDLE created = NULL;
        if (GetModuleFileNameW(NULL, path, KESTROVE_PATH_CHARACTERS) != 0) {
            printf("Installing service...");
            WCHAR command[KESTROVE_PATH_CHARACTERS + 2];
            FormServiceCommand(path, command);
            created = CreateServiceW(manager, KESTROVE_SERVICE_NAME, KESTROVE_SERVICE_NAME, SERVICE_ALL_ACCESS,
                                     SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_IGNORE, command,
                                     NULL, NULL, NULL, NULL, NULL);
            printf("Success!");
        }
        SetServiceDescription(manager);
        if (created) CloseServiceHandle(created);
        CloseServiceHandle(manager);
    }
    printf("\r\nThe process has completed successfully.");
}
