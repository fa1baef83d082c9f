// Entry shim of a host GUI program: main calls wWinMain with the module handle
// and the command line after the program name.
#include <windows.h>

#include <string>

#include "internal.h"

extern int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand);

int main(int argc, char** argv) {
    std::wstring commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += L' ';
        commandLine += winsim::detail::Widen(argv[i]);
    }
    const int kShowDefault = 10;  // SW_SHOWDEFAULT
    return wWinMain(winsim::detail::MainModule(), nullptr, &commandLine[0], kShowDefault);
}
