// The results of recent walks, shared by every request of the process.
#include "columns/folder_walk.h"
#include "columns/system_lister.h"

#include "common/newer_api.h"
#include "common/win_lock.h"

#include <memory>
#include <vector>

namespace rb {

namespace {

volatile LONG waiting = 0;
void* volatile clock = nullptr; // a test's clock, or null for the system's

std::uint32_t Now() {
    auto replaced = reinterpret_cast<WalkClock>(InterlockedCompareExchangePointer(&clock, nullptr, nullptr));
    return replaced ? replaced() : Milliseconds();
}

// Results of recent walks, shared by every thread of the process.
struct WalkRecord {
    std::wstring path;
    FolderTotals totals;
    std::uint32_t finishedAt = 0; // Now()
    bool running = true;
    bool failed = false;
};

class WalkTable {
public:
    bool Statistics(const std::wstring& path, FolderTotals& totals) {
        std::shared_ptr<WalkRecord> record;
        {
            WaitLockGuard lock(lock_);
            record = Find(path);
            if (record && record->running) {
                // That walk's outcome is this request's too, a failure included.
                InterlockedIncrement(&waiting);
                while (record->running)
                    lock_.Wait();
                InterlockedDecrement(&waiting);
                totals = record->totals;
                return !record->failed;
            }
            if (record && IsFresh(*record, Now())) {
                totals = record->totals;
                return true;
            }
            record = Start(path);
        }
        if (!record) // table full of running walks: walk unshared
            return Walk(path, totals);
        bool ok = Walk(path, totals);
        Complete(*record, totals, ok);
        return ok;
    }

    void Forget() {
        WaitLockGuard lock(lock_);
        for (std::size_t i = records_.size(); i-- > 0;)
            if (!records_[i]->running)
                records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(i));
    }

private:
    static bool IsFresh(const WalkRecord& record, std::uint32_t now) {
        return MillisecondsSince(record.finishedAt, now) < kWalkResultMilliseconds;
    }

    // False when the folder could not be listed or the walk failed: its numbers would be
    // some other folder's, or none at all.
    static bool Walk(const std::wstring& path, FolderTotals& totals) {
        try {
            SystemLister lister;
            totals = WalkTree(path, lister);
            return totals.whole;
        } catch (...) { // out of memory in a huge tree, or a failure inside a listing
            totals = FolderTotals();
            return false;
        }
    }

    void Complete(WalkRecord& record, const FolderTotals& totals, bool ok) {
        {
            WaitLockGuard lock(lock_);
            record.totals = totals;
            record.finishedAt = Now();
            record.running = false;
            record.failed = !ok;
            // A failure is not kept: the next request walks again. Its waiters hold the
            // record themselves.
            if (!ok)
                for (std::size_t i = 0; i < records_.size(); ++i)
                    if (records_[i].get() == &record) {
                        records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(i));
                        break;
                    }
        }
        lock_.WakeAll();
    }

    // Under the lock.
    std::shared_ptr<WalkRecord> Find(const std::wstring& path) {
        for (const std::shared_ptr<WalkRecord>& record : records_)
            if (record->path == path)
                return record;
        return nullptr;
    }

    // Under the lock: a running record for `path` in place of an old one, or null when
    // the table holds nothing but running walks.
    std::shared_ptr<WalkRecord> Start(const std::wstring& path) {
        std::uint32_t now = Now();
        for (std::size_t i = records_.size(); i-- > 0;) {
            const WalkRecord& old = *records_[i];
            if (!old.running && (old.path == path || !IsFresh(old, now)))
                records_.erase(records_.begin() + static_cast<std::ptrdiff_t>(i));
        }
        if (records_.size() >= kWalkResultsKept) {
            auto oldest = records_.end();
            for (auto it = records_.begin(); it != records_.end(); ++it)
                if (!(*it)->running &&
                    (oldest == records_.end() || MillisecondsSince((*it)->finishedAt, now) >
                                                     MillisecondsSince((*oldest)->finishedAt, now)))
                    oldest = it;
            if (oldest == records_.end())
                return nullptr;
            records_.erase(oldest);
        }
        auto record = std::make_shared<WalkRecord>();
        record->path = path;
        records_.push_back(record);
        return record;
    }

    WaitLock lock_; // its condition: a walk has finished
    std::vector<std::shared_ptr<WalkRecord>> records_;
};

WalkTable walkTable;

} // namespace

WalkClock SetWalkClock(WalkClock replacement) {
    return reinterpret_cast<WalkClock>(
        InterlockedExchangePointer(&clock, reinterpret_cast<void*>(replacement)));
}

std::size_t RequestsWaitingForAWalk() {
    return static_cast<std::size_t>(InterlockedCompareExchange(&waiting, 0, 0));
}

void ForgetFolderStatistics() {
    walkTable.Forget();
}

bool FolderStatistics(const std::wstring& extendedPath, FolderTotals& totals) {
    totals = FolderTotals();
    if (extendedPath.empty())
        return false;
    return walkTable.Statistics(extendedPath, totals);
}

} // namespace rb
