// Listing folders through the system, for the walks of the folder columns and the details
// page.
#pragma once

#include "columns/tree_walk.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <cstdint>
#include <vector>

namespace rb {

// Lists through a handle on the folder: the entries come with their file ids, which tell
// a folder reached again through an unmarked link. Where the system (before Vista) or the
// file system does not give that information class, the find functions list instead
// (without ids; the walk then tells a folder reached again by its listing).
// With a stop flag, a listing breaks off once it is set; it is looked at between blocks
// of entries, so that one huge folder or a stalling share does not hold a stop up.
class SystemLister : public DirectoryLister {
public:
    explicit SystemLister(const std::atomic<bool>* stop = nullptr) : stop_(stop) {}

    Listing List(const std::wstring& path, EntrySink& sink) override;
    // The same volume and the same file index, both known; false when either folder
    // cannot be identified (a share that refuses the query) or has no index (0).
    bool SameFolder(const std::wstring& a, const std::wstring& b) override;
    // The file index of the folder, where the file system gives one.
    std::uint64_t Identify(const std::wstring& path) override;

private:
    static constexpr DWORD kBufferBytes = 64 * 1024;
    static constexpr unsigned kEntriesBetweenStopChecks = 1000;

    bool Stopped() const { return stop_ && stop_->load(); }
    Listing ListByFind(const std::wstring& path, EntrySink& sink);

    const std::atomic<bool>* stop_;
    std::vector<LONGLONG> buffer_; // 8-byte aligned, as the information class needs
    bool withIds_ = true;
};

// Every entry of `folder` (extended form) through the find functions: the basic level with
// the large fetch where the system knows them, else the standard one. `entry` returns
// false to stop (the listing then broke off).
Listing ListByFind(const std::wstring& folder,
                   const std::function<bool(const WIN32_FIND_DATAW&)>& entry);

} // namespace rb
