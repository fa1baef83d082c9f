// Test controls of the Application log and event sources.
#pragma once
#include <windows.h>
