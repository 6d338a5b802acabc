// A lock for very short sections of portable code, such as copying a short text. It
// needs no system object, so it has nothing to create or to close.
#pragma once

#include <atomic>

namespace rb {

// Gives the rest of the calling thread's time slice to another thread.
void YieldThread();

class SpinLock {
public:
    void Lock() noexcept {
        while (flag_.test_and_set(std::memory_order_acquire))
            YieldThread();
    }
    void Unlock() noexcept { flag_.clear(std::memory_order_release); }

private:
    std::atomic_flag flag_ = ATOMIC_FLAG_INIT;
};

class ScopedSpinLock {
public:
    explicit ScopedSpinLock(SpinLock& lock) : lock_(lock) { lock_.Lock(); }
    ~ScopedSpinLock() { lock_.Unlock(); }
    ScopedSpinLock(const ScopedSpinLock&) = delete;
    ScopedSpinLock& operator=(const ScopedSpinLock&) = delete;

private:
    SpinLock& lock_;
};

} // namespace rb
