// Test controls of the local time.
#pragma once
#include <windows.h>

namespace winsim {

// GetLocalTime returns this time from now on (until Reset), instead of the clock's.
void FixLocalTime(const SYSTEMTIME& time);

}  // namespace winsim
