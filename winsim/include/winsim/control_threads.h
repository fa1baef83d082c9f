// Test controls of winsim's threads and clock.
#pragma once
#include <windows.h>

#include <vector>

namespace winsim {

// Every Sleep and timed wait lasts its time multiplied by scale (1 = real time);
// tests of the service's 1 s and 5 s pauses run at 0.001 or so.
void SetTimeScale(double scale);
// The arguments of every Sleep call since the last Reset, in order.
std::vector<DWORD> SleepCalls();
// Event and thread handles created and not yet closed.
int OpenKernelHandles();

}  // namespace winsim
