#include "common/spin_lock.h"

#include <windows.h>

namespace rb {

void YieldThread() {
    SwitchToThread();
}

} // namespace rb
