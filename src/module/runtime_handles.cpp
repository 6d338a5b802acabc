// The compiler's static runtime makes a few things on first use and never gives them
// back: the semaphores of its internal mutexes (the unwinder's frame registry on 32-bit,
// thread-safe statics, the emulated thread-local storage), the slots of its thread keys,
// per thread that used such a key (a thread that threw an exception here) the blocks
// behind it, and its emergency exception pool. Explorer unloads idle extensions and loads
// them again whenever it needs them, on threads that live on, so each of these would
// pile up in its process, one set per load.
//
// This file takes the place of the DLL's kernel32 imports of CreateSemaphoreW,
// CloseHandle, TlsAlloc, TlsFree and TlsSetValue, and of the runtime's registration of
// thread-key destructors, so that it knows all of them. The DLL's entry point is
// RbDllEntry: it calls the runtime's own entry and, after it, runs the key destructors of
// a thread that ends, and at unload, once the runtime's whole clean-up (static
// destructors, the frame registry's) has run, releases everything still held. Only the
// DLL is linked with this file; the test programs are not.
#include "module/runtime_handles.h"

#include <windows.h>

#include "common/spin_lock.h"

namespace __gnu_cxx {
void __freeres() noexcept; // frees the emergency exception pool
}

namespace rb {

namespace {

using Destructor = void (*)(void*);

constexpr int kMaxSemaphores = 64;
constexpr int kMaxSlots = 16;
constexpr int kMaxKeys = 16;
constexpr int kMaxValues = 512; // threads times keys

struct Key {
    DWORD slot;
    Destructor destructor;
};
struct Value {
    DWORD slot;
    DWORD thread;
    void* value;
};

// The tables, packed (entries 0 to count - 1) so that a look-up scans only what is
// there; a spin lock guards them, since the runtime may make its objects on any thread.
// Plain arrays: nothing here may need the runtime's own help.
SpinLock tablesLock;
HANDLE semaphores[kMaxSemaphores];
int semaphoreCount = 0;
DWORD slots[kMaxSlots];
int slotCount = 0;
Key keys[kMaxKeys];
int keyCount = 0;
Value values[kMaxValues];
int valueCount = 0;
volatile LONG processEnding = 0;

class TablesLock : public ScopedSpinLock {
public:
    TablesLock() : ScopedSpinLock(tablesLock) {}
};

// The kernel32 function itself, looked up once (no guarded static: those make a
// semaphore of their own).
template <typename Fn> Fn Kernel32(void* volatile& cache, const char* name) {
    void* found = InterlockedCompareExchangePointer(&cache, nullptr, nullptr);
    if (!found) {
        found = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name));
        InterlockedExchangePointer(&cache, found);
    }
    return reinterpret_cast<Fn>(found);
}

void* volatile createSemaphore = nullptr;
void* volatile closeHandle = nullptr;
void* volatile tlsAlloc = nullptr;
void* volatile tlsFree = nullptr;
void* volatile tlsGetValue = nullptr;
void* volatile tlsSetValue = nullptr;

BOOL RealCloseHandle(HANDLE handle) {
    auto close = Kernel32<BOOL(WINAPI*)(HANDLE)>(closeHandle, "CloseHandle");
    return close ? close(handle) : FALSE;
}
BOOL RealTlsFree(DWORD slot) {
    auto free = Kernel32<BOOL(WINAPI*)(DWORD)>(tlsFree, "TlsFree");
    return free ? free(slot) : FALSE;
}
void* RealTlsGetValue(DWORD slot) {
    auto get = Kernel32<LPVOID(WINAPI*)(DWORD)>(tlsGetValue, "TlsGetValue");
    return get ? get(slot) : nullptr;
}
BOOL RealTlsSetValue(DWORD slot, void* value) {
    auto set = Kernel32<BOOL(WINAPI*)(DWORD, LPVOID)>(tlsSetValue, "TlsSetValue");
    return set ? set(slot, value) : FALSE;
}

// Under the lock. Removing moves the last entry into the place of the one removed. A
// full table takes no more: what is not recorded stays with its maker, as it would
// without this file.
template <typename T> void RemoveAt(T* table, int& count, int i) {
    table[i] = table[--count];
}
template <typename T, int N> void Append(T (&table)[N], int& count, const T& value) {
    if (count < N)
        table[count++] = value;
}
template <typename T, int N> void Remove(T (&table)[N], int& count, const T& value) {
    for (int i = 0; i < count; ++i)
        if (table[i] == value) {
            RemoveAt(table, count, i);
            return;
        }
}

Destructor DestructorOf(DWORD slot) {
    for (int i = 0; i < keyCount; ++i)
        if (keys[i].slot == slot)
            return keys[i].destructor;
    return nullptr;
}

HANDLE WINAPI CreateRecordedSemaphore(LPSECURITY_ATTRIBUTES attributes, LONG initial, LONG maximum,
                                      LPCWSTR name) {
    auto create = Kernel32<HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LONG, LONG, LPCWSTR)>(
        createSemaphore, "CreateSemaphoreW");
    HANDLE handle = create ? create(attributes, initial, maximum, name) : nullptr;
    if (handle) {
        TablesLock lock;
        Append(semaphores, semaphoreCount, handle);
    }
    return handle;
}

BOOL WINAPI CloseRecordedHandle(HANDLE handle) {
    {
        TablesLock lock;
        Remove(semaphores, semaphoreCount, handle);
    }
    return RealCloseHandle(handle);
}

DWORD WINAPI AllocRecordedSlot() {
    auto alloc = Kernel32<DWORD(WINAPI*)()>(tlsAlloc, "TlsAlloc");
    DWORD slot = alloc ? alloc() : TLS_OUT_OF_INDEXES;
    if (slot != TLS_OUT_OF_INDEXES) {
        TablesLock lock;
        Append(slots, slotCount, slot);
    }
    return slot;
}

BOOL WINAPI FreeRecordedSlot(DWORD slot) {
    {
        TablesLock lock;
        Remove(slots, slotCount, slot);
        for (int i = 0; i < keyCount; ++i)
            if (keys[i].slot == slot) {
                RemoveAt(keys, keyCount, i);
                break;
            }
        for (int i = valueCount; i-- > 0;)
            if (values[i].slot == slot)
                RemoveAt(values, valueCount, i);
    }
    return RealTlsFree(slot);
}

// The value of a key's slot is what its destructor gets when the thread ends, or when the
// module goes while the thread lives on; other slots are not looked at.
BOOL WINAPI SetRecordedValue(DWORD slot, LPVOID value) {
    BOOL set = RealTlsSetValue(slot, value);
    if (!set)
        return set;
    const DWORD thread = GetCurrentThreadId();
    TablesLock lock;
    if (!DestructorOf(slot))
        return set;
    for (int i = 0; i < valueCount; ++i)
        if (values[i].slot == slot && values[i].thread == thread) {
            if (value)
                values[i].value = value;
            else
                RemoveAt(values, valueCount, i);
            return set;
        }
    if (value)
        Append(values, valueCount, Value{slot, thread, value});
    return set;
}

// The calling thread ends: its keys' destructors run, as the runtime would have them.
void EndThread() {
    const DWORD thread = GetCurrentThreadId();
    // A destructor may set a key again: a few rounds, as POSIX threads allow.
    for (int round = 0; round < 4; ++round) {
        bool ran = false;
        for (int k = 0;; ++k) {
            DWORD slot;
            Destructor destructor;
            {
                TablesLock lock;
                if (k >= keyCount)
                    break;
                slot = keys[k].slot;
                destructor = keys[k].destructor;
                for (int i = valueCount; i-- > 0;)
                    if (values[i].slot == slot && values[i].thread == thread)
                        RemoveAt(values, valueCount, i);
            }
            void* value = RealTlsGetValue(slot);
            if (!value)
                continue;
            RealTlsSetValue(slot, nullptr);
            destructor(value);
            ran = true;
        }
        if (!ran)
            break;
    }
}

// The module goes, after the runtime's own clean-up: the blocks of threads that live on,
// then the semaphores, the slots and the exception pool.
void ReleaseRuntimeObjects() {
    for (;;) {
        Value value;
        Destructor destructor;
        {
            TablesLock lock;
            if (valueCount == 0)
                break;
            value = values[valueCount - 1];
            --valueCount;
            destructor = DestructorOf(value.slot);
        }
        if (destructor)
            destructor(value.value);
    }
    TablesLock lock;
    while (semaphoreCount > 0)
        RealCloseHandle(semaphores[--semaphoreCount]);
    while (slotCount > 0)
        RealTlsFree(slots[--slotCount]);
    keyCount = 0;
    __gnu_cxx::__freeres();
}

} // namespace

void NoteProcessEnding() {
    InterlockedExchange(&processEnding, 1);
}

} // namespace rb

extern "C" {

// The runtime registers a destructor for each of its thread keys here; this module runs
// them itself (the runtime's way does not reach threads that outlive the module). A key
// beyond the table works all the same, only its blocks are not freed: the runtime ends
// the process when this fails, and the process is Explorer.
int __wrap___mingwthr_key_dtor(DWORD slot, void (*destructor)(void*)) {
    if (!destructor)
        return 0;
    rb::TablesLock lock;
    rb::Append(rb::keys, rb::keyCount, rb::Key{slot, destructor});
    return 0;
}

#ifdef RB_TEST_SEAMS
// For the tests of the test build: registers a thread key as the runtime does.
__declspec(dllexport) int RbTestRegisterThreadKey(DWORD slot, void (*destructor)(void*)) {
    return __wrap___mingwthr_key_dtor(slot, destructor);
}
#endif

// The runtime's entry of a DLL, which runs DllMain and, at unload, every clean-up the
// runtime and the module registered.
BOOL WINAPI DllMainCRTStartup(HANDLE instance, DWORD reason, LPVOID reserved);

BOOL WINAPI RbDllEntry(HANDLE instance, DWORD reason, LPVOID reserved) {
    // At process exit (reserved set) other threads were stopped wherever they were:
    // nothing is released then.
    if (reason == DLL_PROCESS_DETACH && reserved)
        rb::NoteProcessEnding();
    BOOL result = DllMainCRTStartup(instance, reason, reserved);
    if (reason == DLL_THREAD_DETACH)
        rb::EndThread();
    else if (reason == DLL_PROCESS_DETACH && !InterlockedCompareExchange(&rb::processEnding, 0, 0))
        rb::ReleaseRuntimeObjects();
    return result;
}

// The DLL's import slots of these functions point here instead of into kernel32.
#ifdef _WIN64
#define RB_IMPORT_SLOT(name, size) asm("__imp_" #name)
#else
#define RB_IMPORT_SLOT(name, size) asm("__imp__" #name "@" #size)
#endif
HANDLE(WINAPI* rbCreateSemaphoreW)
(LPSECURITY_ATTRIBUTES, LONG, LONG, LPCWSTR)
    RB_IMPORT_SLOT(CreateSemaphoreW, 16) = &rb::CreateRecordedSemaphore;
BOOL(WINAPI* rbCloseHandle)(HANDLE) RB_IMPORT_SLOT(CloseHandle, 4) = &rb::CloseRecordedHandle;
DWORD(WINAPI* rbTlsAlloc)() RB_IMPORT_SLOT(TlsAlloc, 0) = &rb::AllocRecordedSlot;
BOOL(WINAPI* rbTlsFree)(DWORD) RB_IMPORT_SLOT(TlsFree, 4) = &rb::FreeRecordedSlot;
BOOL(WINAPI* rbTlsSetValue)(DWORD, LPVOID) RB_IMPORT_SLOT(TlsSetValue, 8) = &rb::SetRecordedValue;
}
