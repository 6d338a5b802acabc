// A thread of the module's own that holds the module while it runs: a page that goes away
// while a thread is stuck (in a listing of a share that stalls) does not wait for it, and
// the DLL is not unloaded under it.
#pragma once

#include <windows.h>

#include <functional>

namespace rb {

// Runs `body` on a new thread; an exception it throws ends it quietly. The thread's
// handle, or null when none could be started (then `body` never runs).
HANDLE StartModuleThread(std::function<void()> body);

} // namespace rb
