// The walks and listings of the details page, on a thread of their own so that the dialog
// answers while a big folder is summed.
#pragma once

#include <windows.h>

#include "browse/browser.h"
#include "browse/file_stats.h"
#include "browse/kept_tree.h"
#include "browse/tree_shelf.h"
#include "columns/folder_walk.h"
#include "common/win_lock.h"

#include <atomic>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace rb {

// Shared by the page and the worker thread. A page that goes away while a walk is stuck
// in one listing (a share that stalls) does not wait for it: the thread keeps this object
// and a reference on the module, and ends by itself once the listing returns. It holds
// no pointer into the page; answers name their jobs by the browser's ids.
class WalkWorker : public std::enable_shared_from_this<WalkWorker> {
public:
    struct Result {
        std::uint32_t id = 0;
        JobKind kind = JobKind::Walk;
        WalkOutcome outcome;      // of the walk, or the listing's in `outcome.listing`
        KeptTree kept;            // of the walk
        FolderTotals own;         // of the listing
        std::vector<std::wstring> subfolders;
        std::uint32_t unreadable = 0; // folders below the walked one not listed
        // Of a gathering, its files (not whole unless `outcome.listing` is Whole); none
        // when it failed.
        std::shared_ptr<FileStats> files;
        // Of a recall: the saved tree was read whole and is of this folder (`kept` holds
        // it), with its header.
        bool recalled = false;
        SavedTreeInfo saved;
    };

    // `message` is posted to `notify` whenever answers are ready. Walks keep what they
    // find within `budget`.
    static std::shared_ptr<WalkWorker> Create(HWND notify, UINT message,
                                              std::shared_ptr<KeptStore> store);
    ~WalkWorker();
    WalkWorker(const WalkWorker&) = delete;
    WalkWorker& operator=(const WalkWorker&) = delete;

    // Queues a job; the thread starts with the first. False when no thread can be
    // started, or the worker has stopped or failed. A gathering with `onlyType` keeps the
    // largest files of that type only.
    // With `background`, the job runs in the system's background mode (low I/O priority;
    // the lowest thread priority where there is none).
    bool Ask(std::uint32_t id, const std::wstring& extendedPath, JobKind kind,
             const std::wstring* onlyType = nullptr, bool background = false);
    // Reads the saved tree of `entry` into the store `into` (a recall job): refused when
    // it is damaged (then it goes from the shelf) or of another volume or folder.
    bool Recall(std::uint32_t id, const ShelfEntry& entry, std::shared_ptr<KeptStore> into);

    // How the thread's mode is set; tests record it.
    using PriorityFunction = BOOL(WINAPI*)(HANDLE thread, int priority);
    static PriorityFunction SetPriorityFunction(PriorityFunction function);
    // A queued job goes; one that runs ends at its next listing or block of entries.
    void Cancel(std::uint32_t id);
    std::vector<Result> TakeResults();
    // Whether the worker broke down (out of memory outside a walk): what it was asked
    // and did not answer gets no answer.
    bool Failed() const;
    // Ends the walks and drops what is queued; nothing is posted any more. Waits at most
    // `milliseconds` for the thread; false when it was left running.
    bool Stop(DWORD milliseconds);

    // The job now running; 0: none.
    std::uint32_t Running() const;
    // What the walk now running has met so far (files, bytes).
    std::uint64_t RunningFiles() const { return progress_.files.load(); }
    std::uint64_t RunningBytes() const { return progress_.bytes.load(); }

    // Worker threads of this process not yet ended, and jobs of all workers queued, under
    // way or answered and not taken (for tests).
    static LONG LiveThreads();
    static LONG Busy();

private:
    struct Job {
        std::uint32_t id = 0;
        std::wstring path;
        JobKind kind = JobKind::Walk;
        std::wstring onlyType; // of a gathering with `only`: the largest files of this type
        bool only = false;
        bool background = false;
        std::shared_ptr<const ShelfEntry> entry; // of a recall
        std::shared_ptr<KeptStore> into;
    };
    bool Push(Job job);
    // A recall job's work on the thread.
    static void RecallTree(const Job& job, Result& result);

    WalkWorker(HWND notify, UINT message, std::shared_ptr<KeptStore> store)
        : notify_(notify), message_(message), store_(std::move(store)) {}
    void Run();
    void Fail();

    mutable WaitLock lock_; // its condition: a job came, or the worker stops
    std::deque<Job> jobs_;
    std::vector<Result> results_;
    bool stopping_ = false;
    bool failed_ = false;
    std::uint32_t running_ = 0; // the job under way
    HWND notify_;
    const UINT message_;
    const std::shared_ptr<KeptStore> store_;
    std::atomic<bool> stop_{false}; // the job under way ends
    WalkProgress progress_;
    HANDLE thread_ = nullptr;
};

} // namespace rb
