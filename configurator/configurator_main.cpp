// Entry of the configurator.
#include <windows.h>

#include <stdlib.h>

#include "../common/settings.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand) {
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)showCommand;
    LoadSettings();
    exit(-1);
}
