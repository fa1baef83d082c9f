// Entry of the service program.
#include <windows.h>

#include <stdlib.h>

#include "../common/settings.h"

int wmain(int argc, wchar_t** argv, wchar_t** envp) {
    (void)argc;
    (void)argv;
    (void)envp;
    SetDefaultSettings();
    LoadSettings();
    exit(-1);
}
