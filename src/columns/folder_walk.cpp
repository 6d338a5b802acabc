#include "columns/folder_walk.h"

#include "columns/catalogue.h"
#include "columns/number_format.h"
#include "columns/options.h"
#include "columns/producers.h"
#include "common/win_handles.h"

#include <cwchar>

namespace rb {

namespace {

HANDLE FindFirst(const wchar_t* pattern, WIN32_FIND_DATAW& data) {
    HANDLE find = FindFirstFileExW(pattern, FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
    // Systems before Windows 7 know neither the basic level nor the large fetch.
    if (find == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER)
        find =
            FindFirstFileExW(pattern, FindExInfoStandard, &data, FindExSearchNameMatch, nullptr, 0);
    return find;
}

bool IsDotEntry(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

std::uint64_t EntrySize(const WIN32_FIND_DATAW& data) {
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// `buffer` holds the folder path with a trailing backslash in its first `baseLength`
// characters; the recursion appends names to it and cuts them off again.
std::uint64_t WalkBelow(wchar_t* buffer, std::size_t baseLength, std::int64_t& files,
                        std::int64_t& folders) {
    if (baseLength + 3 >= static_cast<std::size_t>(kWalkPathCapacity))
        return 0;
    wcscpy(buffer + baseLength, L"*.*");
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirst(buffer, data));
    buffer[baseLength] = 0;
    if (!find)
        return 0;
    std::uint64_t total = 0;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!IsDotEntry(data.cFileName)) {
                std::size_t nameLength = wcslen(data.cFileName);
                // Name, backslash and terminator must fit.
                if (baseLength + nameLength + 2 <= static_cast<std::size_t>(kWalkPathCapacity)) {
                    wcscpy(buffer + baseLength, data.cFileName);
                    buffer[baseLength + nameLength] = L'\\';
                    buffer[baseLength + nameLength + 1] = 0;
                    total += WalkBelow(buffer, baseLength + nameLength + 1, files, folders);
                    buffer[baseLength] = 0;
                }
                ++folders;
            }
        } else {
            ++files;
        }
        total += EntrySize(data);
    } while (FindNextFileW(find.get(), &data));
    return total;
}

} // namespace

std::uint64_t WalkFolder(const wchar_t* path, std::int64_t& files, std::int64_t& folders) {
    wchar_t buffer[kWalkPathCapacity];
    std::size_t length = path ? wcslen(path) : 0;
    if (length + 1 >= static_cast<std::size_t>(kWalkPathCapacity))
        return 0;
    wcscpy(buffer, path ? path : L"");
    if (length == 0 || buffer[length - 1] != L'\\')
        buffer[length++] = L'\\';
    buffer[length] = 0;
    return WalkBelow(buffer, length, files, folders);
}

std::uint64_t FileSize(const wchar_t* path) {
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (GetFileAttributesExW(path, GetFileExInfoStandard, &attributes))
        return (static_cast<std::uint64_t>(attributes.nFileSizeHigh) << 32) |
               attributes.nFileSizeLow;
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW(path, &data));
    return find ? EntrySize(data) : 0;
}

void ProduceFolderColumn(unsigned column, const wchar_t* path, bool isFolder, ValueText& value) {
    const OptionSet& options = Options();
    if (!isFolder) {
        if (column == FolderSize && options.dateiGroesse.load(std::memory_order_relaxed) != 0)
            value.Assign(FormatSize(FileSize(path), CurrentSizeFormat()).c_str());
        return;
    }
    std::int64_t files = 0;
    std::int64_t folders = 0;
    std::uint64_t total = WalkFolder(path, files, folders);
    switch (column) {
    case FolderSize:
        value.Assign(FormatSize(total, CurrentSizeFormat()).c_str());
        break;
    case FolderCount:
        value.Assign(
            FormatCount(folders, options.tausenderOrdner.load(std::memory_order_relaxed) != 0)
                .c_str());
        break;
    case FileCount:
        value.Assign(
            FormatCount(files, options.tausenderDateien.load(std::memory_order_relaxed) != 0)
                .c_str());
        break;
    default:
        break;
    }
}

} // namespace rb
