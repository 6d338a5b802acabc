#include "common/win_lock.h"

#include "common/newer_api.h"

namespace rb {

WaitLock::WaitLock() : slim_(Newer().HasSrwLocks()) {
    if (!slim_) {
        InitializeCriticalSection(&section_);
        InitializeCriticalSection(&waitersLock_);
    }
}

WaitLock::~WaitLock() {
    if (!slim_) {
        DeleteCriticalSection(&waitersLock_);
        DeleteCriticalSection(&section_);
    }
}

void WaitLock::Acquire() {
    if (slim_)
        Newer().acquireSrwLockExclusive(&lock_);
    else
        EnterCriticalSection(&section_);
}

void WaitLock::Release() {
    if (slim_)
        Newer().releaseSrwLockExclusive(&lock_);
    else
        LeaveCriticalSection(&section_);
}

bool WaitLock::Wait(DWORD milliseconds) {
    if (slim_)
        return Newer().sleepConditionVariableSrw(&condition_, &lock_, milliseconds, 0) != FALSE;
    // The waiter joins the list before it lets the lock go: a change made under the lock
    // and the WakeAll after it cannot slip in between.
    Waiter self = {CreateEventW(nullptr, TRUE, FALSE, nullptr), nullptr};
    if (!self.event) {
        // No event to wait on: a short sleep, and the caller looks at its state again.
        LeaveCriticalSection(&section_);
        Sleep(milliseconds < 10 ? milliseconds : 10);
        EnterCriticalSection(&section_);
        return true;
    }
    EnterCriticalSection(&waitersLock_);
    self.next = waiters_;
    waiters_ = &self;
    LeaveCriticalSection(&waitersLock_);
    LeaveCriticalSection(&section_);

    DWORD result = WaitForSingleObject(self.event, milliseconds);

    // WakeAll takes the list whole; after a timeout this waiter may still be on it.
    EnterCriticalSection(&waitersLock_);
    for (Waiter** at = &waiters_; *at; at = &(*at)->next)
        if (*at == &self) {
            *at = self.next;
            break;
        }
    LeaveCriticalSection(&waitersLock_);
    CloseHandle(self.event);
    EnterCriticalSection(&section_);
    return result == WAIT_OBJECT_0;
}

void WaitLock::WakeAll() {
    if (slim_) {
        Newer().wakeAllConditionVariable(&condition_);
        return;
    }
    // Events are set under the list's lock: a waiter closes its own only after taking it.
    EnterCriticalSection(&waitersLock_);
    for (Waiter* waiter = waiters_; waiter; waiter = waiter->next)
        SetEvent(waiter->event);
    waiters_ = nullptr;
    LeaveCriticalSection(&waitersLock_);
}

} // namespace rb
