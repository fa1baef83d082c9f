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
// Makes the next WaitForSingleObject on a valid handle return result at once,
// one that the caller did not wait for (WAIT_ABANDONED, or WAIT_TIMEOUT on an
// infinite wait), for the callers' handling of results they do not expect.
void ForceNextWaitResult(DWORD result);
// Threads waiting on the event or thread now; a pulse of the event releases
// these and no other.
int WaitingThreads(HANDLE object);
// Whether the event was created manual-reset.
bool IsManualResetEvent(HANDLE event);
// Event and thread handles created and not yet closed.
int OpenKernelHandles();

}  // namespace winsim
