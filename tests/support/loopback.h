// Loopback addresses of the socket tests. Two test runs on one machine at once
// (the host and the sanitizer build, say) must never listen on the same
// address: on the host each process has a network 127.N.0.0/16 of its own, N
// from 1 to 255; the Windows builds' tests and the Wine scripts keep to
// 127.0.0.0/16, which the host never takes (each build runs its Wine tests one
// at a time, and the 64-bit and 32-bit builds' runs one after the other).
#pragma once
#include <string>

namespace testsupport {

// "127.N." followed by the test's own part, such as "1.2".
std::string Loopback(const char* own);

}  // namespace testsupport
