#include "ui/walk_worker.h"

namespace rb {

namespace {

volatile LONG liveThreads = 0;

} // namespace

struct WalkWorker::Start {
    std::shared_ptr<WalkWorker> worker;
    HMODULE module;
};

std::shared_ptr<WalkWorker> WalkWorker::Create(HWND notify, UINT message) {
    return std::shared_ptr<WalkWorker>(new WalkWorker(notify, message));
}

WalkWorker::~WalkWorker() {
    if (thread_)
        CloseHandle(thread_);
}

LONG WalkWorker::LiveThreads() {
    return InterlockedCompareExchange(&liveThreads, 0, 0);
}

bool WalkWorker::Ask(LPARAM key, const std::wstring& extendedPath, Kind kind) {
    {
        WaitLockGuard lock(lock_);
        if (stopping_ || failed_)
            return false;
        if (!thread_ && !StartThread())
            return false;
        jobs_.push_back({key, extendedPath, kind});
    }
    lock_.WakeAll();
    return true;
}

// Under the lock.
bool WalkWorker::StartThread() {
    // The thread holds the module: the DLL is not unloaded under a thread left running.
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&WalkWorker::ThreadMain), &module))
        return false;
    Start* start = new (std::nothrow) Start{shared_from_this(), module};
    if (start)
        thread_ = CreateThread(nullptr, 0, &WalkWorker::ThreadMain, start, 0, nullptr);
    if (!thread_) {
        delete start;
        FreeLibrary(module);
        return false;
    }
    InterlockedIncrement(&liveThreads);
    return true;
}

DWORD WINAPI WalkWorker::ThreadMain(void* argument) {
    HMODULE module;
    {
        std::unique_ptr<Start> start(static_cast<Start*>(argument));
        module = start->module;
        try {
            start->worker->Run();
        } catch (...) {
            start->worker->Fail();
        }
        InterlockedDecrement(&liveThreads);
    } // the last owner of the worker may be this thread: it goes here, inside the module
    FreeLibraryAndExitThread(module, 0);
}

void WalkWorker::Run() {
    for (;;) {
        Job job = {};
        {
            WaitLockGuard lock(lock_);
            while (!stopping_ && jobs_.empty())
                lock_.Wait();
            if (stopping_)
                return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        // One walk gives all three numbers of the folder, and those of every folder below.
        Result result;
        result.key = job.key;
        result.ok = false;
        result.kind = job.kind;
        result.path = job.path;
        try {
            progress_.files = 0;
            progress_.bytes = 0;
            if (job.kind == Kind::Listing) {
                result.ok = ListFolderOwn(job.path, stop_, result.totals, result.subfolders) !=
                            Listing::BrokeOff;
                result.totals.whole = result.ok && result.totals.whole;
            } else {
                result.totals = WalkFolderStoppable(job.path, stop_, &progress_, &result.kept);
                result.ok = result.totals.whole;
            }
        } catch (...) { // out of memory, or a failure inside a listing: no numbers
            result.ok = false;
            result.kept = KeptTree();
        }
        HWND notify;
        {
            WaitLockGuard lock(lock_);
            if (stopping_)
                return;
            results_.push_back(std::move(result));
            notify = notify_;
            // Counted in the result from now on.
            progress_.files = 0;
            progress_.bytes = 0;
        }
        Post(notify);
    }
}

void WalkWorker::Fail() {
    HWND notify;
    {
        WaitLockGuard lock(lock_);
        failed_ = true;
        jobs_.clear();
        notify = stopping_ ? nullptr : notify_;
    }
    Post(notify);
}

void WalkWorker::Post(HWND notify) const {
    if (notify)
        PostMessageW(notify, message_, 0, 0);
}

std::vector<WalkWorker::Result> WalkWorker::TakeResults() {
    std::vector<Result> taken;
    WaitLockGuard lock(lock_);
    taken.swap(results_);
    return taken;
}

bool WalkWorker::Failed() const {
    WaitLockGuard lock(lock_);
    return failed_;
}

bool WalkWorker::Stop(DWORD milliseconds) {
    HANDLE thread;
    {
        WaitLockGuard lock(lock_);
        stopping_ = true;
        notify_ = nullptr;
        jobs_.clear();
        results_.clear();
        stop_ = true;
        thread = thread_;
        thread_ = nullptr;
    }
    lock_.WakeAll();
    if (!thread)
        return true;
    // The walk looks at the stop flag between blocks of every listing, so this is short
    // unless a listing itself stalls; such a thread is left to end on its own.
    bool ended = WaitForSingleObject(thread, milliseconds) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return ended;
}

} // namespace rb
