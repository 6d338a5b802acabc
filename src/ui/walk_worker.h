// The folder walks of the details page, on a thread of their own so that the dialog
// answers while a big folder is summed.
#pragma once

#include <windows.h>

#include "columns/folder_walk.h"
#include "columns/kept_tree.h"
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
// no pointer into the page; results name their rows by an opaque key.
class WalkWorker : public std::enable_shared_from_this<WalkWorker> {
public:
    // A walk keeps every folder it lists; a listing lists the folder by itself.
    enum class Kind { Walk, Listing };
    struct Result {
        LPARAM key;
        FolderTotals totals; // of the walk, or the folder's own of the listing
        bool ok; // false: the folder could not be listed or the walk failed
        Kind kind = Kind::Walk;
        std::wstring path;
        KeptTree kept;                      // of the walk
        std::vector<std::wstring> subfolders; // of the listing
    };

    // `message` is posted to `notify` whenever results are ready.
    static std::shared_ptr<WalkWorker> Create(HWND notify, UINT message);
    ~WalkWorker();
    WalkWorker(const WalkWorker&) = delete;
    WalkWorker& operator=(const WalkWorker&) = delete;

    // Queues a walk; the thread starts with the first. False when no thread can be
    // started, or the worker has stopped or failed.
    bool Ask(LPARAM key, const std::wstring& extendedPath, Kind kind = Kind::Walk);
    std::vector<Result> TakeResults();
    // Whether the worker broke down (out of memory outside a walk): what it was asked
    // and did not answer gets no answer.
    bool Failed() const;
    // Ends the walks and drops what is queued; nothing is posted any more. Waits at most
    // `milliseconds` for the thread; false when it was left running.
    bool Stop(DWORD milliseconds);

    // What the walk now running has met so far (files, bytes), and the folders below
    // any walked row that could not be listed, over all walks of this worker.
    std::uint64_t RunningFiles() const { return progress_.files.load(); }
    std::uint64_t RunningBytes() const { return progress_.bytes.load(); }
    std::uint32_t Unreadable() const { return progress_.unreadable.load(); }

    // Worker threads of this process not yet ended (for tests).
    static LONG LiveThreads();

private:
    struct Job {
        LPARAM key;
        std::wstring path;
        Kind kind;
    };
    struct Start;

    WalkWorker(HWND notify, UINT message) : notify_(notify), message_(message) {}
    bool StartThread();
    static DWORD WINAPI ThreadMain(void* start);
    void Run();
    void Fail();
    void Post(HWND notify) const;

    mutable WaitLock lock_; // its condition: a job came, or the worker stops
    std::deque<Job> jobs_;
    std::vector<Result> results_;
    bool stopping_ = false;
    bool failed_ = false;
    HWND notify_;
    const UINT message_;
    std::atomic<bool> stop_{false};
    WalkProgress progress_;
    HANDLE thread_ = nullptr;
};

} // namespace rb
