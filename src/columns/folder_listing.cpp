// The system's folder listing and the walks built on it.
#include "columns/folder_walk.h"
#include "columns/system_lister.h"

#include "common/newer_api.h"
#include "common/win_handles.h"

namespace rb {

namespace {

volatile LONG64 listings = 0;
void* volatile listingHook = reinterpret_cast<void*>(InitialListingHook());
// Learned at the first refusal, for the whole process: the system (before Windows 7)
// knows neither the basic level nor the large fetch.
volatile LONG basicFindRefused = 0;

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

// The folder is not there (as against there and refused).
bool Missing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
           error == ERROR_INVALID_NAME || error == ERROR_BAD_NETPATH;
}

bool IdentifyFolder(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
    UniqueFile file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file && GetFileInformationByHandle(file.get(), &info) &&
           (info.nFileIndexHigh != 0 || info.nFileIndexLow != 0);
}

} // namespace

Listing SystemLister::List(const std::wstring& path, EntrySink& sink) {
    InterlockedIncrement64(&listings);
    if (Stopped())
        return Listing::BrokeOff;
    if (ListingHook hook = CurrentHook())
        hook(path);
    auto listByHandle = Newer().getFileInformationByHandleEx;
    if (!withIds_ || !listByHandle)
        return ListByFind(path, sink);
    UniqueFile folder(CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | SYNCHRONIZE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder)
        return Missing(GetLastError()) ? Listing::Gone : Listing::NotListable;
    if (buffer_.empty())
        buffer_.resize(kBufferBytes / sizeof(LONGLONG));
    for (bool first = true;; first = false) {
        if (!first && Stopped())
            return Listing::BrokeOff;
        if (!listByHandle(folder.get(), FileIdBothDirectoryInfo, buffer_.data(), kBufferBytes)) {
            DWORD error = GetLastError();
            if (error == ERROR_NO_MORE_FILES)
                return Listing::Whole;
            if (!first)
                return Listing::BrokeOff;
            if (error == ERROR_ACCESS_DENIED)
                return Listing::NotListable;
            // This file system does not give the information class: find functions.
            withIds_ = false;
            return ListByFind(path, sink);
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

bool SystemLister::SameFolder(const std::wstring& a, const std::wstring& b) {
    BY_HANDLE_FILE_INFORMATION first, second;
    if (!IdentifyFolder(a, first) || !IdentifyFolder(b, second))
        return false; // cannot tell: taken as two folders
    return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

std::uint64_t SystemLister::Identify(const std::wstring& path) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!IdentifyFolder(path, info))
        return 0;
    return (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
}

Listing ListByFind(const std::wstring& folder,
                   const std::function<bool(const WIN32_FIND_DATAW&)>& entry) {
    auto findFirst = Newer().findFirstFileEx;
    std::wstring pattern = folder;
    if (pattern.empty() || pattern.back() != L'\\')
        pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW data;
    UniqueFind find;
    if (!InterlockedCompareExchange(&basicFindRefused, 0, 0)) {
        find.reset(findFirst(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                             nullptr, FIND_FIRST_EX_LARGE_FETCH));
        if (!find && GetLastError() == ERROR_INVALID_PARAMETER)
            InterlockedExchange(&basicFindRefused, 1);
    }
    if (InterlockedCompareExchange(&basicFindRefused, 0, 0))
        find.reset(findFirst(pattern.c_str(), FindExInfoStandard, &data, FindExSearchNameMatch,
                             nullptr, 0));
    if (!find) {
        // An empty drive's root has not even "." and "..": no file matches.
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES)
            return Listing::Whole;
        return Missing(error) ? Listing::Gone : Listing::NotListable;
    }
    do {
        if (!entry(data))
            return Listing::BrokeOff;
    } while (FindNextFileW(find.get(), &data));
    return GetLastError() == ERROR_NO_MORE_FILES ? Listing::Whole : Listing::BrokeOff;
}

Listing SystemLister::ListByFind(const std::wstring& path, EntrySink& sink) {
    unsigned sinceCheck = 0;
    return rb::ListByFind(path, [&](const WIN32_FIND_DATAW& data) {
        sink.Entry(FromFindData(data));
        if (++sinceCheck < kEntriesBetweenStopChecks)
            return true;
        sinceCheck = 0;
        return !Stopped();
    });
}

namespace {

// The system's listings, counted for a progress line on their way to the walk.
class CountingLister : public DirectoryLister {
public:
    CountingLister(DirectoryLister& lister, const std::wstring& root, WalkProgress& progress)
        : lister_(lister), root_(root), progress_(progress) {}

    Listing List(const std::wstring& path, EntrySink& sink) override {
        struct Counter : EntrySink {
            EntrySink* sink;
            WalkProgress* progress;
            void Entry(const DirectoryEntry& entry) override {
                if (!(entry.attributes & kAttributeDirectory)) {
                    progress->files.fetch_add(1, std::memory_order_relaxed);
                    progress->bytes.fetch_add(entry.size, std::memory_order_relaxed);
                }
                sink->Entry(entry);
            }
        } counter;
        counter.sink = &sink;
        counter.progress = &progress_;
        Listing listing = lister_.List(path, counter);
        // The root that cannot be listed is the row's own failure, not one below it.
        if (listing == Listing::NotListable && path.compare(0, root_.size(), root_) == 0 &&
            path.size() > root_.size() + 1)
            progress_.unreadable.fetch_add(1, std::memory_order_relaxed);
        return listing;
    }
    bool SameFolder(const std::wstring& a, const std::wstring& b) override {
        return lister_.SameFolder(a, b);
    }
    std::uint64_t Identify(const std::wstring& path) override {
        return lister_.Identify(path);
    }

private:
    DirectoryLister& lister_;
    const std::wstring& root_;
    WalkProgress& progress_;
};

} // namespace

FolderTotals WalkFolderStoppable(const std::wstring& extendedPath, const std::atomic<bool>& stop,
                                 WalkProgress* progress, WalkSink* keep, WalkOutcome* outcome,
                                 FileSink* files) {
    SystemLister lister(&stop);
    if (!progress)
        return WalkTree(extendedPath, lister, keep, outcome, files);
    CountingLister counting(lister, extendedPath, *progress);
    return WalkTree(extendedPath, counting, keep, outcome, files);
}

Listing ListFolderOwn(const std::wstring& extendedPath, const std::atomic<bool>& stop,
                      FolderTotals& own, std::vector<std::wstring>& subfolders, bool* loop) {
    SystemLister lister(&stop);
    return ListOwn(extendedPath, lister, own, subfolders, loop);
}

ListingHook SetListingHook(ListingHook hook) {
    return reinterpret_cast<ListingHook>(
        InterlockedExchangePointer(&listingHook, reinterpret_cast<void*>(hook)));
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

} // namespace rb
