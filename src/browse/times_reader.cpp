#include "browse/times_reader.h"

#include "columns/system_lister.h"
#include "common/module_thread.h"
#include "common/name_fold.h"

#include <new>

namespace rb {

namespace {

volatile LONG liveThreads = 0;

} // namespace

std::shared_ptr<TimesReader> TimesReader::Start(const std::vector<const std::wstring*>& names,
                                                const std::wstring& extendedPath, HWND notify,
                                                UINT message, std::shared_ptr<void> discard) {
    std::shared_ptr<TimesReader> reader(new (std::nothrow)
                                            TimesReader(notify, message, extendedPath));
    if (!reader || extendedPath.empty())
        return nullptr;
    try {
        InterlockedIncrement(&liveThreads);
        reader->thread_ = StartModuleThread([reader, names, discard]() mutable {
            try {
                discard.reset();
                reader->Run(names);
            } catch (...) { // out of memory: the page reads the times itself when asked
            }
            reader->NamesCopied();
            InterlockedDecrement(&liveThreads);
        });
    } catch (...) {
    }
    if (!reader->thread_) {
        InterlockedDecrement(&liveThreads);
        return nullptr;
    }
    return reader;
}

TimesReader::~TimesReader() {
    if (thread_)
        CloseHandle(thread_);
}

LONG TimesReader::LiveThreads() {
    return InterlockedCompareExchange(&liveThreads, 0, 0);
}

void TimesReader::NamesCopied() {
    {
        WaitLockGuard lock(lock_);
        namesCopied_ = true;
    }
    lock_.WakeAll();
}

void TimesReader::Run(const std::vector<const std::wstring*>& names) {
    // The names first, by row: the rows may go once Stop has returned.
    std::unordered_map<std::wstring, std::size_t> byName;
    byName.reserve(names.size());
    for (std::size_t row = 0; row < names.size() && !stop_; ++row)
        if (!names[row]->empty())
            byName.emplace(FoldName(*names[row]), row);
    NamesCopied();

    std::vector<Times> times;
    times.reserve(byName.size());
    if (!stop_)
        ListByFind(path_, [&](const WIN32_FIND_DATAW& data) {
            auto found = byName.find(FoldName(data.cFileName, wcslen(data.cFileName)));
            if (found != byName.end())
                times.push_back({found->second, data.ftCreationTime, data.ftLastAccessTime,
                                 data.ftLastWriteTime});
            return !stop_;
        });
    HWND notify;
    {
        WaitLockGuard lock(lock_);
        if (stop_)
            return;
        times_.swap(times);
        done_ = true;
        notify = notify_;
    }
    if (notify)
        PostMessageW(notify, message_, 0, 0);
}

bool TimesReader::Take(std::vector<Times>& times) {
    WaitLockGuard lock(lock_);
    times.swap(times_);
    return done_;
}

void TimesReader::Stop(DWORD milliseconds) {
    HANDLE thread;
    {
        WaitLockGuard lock(lock_);
        stop_ = true;
        notify_ = nullptr;
        thread = thread_;
        // Copying stops at the next name: a short wait, and the rows may go after it.
        while (!namesCopied_)
            lock_.Wait();
    }
    if (thread)
        WaitForSingleObject(thread, milliseconds);
}

} // namespace rb
