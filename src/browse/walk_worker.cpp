#include "browse/walk_worker.h"

#include "common/module_thread.h"

namespace rb {

namespace {

volatile LONG liveThreads = 0;

} // namespace

std::shared_ptr<WalkWorker> WalkWorker::Create(HWND notify, UINT message,
                                               std::shared_ptr<KeptStore> store) {
    return std::shared_ptr<WalkWorker>(new WalkWorker(notify, message, std::move(store)));
}

WalkWorker::~WalkWorker() {
    if (thread_)
        CloseHandle(thread_);
}

LONG WalkWorker::LiveThreads() {
    return InterlockedCompareExchange(&liveThreads, 0, 0);
}

bool WalkWorker::Ask(std::uint32_t id, const std::wstring& extendedPath, JobKind kind,
                     const std::wstring* onlyType) {
    {
        WaitLockGuard lock(lock_);
        if (stopping_ || failed_)
            return false;
        if (!thread_) {
            // The thread keeps the worker; it ends when the worker stops.
            std::shared_ptr<WalkWorker> self = shared_from_this();
            InterlockedIncrement(&liveThreads);
            thread_ = StartModuleThread([self] {
                try {
                    self->Run();
                } catch (...) {
                    self->Fail();
                }
                InterlockedDecrement(&liveThreads);
            });
            if (!thread_) {
                InterlockedDecrement(&liveThreads);
                return false;
            }
        }
        jobs_.push_back({id, extendedPath, kind, onlyType ? *onlyType : std::wstring()});
        if (onlyType)
            jobs_.back().only = true;
    }
    lock_.WakeAll();
    return true;
}

std::uint32_t WalkWorker::Running() const {
    WaitLockGuard lock(lock_);
    return running_;
}

void WalkWorker::Cancel(std::uint32_t id) {
    WaitLockGuard lock(lock_);
    for (auto at = jobs_.begin(); at != jobs_.end(); ++at)
        if (at->id == id) {
            jobs_.erase(at);
            return;
        }
    if (running_ == id)
        stop_ = true;
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
            running_ = job.id;
            stop_ = false;
        }
        Result result{job.id, job.kind, WalkOutcome(), KeptTree(store_), FolderTotals(), {}, 0, {}};
        try {
            progress_.files = 0;
            progress_.bytes = 0;
            progress_.unreadable = 0;
            if (job.kind == JobKind::Listing) {
                result.outcome.listing = ListFolderOwn(job.path, stop_, result.own, result.subfolders,
                                                       &result.outcome.loop);
            } else if (job.kind == JobKind::Gather) {
                // No tree is kept: only the files count.
                result.files = std::make_shared<FileStats>();
                if (job.only)
                    result.files->KeepOnly(job.onlyType);
                FileStatsSink sink(*result.files);
                WalkFolderStoppable(job.path, stop_, &progress_, nullptr, &result.outcome, &sink);
            } else {
                WalkFolderStoppable(job.path, stop_, &progress_, &result.kept, &result.outcome);
            }
            result.unreadable = progress_.unreadable;
        } catch (...) { // out of memory, or a failure inside a listing: no numbers
            result.outcome.listing = Listing::BrokeOff;
            result.kept.Clear();
            result.files.reset();
        }
        HWND notify;
        {
            WaitLockGuard lock(lock_);
            running_ = 0;
            if (stopping_)
                return;
            results_.push_back(std::move(result));
            notify = notify_;
            // Counted in the answer from now on.
            progress_.files = 0;
            progress_.bytes = 0;
        }
        if (notify)
            PostMessageW(notify, message_, 0, 0);
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
