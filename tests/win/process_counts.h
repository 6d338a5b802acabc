// What this process holds of the system, for tests and benchmarks of leaks. Wine's
// GetProcessHandleCount always answers 0, so handles are counted by asking each value.
#pragma once

#include <cstddef>

namespace rbtest {

int OpenHandleCount();
int FreeTlsSlots();
std::size_t CommittedPrivateBytes();

} // namespace rbtest
