// Test controls of COM and the firewall policy.
#pragma once
#include <windows.h>
