#include "common/newer_api.h"

namespace rb {

namespace {

NewerApi api;
volatile LONG state = 0; // 0 not looked up, 1 being looked up, 2 ready

template <typename Fn> void Find(HMODULE module, const char* name, Fn& target) {
#ifdef RB_XP_PATHS
    // As on XP: none of these exist.
    (void)module;
    (void)name;
    target = nullptr;
#else
    target = reinterpret_cast<Fn>(
        reinterpret_cast<void (*)()>(module ? GetProcAddress(module, name) : nullptr));
#endif
}

} // namespace

const NewerApi& Newer() {
    // No guarded static: the runtime would make a semaphore for it.
    if (InterlockedCompareExchange(&state, 0, 0) == 2)
        return api;
    if (InterlockedCompareExchange(&state, 1, 0) == 0) {
        HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        Find(kernel, "AcquireSRWLockExclusive", api.acquireSrwLockExclusive);
        Find(kernel, "ReleaseSRWLockExclusive", api.releaseSrwLockExclusive);
        Find(kernel, "SleepConditionVariableSRW", api.sleepConditionVariableSrw);
        Find(kernel, "WakeAllConditionVariable", api.wakeAllConditionVariable);
        Find(kernel, "GetFileInformationByHandleEx", api.getFileInformationByHandleEx);
#ifdef RB_XP_PATHS
        api.findExInfoBasic = false;
#else
        api.findExInfoBasic = true;
#endif
        InterlockedExchange(&state, 2);
        return api;
    }
    while (InterlockedCompareExchange(&state, 0, 0) != 2)
        Sleep(0);
    return api;
}

} // namespace rb
