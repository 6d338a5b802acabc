#include "com/module.h"

#include <vector>

namespace rb {

namespace {

struct ModuleRecord {
    HINSTANCE instance = nullptr;
    volatile LONG lockCount = 0;
    CriticalSection factoryLock;
    CriticalSection typeInfoLock;
    CriticalSection windowHandOverLock;
    std::vector<void (*)()> cleanups;
};

ModuleRecord& Record() {
    static ModuleRecord record;
    return record;
}

// Constructed while the C runtime starts the module, before any thread can ask for it.
struct EarlyInit {
    EarlyInit() { Record(); }
} earlyInit;

} // namespace

HINSTANCE ModuleInstance() {
    ModuleRecord& record = Record();
    if (!record.instance) {
        HMODULE self = nullptr;
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(&ModuleInstance), &self);
        record.instance = self;
    }
    return record.instance;
}

void SetModuleInstance(HINSTANCE instance) {
    Record().instance = instance;
}

void ModuleLock() {
    InterlockedIncrement(&Record().lockCount);
}
void ModuleUnlock() {
    InterlockedDecrement(&Record().lockCount);
}
LONG ModuleLockCount() {
    return InterlockedCompareExchange(&Record().lockCount, 0, 0);
}

CriticalSection& FactoryLock() {
    return Record().factoryLock;
}
CriticalSection& TypeInfoLock() {
    return Record().typeInfoLock;
}
CriticalSection& WindowHandOverLock() {
    return Record().windowHandOverLock;
}

void AddModuleCleanup(void (*cleanup)()) {
    ScopedLock lock(Record().typeInfoLock);
    try {
        Record().cleanups.push_back(cleanup);
    } catch (...) {
        // Without memory the clean-up is skipped; the process is ending anyway then.
    }
}

void RunModuleCleanups() {
    std::vector<void (*)()> cleanups;
    {
        ScopedLock lock(Record().typeInfoLock);
        cleanups.swap(Record().cleanups);
    }
    for (auto it = cleanups.rbegin(); it != cleanups.rend(); ++it)
        (*it)();
}

std::string ModuleFileNameA() {
    char path[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameA(ModuleInstance(), path, MAX_PATH);
    if (length >= MAX_PATH)
        length = MAX_PATH;
    return std::string(path, length);
}

} // namespace rb
