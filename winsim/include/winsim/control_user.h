// Test controls of windows, dialogs and property sheets.
#pragma once
#include <windows.h>
