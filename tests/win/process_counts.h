// What this process holds of the system, for tests and benchmarks of leaks. Wine's
// GetProcessHandleCount always answers 0, so handles are counted by asking each value.
#pragma once

#include <cstddef>

namespace rbtest {

int OpenHandleCount();
int FreeTlsSlots();
std::size_t CommittedPrivateBytes();
// Blocks in use in the process heap (where the system keeps, for example, a find handle).
int ProcessHeapBlocks();

} // namespace rbtest
