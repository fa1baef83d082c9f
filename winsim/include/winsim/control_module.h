// Test controls of module images, message tables and FormatMessageW.
#pragma once
#include <windows.h>
