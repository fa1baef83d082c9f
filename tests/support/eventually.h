// Polling for a state that the program's own threads reach in real time.
#pragma once
#include <chrono>
#include <thread>

namespace testsupport {

// True once the condition holds, polled each millisecond for up to 20 s.
template <typename Condition>
bool Eventually(Condition condition) {
    for (int i = 0; i < 20000; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return condition();
}

}  // namespace testsupport
