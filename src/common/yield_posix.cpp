#include "common/spin_lock.h"

#include <sched.h>

namespace rb {

void YieldThread() {
    sched_yield();
}

} // namespace rb
