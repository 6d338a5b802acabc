// A kept tree of walked folders as a file, so that the next opening of the dialog shows
// its numbers at once: a versioned header, the folders in the order a walk enters them
// with their numbers and names, and a checksum. The reader takes nothing of a file it
// does not take whole.
#pragma once

#include "browse/kept_tree.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace rb {

struct SavedTreeInfo {
    std::wstring root;              // extended path of the tree's folder, no trailing "\"
    std::uint64_t savedAt = 0;      // when it was saved, as a FILETIME (UTC)
    std::uint32_t volumeSerial = 0; // of the volume the folder lies on; 0: not known
    std::uint64_t folderId = 0;     // the folder's file id on it; 0: not known
    bool remote = false;            // a share or a mapped drive
    std::uint64_t folders = 0;      // folders in the file
};

// Every header fits in this many bytes (the root's path included).
constexpr std::size_t kSavedHeaderMax = 128 + 2 * 32768;

// The whole folder `info.root` of `tree` and every whole folder counted below it, into
// `bytes` (replaced). `info.folders` is set. False when the folder has no value in `tree`.
bool SaveTree(const KeptTree& tree, SavedTreeInfo& info, std::string& bytes);

// The header of a saved tree from the first bytes of its file (at most kSavedHeaderMax).
// False when they are not the header of a saved tree of this version.
bool ReadSavedInfo(const void* data, std::size_t size, SavedTreeInfo& info);

// Whether the first bytes are this format's mark and version (a file of another version
// is left alone; one of this version that is refused is damaged).
bool OfThisVersion(const void* data, std::size_t size);

// No more folders than a walk keeps: a file that says more is refused before anything is
// allocated for them.
std::size_t SavedFoldersMax();

// A whole file: checked to the end before anything is kept. On success `into` holds the
// tree as a walk of `info.root` makes it (its folder entered with an empty name, to be
// grafted at `info.root`). False when refused (more than `maxFolders` among others):
// `into` is left empty.
bool LoadTree(const void* data, std::size_t size, SavedTreeInfo& info, KeptTree& into,
              std::size_t maxFolders = SavedFoldersMax());

} // namespace rb
