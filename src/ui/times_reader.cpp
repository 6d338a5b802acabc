#include "ui/times_reader.h"

#include "columns/row_values.h"

#include <new>

namespace rb {

namespace {

volatile LONG liveThreads = 0;

} // namespace

struct TimesReader::Start_ {
    std::shared_ptr<TimesReader> reader;
    std::vector<const std::wstring*> names;
    std::shared_ptr<void> discard;
    HMODULE module;
};

std::shared_ptr<TimesReader> TimesReader::Start(const std::vector<const std::wstring*>& names,
                                                const std::wstring& extendedPath, HWND notify,
                                                UINT message, std::shared_ptr<void> discard) {
    std::shared_ptr<TimesReader> reader(new (std::nothrow)
                                            TimesReader(notify, message, extendedPath));
    HMODULE module = nullptr;
    // The thread holds the module: the DLL is not unloaded under a thread left running.
    if (!reader || extendedPath.empty() ||
        !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&TimesReader::ThreadMain), &module))
        return nullptr;
    Start_* start = nullptr;
    try {
        start = new Start_{reader, names, discard, module};
    } catch (...) {
    }
    if (start)
        reader->thread_ = CreateThread(nullptr, 0, &TimesReader::ThreadMain, start, 0, nullptr);
    if (!reader->thread_) {
        delete start;
        FreeLibrary(module);
        return nullptr;
    }
    InterlockedIncrement(&liveThreads);
    return reader;
}

TimesReader::~TimesReader() {
    if (thread_)
        CloseHandle(thread_);
}

LONG TimesReader::LiveThreads() {
    return InterlockedCompareExchange(&liveThreads, 0, 0);
}

DWORD WINAPI TimesReader::ThreadMain(void* argument) {
    HMODULE module;
    {
        std::unique_ptr<Start_> start(static_cast<Start_*>(argument));
        module = start->module;
        TimesReader& reader = *start->reader;
        try {
            start->discard.reset();
            reader.Run(start->names);
        } catch (...) { // out of memory: the page reads the times itself when asked
        }
        {
            WaitLockGuard lock(reader.lock_);
            reader.namesCopied_ = true;
        }
        reader.lock_.WakeAll();
        InterlockedDecrement(&liveThreads);
    }
    FreeLibraryAndExitThread(module, 0);
}

void TimesReader::Run(const std::vector<const std::wstring*>& names) {
    // The names first, by row: the rows may go once Stop has returned.
    std::unordered_map<std::wstring, std::size_t> byName;
    byName.reserve(names.size());
    for (std::size_t row = 0; row < names.size() && !stop_; ++row)
        if (!names[row]->empty())
            byName.emplace(*names[row], row);
    {
        WaitLockGuard lock(lock_);
        namesCopied_ = true;
    }
    lock_.WakeAll();

    std::vector<Times> times;
    std::wstring pattern = path_;
    if (pattern.back() != L'\\')
        pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW data;
    HANDLE find = stop_ ? INVALID_HANDLE_VALUE
                        : FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                           FindExSearchNameMatch, nullptr,
                                           FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE && !stop_) // the older systems know neither
        find = FindFirstFileW(pattern.c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        times.reserve(byName.size());
        do {
            auto found = byName.find(LowerForSort(data.cFileName));
            if (found != byName.end())
                times.push_back({found->second, data.ftCreationTime, data.ftLastAccessTime,
                                 data.ftLastWriteTime});
        } while (!stop_ && FindNextFileW(find, &data));
        FindClose(find);
    }
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
