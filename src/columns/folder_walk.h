// Folder statistics: the size of a whole subtree and its numbers of folders and files.
#pragma once

#include "columns/tree_walk.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace rb {

// Walks below `path` (a full path in any form ExtendedPath takes) and adds its files and
// folders to the counters; returns the total size. Nothing for a path that is not a full
// path. Every call walks.
std::uint64_t WalkFolder(const wchar_t* path, std::int64_t& files, std::int64_t& folders);

// One walk of `extendedPath` (no kept results) that ends early once `stop` is set: it is
// looked at before every listing and between the blocks of one (at least every 1,000
// entries). A stopped walk breaks off: its totals are not whole and count as no value.
// `progress`, when given, counts as the walk goes: the files met, their bytes and the
// folders below the root that could not be listed (read by another thread meanwhile).
struct WalkProgress {
    std::atomic<std::uint64_t> files{0};
    std::atomic<std::uint64_t> bytes{0};
    std::atomic<std::uint32_t> unreadable{0};
};
// With `keep`, every folder listed is handed to it, with `files` every file; `outcome`
// as WalkTree's.
FolderTotals WalkFolderStoppable(const std::wstring& extendedPath, const std::atomic<bool>& stop,
                                 WalkProgress* progress = nullptr, WalkSink* keep = nullptr,
                                 WalkOutcome* outcome = nullptr, FileSink* files = nullptr);
// One listing of the folder by itself, stoppable as a walk (see ListOwn).
Listing ListFolderOwn(const std::wstring& extendedPath, const std::atomic<bool>& stop,
                      FolderTotals& own, std::vector<std::wstring>& subfolders,
                      bool* loop = nullptr);

// The three numbers of the folder `extendedPath` for the columns; false (no value) when
// the folder itself cannot be listed or its walk failed (out of memory, say). Explorer
// asks for size, folder count and file count one after the other, often on different
// threads: one walk serves them all. A result is kept for 2 seconds; a request for a
// folder whose walk is running on another thread waits for that walk and shares its
// outcome. A failed walk is forgotten at once: the next request walks again.
bool FolderStatistics(const std::wstring& extendedPath, FolderTotals& totals);

// How long a walk's result serves later requests, and how many folders are kept.
constexpr unsigned kWalkResultMilliseconds = 2000;
constexpr std::size_t kWalkResultsKept = 256;

// The milliseconds the table goes by; tests put a clock of their own in its place (null:
// the system's again).
using WalkClock = std::uint32_t (*)();
WalkClock SetWalkClock(WalkClock clock);

// Drops every kept result: the next request walks (for measurements).
void ForgetFolderStatistics();

// The number of folder listings made by this process so far.
std::uint64_t FolderListingCount();
// The number of requests now waiting for a walk on another thread (for tests).
std::size_t RequestsWaitingForAWalk();

// Called before every folder listing with the folder's path; it may block or throw. For
// tests, which stand in for a listing that stalls or fails.
using ListingHook = void (*)(const std::wstring& path);
ListingHook SetListingHook(ListingHook hook);
// The hook every process starts with: none, but in the DLL's test builds (RB_TEST_SEAMS),
// whose listings of a folder named "rb-throw" throw.
ListingHook InitialListingHook();

// Size of one file; 0 when it cannot be found.
std::uint64_t FileSize(const wchar_t* path);

} // namespace rb
