// The Windows build's loopback network: its tests run one at a time.
#include "loopback.h"

namespace testsupport {

std::string Loopback(const char* own) { return std::string("127.0.") + own; }

}  // namespace testsupport
