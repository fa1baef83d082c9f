// Test controls of the service control manager.
#pragma once
#include <windows.h>
