// Saved trees kept as files in one folder of the user's, so that the next opening of the
// dialog shows a walked tree's numbers at once. Bounded per file, in all and in number;
// what was used least recently goes first.
#pragma once

#include "browse/saved_tree.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rb {

// Caps of what is saved: per file, in all, and the number of files.
constexpr std::uint64_t kShelfFileLimit = std::uint64_t{64} << 20;
constexpr std::uint64_t kShelfTotalLimit = std::uint64_t{256} << 20;
constexpr std::size_t kShelfFiles = 64;

struct ShelfEntry {
    std::wstring file;       // full path of the saved file
    SavedTreeInfo info;      // its header
    std::uint64_t bytes = 0; // its size
    std::uint64_t used = 0;  // when last saved or read, as a FILETIME
};

// CSIDL_LOCAL_APPDATA\Rubrikator (made when missing); empty when there is none.
std::wstring ShelfFolder();
// Tests put a folder of their own in its place; empty: the real one again.
void SetShelfFolder(const std::wstring& folder);

// The caps in force; tests set smaller ones (the previous come back).
struct ShelfLimits {
    std::uint64_t fileBytes = kShelfFileLimit;
    std::uint64_t totalBytes = kShelfTotalLimit;
    std::size_t files = kShelfFiles;
};
ShelfLimits SetShelfLimits(const ShelfLimits& limits);

// The headers of every saved tree readable, most recently used first (other files in the
// folder are left alone). Without `wait`, false at once while another thread uses the
// shelf (a window's thread does not wait for a save).
std::vector<ShelfEntry> ListShelf();
bool ListShelf(std::vector<ShelfEntry>& entries, bool wait);
// Counts each change of the shelf (a tree saved or gone); ShelfClears only ClearShelf.
unsigned ShelfChanges();
unsigned ShelfClears();
// Saves `bytes` (a whole saved tree whose header is `info`): refused past the file cap;
// written whole under a name made from the folded root (the same root, the same file);
// trees saved with a root below info.root go, and files of the shelf's names whose header
// cannot be read; then the least recently used files go until the total and the count
// hold (never the one just written). Refused when ClearShelf ran since ShelfClears() gave
// `clears` (a save made before the user deleted everything).
bool PutOnShelf(const SavedTreeInfo& info, const std::string& bytes, unsigned clears = ShelfClears());
// The whole file of `entry` (refused past the file cap or when it changed size), marking
// it used.
bool TakeFromShelf(const ShelfEntry& entry, std::string& bytes);
// One saved tree goes (a refused one, so that it is not offered again).
void DropFromShelf(const ShelfEntry& entry);
// Everything saved goes; false when something could not be removed.
bool ClearShelf();

// The volume serial number and the file id of the folder `path` (extended): opened with
// FILE_FLAG_BACKUP_SEMANTICS and read with GetFileInformationByHandle (works from XP on);
// false with zeros where the system gives none. Tests put another function in its place.
using FolderIdentityFunction = bool (*)(const std::wstring& path, std::uint32_t& serial,
                                        std::uint64_t& id);
bool FolderIdentity(const std::wstring& path, std::uint32_t& serial, std::uint64_t& id);
FolderIdentityFunction SetFolderIdentityFunction(FolderIdentityFunction function);

// A share ("\\?\UNC\...") or a mapped network drive (GetDriveTypeW DRIVE_REMOTE).
bool IsRemotePath(const std::wstring& path);

// What tells a saved tree's folder from another at the same path: on a local volume its
// serial number and file id; on a drive mapped to a share, the share it is mapped to (a
// hash of its name as `serial`: another share mapped to the letter is another tree); a
// share itself by its path alone (zeros). False where nothing could be told.
bool TreeIdentity(const std::wstring& path, std::uint32_t& serial, std::uint64_t& id);
// The share a drive letter ("X:") is mapped to; tests put another function in its place.
using DriveConnectionFunction = bool (*)(const std::wstring& drive, std::wstring& share);
DriveConnectionFunction SetDriveConnectionFunction(DriveConnectionFunction function);

} // namespace rb
