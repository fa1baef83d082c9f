// Test controls of sockets.
#pragma once
#include <windows.h>
