// Folder statistics: the size of a whole subtree and its numbers of folders and files.
#pragma once

#include <cstdint>

namespace rb {

// Walk paths, joined in one buffer of this many characters (terminator included).
constexpr int kWalkPathCapacity = 512;

// Sums the sizes of every entry below `path` and counts its folders and files into the
// counters. Hidden and system entries count; a folder that cannot be listed, or whose
// joined path would not fit the walk buffer, counts as a folder of its parent and adds
// nothing else.
std::uint64_t WalkFolder(const wchar_t* path, std::int64_t& files, std::int64_t& folders);

// Size of one file; 0 when it cannot be found.
std::uint64_t FileSize(const wchar_t* path);

} // namespace rb
