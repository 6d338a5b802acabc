#include "browse/walk_worker.h"

#include "common/module_thread.h"
#include "common/name_fold.h"

namespace rb {

namespace {

volatile LONG liveThreads = 0;
volatile LONG busy = 0;

void Unbusy(std::size_t jobs) {
    InterlockedExchangeAdd(&busy, -static_cast<LONG>(jobs));
}

WalkWorker::PriorityFunction setPriority = &SetThreadPriority;

#ifndef THREAD_MODE_BACKGROUND_BEGIN
#define THREAD_MODE_BACKGROUND_BEGIN 0x00010000
#define THREAD_MODE_BACKGROUND_END 0x00020000
#endif

// The background mode from Vista on; before it, the lowest priority.
void SetBackground(bool background) {
    HANDLE thread = GetCurrentThread();
    if (!setPriority(thread, background ? THREAD_MODE_BACKGROUND_BEGIN : THREAD_MODE_BACKGROUND_END))
        setPriority(thread, background ? THREAD_PRIORITY_LOWEST : THREAD_PRIORITY_NORMAL);
}

} // namespace

std::shared_ptr<WalkWorker> WalkWorker::Create(HWND notify, UINT message,
                                               std::shared_ptr<KeptStore> store) {
    return std::shared_ptr<WalkWorker>(new WalkWorker(notify, message, std::move(store)));
}

WalkWorker::~WalkWorker() {
    if (thread_)
        CloseHandle(thread_);
}

LONG WalkWorker::Busy() {
    return InterlockedCompareExchange(&busy, 0, 0);
}

LONG WalkWorker::LiveThreads() {
    return InterlockedCompareExchange(&liveThreads, 0, 0);
}

WalkWorker::PriorityFunction WalkWorker::SetPriorityFunction(PriorityFunction function) {
    PriorityFunction before = setPriority;
    setPriority = function ? function : &SetThreadPriority;
    return before;
}

bool WalkWorker::Ask(std::uint32_t id, const std::wstring& extendedPath, JobKind kind,
                     const std::wstring* onlyType, bool background) {
    Job job;
    job.id = id;
    job.path = extendedPath;
    job.kind = kind;
    job.onlyType = onlyType ? *onlyType : std::wstring();
    job.only = onlyType != nullptr;
    job.background = background;
    return Push(std::move(job));
}

bool WalkWorker::Recall(std::uint32_t id, const ShelfEntry& entry, std::shared_ptr<KeptStore> into) {
    Job job;
    job.id = id;
    job.path = entry.info.root;
    job.kind = JobKind::Recall;
    job.entry = std::make_shared<const ShelfEntry>(entry);
    job.into = std::move(into);
    return Push(std::move(job));
}

void WalkWorker::RecallTree(const Job& job, Result& result) {
    std::string bytes;
    result.kept = KeptTree(job.into);
    if (!TakeFromShelf(*job.entry, bytes))
        return;
    if (!LoadTree(bytes.data(), bytes.size(), result.saved, result.kept)) {
        // Damaged: the next save writes it anew. One larger than this process keeps (a
        // 64-bit Explorer's, read by a 32-bit program) stays for the one that reads it.
        SavedTreeInfo header;
        if (!ReadSavedInfo(bytes.data(), bytes.size(), header) || header.folders <= SavedFoldersMax())
            DropFromShelf(*job.entry);
        return;
    }
    // Another stick at the same letter, or another folder at the same path: not its
    // numbers. A share is told by its path alone; a folder the system tells nothing of
    // now is not told apart from another, so it gets nothing.
    std::uint32_t serial = 0;
    std::uint64_t folderId = 0;
    result.recalled = SameName(result.saved.root, job.entry->info.root) &&
                      TreeIdentity(result.saved.root, serial, folderId) &&
                      serial == result.saved.volumeSerial && folderId == result.saved.folderId;
    if (!result.recalled)
        result.kept.Clear();
}

bool WalkWorker::Push(Job job) {
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
        jobs_.push_back(std::move(job));
        InterlockedIncrement(&busy);
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
            Unbusy(1);
            return;
        }
    if (running_ == id)
        stop_ = true;
}

void WalkWorker::Run() {
    bool background = false;
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
        Result result{job.id, job.kind, WalkOutcome(), KeptTree(store_), FolderTotals(), {}, 0, {}, false, {}};
        if (job.background != background) {
            background = job.background;
            SetBackground(background);
        }
        try {
            progress_.files = 0;
            progress_.bytes = 0;
            progress_.unreadable = 0;
            if (job.kind == JobKind::Recall) {
                RecallTree(job, result);
            } else if (job.kind == JobKind::Listing) {
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
            result.recalled = false;
            result.files.reset();
        }
        HWND notify;
        {
            WaitLockGuard lock(lock_);
            running_ = 0;
            if (stopping_) {
                Unbusy(1);
                return;
            }
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
        Unbusy(jobs_.size() + (running_ ? 1 : 0));
        running_ = 0;
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
    Unbusy(taken.size());
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
        Unbusy(jobs_.size() + results_.size());
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
