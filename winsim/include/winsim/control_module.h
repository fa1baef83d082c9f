// Test controls of module images, message tables and FormatMessageW.
#pragma once
#include <windows.h>

namespace winsim {

// Data-file modules loaded with LoadLibraryExW and not yet freed.
int LoadedDataFiles();

}  // namespace winsim
