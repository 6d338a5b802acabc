// Columns 8 to 11: content type by extension, seconds and milliseconds of the file times.
#include "columns/catalogue.h"
#include "columns/producers.h"
#include "columns/tree_walk.h"
#include "common/win_handles.h"

namespace rb {

namespace {

const FILETIME* PickTime(unsigned column, const FILETIME& written, const FILETIME& created,
                         const FILETIME& accessed) {
    switch (column) {
    case ModifiedSeconds:
        return &written;
    case CreatedSeconds:
        return &created;
    case AccessedSeconds:
        return &accessed;
    default:
        return nullptr;
    }
}

void PrintSeconds(const FILETIME* time, ValueText& value) {
    SYSTEMTIME split;
    if (time && FileTimeToSystemTime(time, &split))
        value.Print("%02d.%03d", split.wSecond, split.wMilliseconds);
}

} // namespace

void ProduceTimeText(unsigned column, const wchar_t* path, ValueText& value) {
    std::wstring extended = ExtendedPath(path ? path : L"");
    if (extended.empty())
        return;
    {
        // Attribute access with full sharing: another program may save the file meanwhile.
        UniqueFile file(CreateFileW(extended.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL, nullptr));
        FILETIME created, accessed, written;
        if (file && GetFileTime(file.get(), &created, &accessed, &written)) {
            PrintSeconds(PickTime(column, written, created, accessed), value);
            return;
        }
    }
    // Folders (opened without backup semantics) and files held by others: the entry
    // in the parent folder carries the same times. A drive's root has no such entry.
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW(extended.c_str(), &data));
    if (find)
        PrintSeconds(
            PickTime(column, data.ftLastWriteTime, data.ftCreationTime, data.ftLastAccessTime),
            value);
}

void ProduceContentType(const char* extension, ValueText& value) {
    UniqueKey key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, extension, 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        key.release();
        return;
    }
    DWORD size = 0;
    if (RegQueryValueExA(key.get(), "Content Type", nullptr, nullptr, nullptr, &size) !=
            ERROR_SUCCESS ||
        size >= ValueText::kCapacity)
        return;
    DWORD capacity = ValueText::kCapacity;
    if (RegQueryValueExA(key.get(), "Content Type", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(value.text), &capacity) != ERROR_SUCCESS) {
        value.Clear();
        return;
    }
    // A value stored without its terminator still ends inside the buffer.
    value.text[capacity < ValueText::kCapacity ? capacity : ValueText::kCapacity - 1] = '\0';
}

} // namespace rb
