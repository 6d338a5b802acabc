// Names compared as the file system compares them: each character upper-cased by the
// system's own table, whatever the user's language. One folding for every place that
// matches names (the kept tree, paths in change notifications, names read beside a
// listing).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace rb {

// The character as the file system compares it.
wchar_t FoldChar(wchar_t c);
// Whether two names are one for the file system.
bool SameName(const wchar_t* a, std::size_t aLength, const wchar_t* b, std::size_t bLength);
inline bool SameName(const std::wstring& a, const std::wstring& b) {
    return SameName(a.c_str(), a.size(), b.c_str(), b.size());
}
// The name folded, as a key that two equal names share.
std::wstring FoldName(const wchar_t* name, std::size_t length);
inline std::wstring FoldName(const std::wstring& name) {
    return FoldName(name.c_str(), name.size());
}
// A hash of the folded name.
std::uint64_t FoldedHash(const wchar_t* name, std::size_t length);

// Whether `path` is `folder` or lies below it (both without a trailing "\").
bool AtOrBelow(const std::wstring& path, const std::wstring& folder);
// `path` with its last component taken off; empty when it has none.
std::wstring ParentPath(const std::wstring& path);

// Fills `out` with the upper case of the 256 characters from `first` on (one page of the
// table); the system's on Windows, a portable table elsewhere.
void FoldPage(wchar_t first, wchar_t* out);

} // namespace rb
