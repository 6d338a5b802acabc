// Saved trees in files under the local application data folder: found by the folder they
// are of, written whole, kept within caps (least recently used go first).
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

std::wstring ShelfFolder();
void SetShelfFolder(const std::wstring& folder);
std::vector<ShelfEntry> ListShelf();
bool FindOnShelf(const std::wstring& path, ShelfEntry& entry);
bool PutOnShelf(const SavedTreeInfo& info, const std::string& bytes);
bool TakeFromShelf(const ShelfEntry& entry, std::string& bytes);
void DropFromShelf(const ShelfEntry& entry);
bool ClearShelf();
using FolderIdentityFunction = bool (*)(const std::wstring& path, std::uint32_t& serial, std::uint64_t& id);
bool FolderIdentity(const std::wstring& path, std::uint32_t& serial, std::uint64_t& id);
FolderIdentityFunction SetFolderIdentityFunction(FolderIdentityFunction function);
bool IsRemotePath(const std::wstring& path);

} // namespace rb
