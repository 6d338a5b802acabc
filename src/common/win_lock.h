// A critical section and its scope guard; a lock with a condition to wait on.
#pragma once

#include <windows.h>

namespace rb {

class CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&section_); }
    ~CriticalSection() { DeleteCriticalSection(&section_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    void Enter() { EnterCriticalSection(&section_); }
    bool TryEnter() { return TryEnterCriticalSection(&section_) != FALSE; }
    void Leave() { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

class ScopedLock {
public:
    explicit ScopedLock(CriticalSection& section) : section_(section) { section_.Enter(); }
    ~ScopedLock() { section_.Leave(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    CriticalSection& section_;
};

// A lock with one condition to wait on. Slim reader/writer lock and condition variable
// where the system has them (Vista on); before that a critical section and an event for
// each waiting thread.
class WaitLock {
public:
    WaitLock();
    ~WaitLock();
    WaitLock(const WaitLock&) = delete;
    WaitLock& operator=(const WaitLock&) = delete;

    void Acquire();
    void Release();
    // Held on entry and on return: lets the lock go while waiting for WakeAll, at most
    // `milliseconds`; false when that time ran out. It may also return for nothing, so
    // callers wait in a loop on their own state.
    bool Wait(DWORD milliseconds = INFINITE);
    // Wakes every thread in Wait; with or without the lock held.
    void WakeAll();
    // Whether the slim lock is used (for tests of both ways).
    bool IsSlim() const { return slim_; }

private:
    struct Waiter {
        HANDLE event;
        Waiter* next;
    };

    bool slim_;
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE condition_ = CONDITION_VARIABLE_INIT;
    CRITICAL_SECTION section_;     // the lock before Vista
    CRITICAL_SECTION waitersLock_; // guards waiters_
    Waiter* waiters_ = nullptr;
};

// Holds a WaitLock for its scope.
class WaitLockGuard {
public:
    explicit WaitLockGuard(WaitLock& lock) : lock_(lock) { lock_.Acquire(); }
    ~WaitLockGuard() { lock_.Release(); }
    WaitLockGuard(const WaitLockGuard&) = delete;
    WaitLockGuard& operator=(const WaitLockGuard&) = delete;

private:
    WaitLock& lock_;
};

} // namespace rb
