// Saving the settings pages to the registry, and the fatal settings error.
#pragma once
#include <windows.h>

// Writes the values of the sheet's existing pages as REG_SZ values, then
// reloads the settings. Ends the program when a settings key can't be opened.
void SaveSettings(HWND sheet);

// Tells the user the settings can't be used and ends the process with -1.
[[noreturn]] void ExitOnSettingsError(void);
