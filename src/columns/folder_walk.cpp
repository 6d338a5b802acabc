#include "columns/folder_walk.h"

#include "columns/catalogue.h"
#include "columns/number_format.h"
#include "columns/options.h"
#include "columns/producers.h"
#include "common/win_handles.h"
#include "common/newer_api.h"
#include "common/win_lock.h"

#include <memory>
#include <vector>

namespace rb {

namespace {

volatile LONG64 listings = 0;
volatile LONG waiting = 0;
void* volatile listingHook = reinterpret_cast<void*>(InitialListingHook());

ListingHook CurrentHook() {
    return reinterpret_cast<ListingHook>(
        InterlockedCompareExchangePointer(&listingHook, nullptr, nullptr));
}

DirectoryEntry FromFindData(const WIN32_FIND_DATAW& data) {
    DirectoryEntry entry;
    entry.name = data.cFileName;
    entry.nameLength = wcslen(data.cFileName);
    entry.attributes = data.dwFileAttributes;
    entry.reparseTag = data.dwReserved0;
    entry.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    entry.fileId = 0;
    entry.writeTime = (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                      data.ftLastWriteTime.dwLowDateTime;
    return entry;
}

// Lists through a handle on the folder: the entries come with their file ids, which tell
// a folder reached again through an unmarked link. Where the system (before Vista) or the
// file system does not give that information class, the plain find functions list
// instead (without ids; the walk then tells a folder reached again by its listing).
// With a stop flag, a listing ends early once it is set; it is looked at between blocks
// of entries, so that one huge folder or a stalling share does not hold a stop up.
class SystemLister : public DirectoryLister {
public:
    explicit SystemLister(const std::atomic<bool>* stop = nullptr) : stop_(stop) {}

    bool List(const std::wstring& path, EntrySink& sink) override {
        InterlockedIncrement64(&listings);
        if (Stopped())
            return false;
        if (ListingHook hook = CurrentHook())
            hook(path);
        if (!withIds_)
            return ListByFind(path, sink);
        UniqueFile folder(CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | SYNCHRONIZE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!folder)
            return false;
        if (buffer_.empty())
            buffer_.resize(kBufferBytes / sizeof(LONGLONG));
        for (bool first = true;; first = false) {
            if (!first && Stopped())
                return false;
            if (!listByHandle_(folder.get(), FileIdBothDirectoryInfo, buffer_.data(),
                               kBufferBytes)) {
                DWORD error = GetLastError();
                if (first && error != ERROR_NO_MORE_FILES && error != ERROR_ACCESS_DENIED) {
                    withIds_ = false;
                    return ListByFind(path, sink);
                }
                return first ? error == ERROR_NO_MORE_FILES : true;
            }
            const BYTE* at = reinterpret_cast<const BYTE*>(buffer_.data());
            for (;;) {
                auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
                DirectoryEntry entry;
                entry.name = info->FileName;
                entry.nameLength = info->FileNameLength / sizeof(wchar_t);
                entry.attributes = info->FileAttributes;
                // The directory information classes carry the reparse tag in EaSize.
                entry.reparseTag = info->EaSize;
                entry.size = static_cast<std::uint64_t>(info->EndOfFile.QuadPart);
                entry.fileId = static_cast<std::uint64_t>(info->FileId.QuadPart);
                entry.writeTime = static_cast<std::uint64_t>(info->LastWriteTime.QuadPart);
                sink.Entry(entry);
                if (!info->NextEntryOffset)
                    break;
                at += info->NextEntryOffset;
            }
        }
    }

    bool SameFolder(const std::wstring& a, const std::wstring& b) override {
        BY_HANDLE_FILE_INFORMATION first, second;
        if (!Identify(a, first) || !Identify(b, second))
            return true;
        return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
               first.nFileIndexHigh == second.nFileIndexHigh &&
               first.nFileIndexLow == second.nFileIndexLow;
    }

private:
    static constexpr DWORD kBufferBytes = 64 * 1024;
    static constexpr unsigned kEntriesBetweenStopChecks = 1000;

    bool Stopped() const { return stop_ && stop_->load(); }

    static bool Identify(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
        UniqueFile file(CreateFileW(path.c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        return file && GetFileInformationByHandle(file.get(), &info);
    }

    bool ListByFind(const std::wstring& path, EntrySink& sink) {
        std::wstring pattern = path + L"*";
        WIN32_FIND_DATAW data;
        UniqueFind find;
        if (basicFind_) {
            find.reset(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                        FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
            // Systems before Windows 7 know neither the basic level nor the large fetch.
            if (!find && GetLastError() == ERROR_INVALID_PARAMETER)
                basicFind_ = false;
        }
        if (!basicFind_)
            find.reset(FindFirstFileExW(pattern.c_str(), FindExInfoStandard, &data,
                                        FindExSearchNameMatch, nullptr, 0));
        if (!find)
            return false;
        unsigned sinceCheck = 0;
        do {
            sink.Entry(FromFindData(data));
            if (++sinceCheck == kEntriesBetweenStopChecks) {
                sinceCheck = 0;
                if (Stopped())
                    return false;
            }
        } while (FindNextFileW(find.get(), &data));
        return true;
    }

    const std::atomic<bool>* stop_;
    std::vector<LONGLONG> buffer_; // 8-byte aligned, as the information class needs
    decltype(NewerApi::getFileInformationByHandleEx) listByHandle_ =
        Newer().getFileInformationByHandleEx;
    bool withIds_ = listByHandle_ != nullptr;
    bool basicFind_ = Newer().findExInfoBasic;
};

// Results of recent walks, shared by every thread of the process.
struct WalkRecord {
    std::wstring path;
    FolderTotals totals;
    std::uint32_t finishedAt = 0; // Milliseconds()
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
            if (record && IsFresh(*record, Milliseconds())) {
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
            return totals.listed;
        } catch (...) { // out of memory in a huge tree, or a failure inside a listing
            totals = FolderTotals();
            return false;
        }
    }

    void Complete(WalkRecord& record, const FolderTotals& totals, bool ok) {
        {
            WaitLockGuard lock(lock_);
            record.totals = totals;
            record.finishedAt = Milliseconds();
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
        std::uint32_t now = Milliseconds();
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

FolderTotals WalkFolderStoppable(const std::wstring& extendedPath, const std::atomic<bool>& stop) {
    SystemLister lister(&stop);
    return WalkTree(extendedPath, lister);
}

ListingHook SetListingHook(ListingHook hook) {
    return reinterpret_cast<ListingHook>(
        InterlockedExchangePointer(&listingHook, reinterpret_cast<void*>(hook)));
}

std::size_t RequestsWaitingForAWalk() {
    return static_cast<std::size_t>(InterlockedCompareExchange(&waiting, 0, 0));
}

void ForgetFolderStatistics() {
    walkTable.Forget();
}

std::uint64_t FolderListingCount() {
    return static_cast<std::uint64_t>(InterlockedCompareExchange64(&listings, 0, 0));
}

std::uint64_t WalkFolder(const wchar_t* path, std::int64_t& files, std::int64_t& folders) {
    std::wstring extended = ExtendedPath(path ? path : L"");
    if (extended.empty())
        return 0;
    SystemLister lister;
    FolderTotals totals = WalkTree(extended, lister);
    files += totals.files;
    folders += totals.folders;
    return totals.size;
}

bool FolderStatistics(const std::wstring& extendedPath, FolderTotals& totals) {
    totals = FolderTotals();
    if (extendedPath.empty())
        return false;
    return walkTable.Statistics(extendedPath, totals);
}

std::uint64_t FileSize(const wchar_t* path) {
    std::wstring extended = ExtendedPath(path ? path : L"");
    if (extended.empty())
        return 0;
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (GetFileAttributesExW(extended.c_str(), GetFileExInfoStandard, &attributes))
        return (static_cast<std::uint64_t>(attributes.nFileSizeHigh) << 32) |
               attributes.nFileSizeLow;
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW(extended.c_str(), &data));
    return find ? FromFindData(data).size : 0;
}

bool ProduceFolderColumn(unsigned column, const wchar_t* path, bool isFolder, ValueText& value) {
    const OptionSet& options = Options();
    if (!isFolder) {
        if (column == FolderSize && options.dateiGroesse.load(std::memory_order_relaxed) != 0)
            value.Assign(FormatSize(FileSize(path), CurrentSizeFormat()).c_str());
        return true;
    }
    FolderTotals totals;
    if (!FolderStatistics(ExtendedPath(path ? path : L""), totals))
        return false;
    switch (column) {
    case FolderSize:
        value.Assign(FormatSize(totals.size, CurrentSizeFormat()).c_str());
        break;
    case FolderCount:
        value.Assign(FormatCount(totals.folders,
                                 options.tausenderOrdner.load(std::memory_order_relaxed) != 0)
                         .c_str());
        break;
    case FileCount:
        value.Assign(
            FormatCount(totals.files, options.tausenderDateien.load(std::memory_order_relaxed) != 0)
                .c_str());
        break;
    default:
        break;
    }
    return true;
}

} // namespace rb
