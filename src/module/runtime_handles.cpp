// The compiler's static runtime makes a few kernel objects on first use and never gives
// them back: the semaphores of its internal mutexes (the unwinder's frame registry on
// 32-bit, thread-safe statics, the exception state) and the slot of its emulated
// thread-local storage. Its emergency exception pool stays allocated as well. Explorer
// unloads idle extensions and loads them again whenever it needs them, so each of these
// would pile up in its process, one set per load.
//
// Every semaphore and TLS slot made inside this module goes through the functions below
// (they take the place of the kernel32 imports of this DLL alone). What the runtime still
// holds when the module is unloaded is released after the runtime's own clean-up has run.
// Only the DLL is linked with this file; the test programs are not.
#include "module/runtime_handles.h"

#include <windows.h>

#include <cstdlib>

namespace __gnu_cxx {
void __freeres() noexcept; // frees the emergency exception pool
}

namespace rb {

namespace {

constexpr int kMaxSemaphores = 64;
constexpr int kMaxSlots = 16;

// Entries are taken and cleared with interlocked operations: the runtime may make its
// objects on any thread.
HANDLE volatile semaphores[kMaxSemaphores] = {};
volatile LONG slots[kMaxSlots] = {}; // index + 1; 0 is a free entry
volatile LONG processEnding = 0;

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

BOOL RealCloseHandle(HANDLE handle) {
    auto close = Kernel32<BOOL(WINAPI*)(HANDLE)>(closeHandle, "CloseHandle");
    return close ? close(handle) : FALSE;
}

BOOL RealTlsFree(DWORD index) {
    auto free = Kernel32<BOOL(WINAPI*)(DWORD)>(tlsFree, "TlsFree");
    return free ? free(index) : FALSE;
}

void RecordSemaphore(HANDLE handle) {
    for (HANDLE volatile& entry : semaphores)
        if (!InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&entry), handle,
                                               nullptr))
            return;
    // Table full: the handle stays with its maker, as it would without this record.
}

void ForgetSemaphore(HANDLE handle) {
    for (HANDLE volatile& entry : semaphores)
        if (InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&entry), nullptr,
                                              handle) == handle)
            return;
}

HANDLE WINAPI CreateRecordedSemaphore(LPSECURITY_ATTRIBUTES attributes, LONG initial, LONG maximum,
                                      LPCWSTR name) {
    auto create = Kernel32<HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LONG, LONG, LPCWSTR)>(
        createSemaphore, "CreateSemaphoreW");
    HANDLE handle = create ? create(attributes, initial, maximum, name) : nullptr;
    if (handle)
        RecordSemaphore(handle);
    return handle;
}

BOOL WINAPI CloseRecordedHandle(HANDLE handle) {
    ForgetSemaphore(handle);
    return RealCloseHandle(handle);
}

DWORD WINAPI AllocRecordedSlot() {
    auto alloc = Kernel32<DWORD(WINAPI*)()>(tlsAlloc, "TlsAlloc");
    DWORD index = alloc ? alloc() : TLS_OUT_OF_INDEXES;
    if (index != TLS_OUT_OF_INDEXES)
        for (volatile LONG& entry : slots)
            if (InterlockedCompareExchange(&entry, static_cast<LONG>(index) + 1, 0) == 0)
                break;
    return index;
}

BOOL WINAPI FreeRecordedSlot(DWORD index) {
    for (volatile LONG& entry : slots)
        if (InterlockedCompareExchange(&entry, 0, static_cast<LONG>(index) + 1) ==
            static_cast<LONG>(index) + 1)
            break;
    return RealTlsFree(index);
}

void ReleaseRuntimeObjects() {
    // At process exit other threads were stopped wherever they were: touch nothing.
    if (InterlockedCompareExchange(&processEnding, 0, 0))
        return;
    for (HANDLE volatile& entry : semaphores) {
        HANDLE handle =
            InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&entry), nullptr);
        if (handle)
            RealCloseHandle(handle);
    }
    for (volatile LONG& entry : slots) {
        LONG index = InterlockedExchange(&entry, 0);
        if (index)
            RealTlsFree(static_cast<DWORD>(index - 1));
    }
    __gnu_cxx::__freeres();
}

// Registered while the module starts, before the runtime registers its own clean-up
// (the frame registry's goes last), so it runs after all of it at unload.
struct ReleaseAtUnload {
    ReleaseAtUnload() { std::atexit(&ReleaseRuntimeObjects); }
} releaseAtUnload;

} // namespace

void NoteProcessEnding() {
    InterlockedExchange(&processEnding, 1);
}

} // namespace rb

// The DLL's import slots of these four functions point here instead of into kernel32.
extern "C" {
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
}
