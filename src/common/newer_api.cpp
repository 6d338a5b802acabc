#include "common/newer_api.h"

#include "common/spin_lock.h"

namespace rb {

namespace {

NewerApi api;
SpinLock lookUp;
volatile LONG ready = 0;
volatile LONG refusedBasic = 0;

#ifdef RB_XP_PATHS
// FindFirstFileExW as XP and Server 2003 answer it.
HANDLE WINAPI FindFirstFileExAsXp(LPCWSTR pattern, FINDEX_INFO_LEVELS level, LPVOID data,
                                  FINDEX_SEARCH_OPS search, LPVOID filter, DWORD flags) {
    if (level == FindExInfoBasic || (flags & FIND_FIRST_EX_LARGE_FETCH)) {
        InterlockedIncrement(&refusedBasic);
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    return FindFirstFileExW(pattern, level, data, search, filter, flags);
}
#endif

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

unsigned long RefusedBasicListings() {
    return static_cast<unsigned long>(InterlockedCompareExchange(&refusedBasic, 0, 0));
}

const NewerApi& Newer() {
    // No guarded static: the runtime would make a semaphore for it.
    if (InterlockedCompareExchange(&ready, 0, 0))
        return api;
    ScopedSpinLock lock(lookUp);
    if (!ready) {
        HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        Find(kernel, "AcquireSRWLockExclusive", api.acquireSrwLockExclusive);
        Find(kernel, "ReleaseSRWLockExclusive", api.releaseSrwLockExclusive);
        Find(kernel, "SleepConditionVariableSRW", api.sleepConditionVariableSrw);
        Find(kernel, "WakeAllConditionVariable", api.wakeAllConditionVariable);
        Find(kernel, "GetFileInformationByHandleEx", api.getFileInformationByHandleEx);
        Find(kernel, "GetFinalPathNameByHandleW", api.getFinalPathNameByHandle);
#ifdef RB_XP_PATHS
        api.findFirstFileEx = &FindFirstFileExAsXp;
#else
        api.findFirstFileEx = &FindFirstFileExW;
#endif
        InterlockedExchange(&ready, 1);
    }
    return api;
}

} // namespace rb
