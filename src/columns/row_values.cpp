#include "columns/row_values.h"

#include "columns/catalogue.h"

#include <shlwapi.h>

namespace rb {

namespace {

std::uint64_t Number(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

SortValue Numbers(std::uint64_t first, std::uint64_t second = 0) {
    SortValue value;
    value.has = true;
    value.first = first;
    value.second = second;
    return value;
}

SortValue Text(std::wstring text) {
    SortValue value;
    value.has = !text.empty();
    value.text = std::move(text);
    return value;
}

} // namespace

std::wstring ExtensionOfName(const std::wstring& path) {
    std::size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    std::size_t dot = name.find_last_of(L'.');
    if (dot == std::wstring::npos || dot + 1 == name.size())
        return std::wstring();
    std::wstring extension = name.substr(dot + 1);
    CharLowerBuffW(&extension[0], static_cast<DWORD>(extension.size()));
    return extension;
}

SortValue SortValueOf(const RowValues& row, unsigned column, bool fileSizes) {
    const bool folderKnown = row.isFolder && row.totals == RowValues::Totals::Known;
    const bool image = row.imageRead && row.image.loaded;
    switch (column) {
    case FolderSize:
        if (row.isFolder)
            return folderKnown ? Numbers(row.folder.size) : SortValue();
        return fileSizes && row.sizeRead ? Numbers(row.fileSize) : SortValue();
    case FolderCount:
        return folderKnown ? Numbers(static_cast<std::uint64_t>(row.folder.folders)) : SortValue();
    case FileCount:
        return folderKnown ? Numbers(static_cast<std::uint64_t>(row.folder.files)) : SortValue();
    case Dpi:
        return image ? Numbers(static_cast<std::uint64_t>(row.image.horizontalDpi),
                               static_cast<std::uint64_t>(row.image.verticalDpi))
                     : SortValue();
    case BitDepth:
        return image && !row.isFolder ? Numbers(row.image.bitDepth) : SortValue();
    case ImageSize:
        return image ? Numbers(static_cast<std::uint64_t>(row.image.width) * row.image.height,
                               row.image.width)
                     : SortValue();
    case FullPath:
        return Text(row.path);
    case Extension:
        return Text(row.isFolder ? std::wstring(L"[Ordner]") : ExtensionOfName(row.path));
    case ModifiedSeconds:
        return row.timesRead ? Numbers(Number(row.written)) : SortValue();
    case CreatedSeconds:
        return row.timesRead ? Numbers(Number(row.created)) : SortValue();
    case AccessedSeconds:
        return row.timesRead ? Numbers(Number(row.accessed)) : SortValue();
    case ContentType:
        return Text(row.contentType);
    default:
        return SortValue();
    }
}

int CompareSortValues(const SortValue& a, const SortValue& b) {
    if (a.has != b.has)
        return a.has ? -1 : 1;
    if (!a.has)
        return 0;
    if (!a.text.empty() || !b.text.empty())
        return StrCmpLogicalW(a.text.c_str(), b.text.c_str());
    if (a.first != b.first)
        return a.first < b.first ? -1 : 1;
    if (a.second != b.second)
        return a.second < b.second ? -1 : 1;
    return 0;
}

std::string LogicalSortKey(const std::wstring& text) {
    // Digit runs padded to one width, so that their value decides; the system's sort key
    // of the result, which compares byte by byte as the language compares the texts.
    constexpr std::size_t kWidth = 20;
    std::wstring padded;
    padded.reserve(text.size() + kWidth);
    for (std::size_t at = 0; at < text.size();) {
        if (text[at] < L'0' || text[at] > L'9') {
            padded += text[at++];
            continue;
        }
        std::size_t end = at;
        while (end < text.size() && text[end] >= L'0' && text[end] <= L'9')
            ++end;
        std::size_t first = at;
        while (first + 1 < end && text[first] == L'0')
            ++first;
        if (end - first < kWidth)
            padded.append(kWidth - (end - first), L'0');
        padded.append(text, first, end - first);
        at = end;
    }
    const int length = static_cast<int>(padded.size());
    const DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
    int bytes = LCMapStringW(LOCALE_USER_DEFAULT, flags, padded.c_str(), length, nullptr, 0);
    if (bytes <= 0)
        return std::string();
    std::string key(static_cast<std::size_t>(bytes), '\0');
    LCMapStringW(LOCALE_USER_DEFAULT, flags, padded.c_str(), length,
                 reinterpret_cast<LPWSTR>(&key[0]), bytes);
    return key;
}

bool SortsDescendingFirst(unsigned column) {
    return column == FolderSize || column == FolderCount || column == FileCount;
}

} // namespace rb
