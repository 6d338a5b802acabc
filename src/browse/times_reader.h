// Reads the three times of every row of a large listing on a thread of its own, from one
// listing of the folder, so that a sort by a time finds them read.
#pragma once

#include <windows.h>

#include "common/win_lock.h"

#include <atomic>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace rb {

class TimesReader : public std::enable_shared_from_this<TimesReader> {
public:
    struct Times {
        std::size_t row;
        FILETIME created, accessed, written;
    };

    // `names` are the rows' lower-cased file-system names, by row; they are the caller's
    // and must stay unchanged until Stop (the thread copies them first). `message` is
    // posted to `notify` when the times are read. `discard` is let go on the thread (the
    // rows of the listing before). Null when no thread starts.
    static std::shared_ptr<TimesReader> Start(const std::vector<const std::wstring*>& names,
                                              const std::wstring& extendedPath, HWND notify,
                                              UINT message, std::shared_ptr<void> discard);
    ~TimesReader();
    TimesReader(const TimesReader&) = delete;
    TimesReader& operator=(const TimesReader&) = delete;

    // The times the listing had, once `message` came; false before, as for a message of
    // a reader that has been replaced.
    bool Take(std::vector<Times>& times);
    // Ends the thread's work: returns once it no longer reads the names, waits at most
    // `milliseconds` for the thread.
    void Stop(DWORD milliseconds);

    // Reader threads of this process not yet ended (for tests).
    static LONG LiveThreads();

private:
    TimesReader(HWND notify, UINT message, const std::wstring& path)
        : notify_(notify), message_(message), path_(path) {}
    void Run(const std::vector<const std::wstring*>& names);
    void NamesCopied();

    mutable WaitLock lock_; // its condition: the names were copied
    std::vector<Times> times_;
    bool namesCopied_ = false;
    bool done_ = false;
    std::atomic<bool> stop_{false};
    HWND notify_;
    const UINT message_;
    const std::wstring path_;
    HANDLE thread_ = nullptr;
};

} // namespace rb
