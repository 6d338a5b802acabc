// Functions that only Windows Vista and later have, looked up at run time: the DLL must
// load on XP SP3 and Server 2003, whose loader refuses a module that imports them. Every
// user has a path for when a pointer is null.
#pragma once

#include <windows.h>

#include <cstdint>

namespace rb {

struct NewerApi {
    void(WINAPI* acquireSrwLockExclusive)(PSRWLOCK);
    void(WINAPI* releaseSrwLockExclusive)(PSRWLOCK);
    BOOL(WINAPI* sleepConditionVariableSrw)(PCONDITION_VARIABLE, PSRWLOCK, DWORD, ULONG);
    void(WINAPI* wakeAllConditionVariable)(PCONDITION_VARIABLE);
    BOOL(WINAPI* getFileInformationByHandleEx)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
    // Where a symbolic link leads (links to files came with Vista).
    DWORD(WINAPI* getFinalPathNameByHandle)(HANDLE, LPWSTR, DWORD, DWORD);
    // FindFirstFileExW. Before Windows 7 it refuses the basic level and the large fetch
    // (ERROR_INVALID_PARAMETER), which callers learn at the first refusal; in the build for
    // tests of the XP paths it answers so, too.
    HANDLE(WINAPI* findFirstFileEx)(LPCWSTR, FINDEX_INFO_LEVELS, LPVOID, FINDEX_SEARCH_OPS,
                                    LPVOID, DWORD);

    bool HasSrwLocks() const {
        return acquireSrwLockExclusive && releaseSrwLockExclusive && sleepConditionVariableSrw &&
               wakeAllConditionVariable;
    }
};

// Looked up once per process. In the build for tests of the XP paths (RB_XP_PATHS) every
// pointer is null.
const NewerApi& Newer();

// How often FindFirstFileExW refused the basic level as XP does (only in the build for
// tests of the XP paths; 0 elsewhere).
unsigned long RefusedBasicListings();

// Milliseconds since the system started, as 32 bits: compare two of them only by their
// difference, which stays right across the wrap after 49.7 days.
inline std::uint32_t Milliseconds() {
    return GetTickCount();
}
inline std::uint32_t MillisecondsSince(std::uint32_t start, std::uint32_t now) {
    return now - start;
}

} // namespace rb
