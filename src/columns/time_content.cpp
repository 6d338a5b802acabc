// Columns 8 to 11: content type by extension, seconds and milliseconds of the file times.
#include "columns/catalogue.h"
#include "columns/producers.h"
#include "columns/tree_walk.h"
#include "common/win_handles.h"

namespace rb {

bool ReadFileTimes(const wchar_t* path, FileTimes& times) {
    std::wstring extended = ExtendedPath(path ? path : L"");
    if (extended.empty())
        return false;
    {
        // Attribute access with full sharing: another program may save the file meanwhile.
        UniqueFile file(CreateFileW(extended.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file && GetFileTime(file.get(), &times.created, &times.accessed, &times.written))
            return true;
    }
    // Folders (opened without backup semantics) and files held by others: the entry
    // in the parent folder carries the same times. A drive's root has no such entry.
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW(extended.c_str(), &data));
    if (!find)
        return false;
    times.created = data.ftCreationTime;
    times.accessed = data.ftLastAccessTime;
    times.written = data.ftLastWriteTime;
    return true;
}

void PrintColumnTime(unsigned column, const FileTimes& times, ValueText& value) {
    const FILETIME* time = column == ModifiedSeconds   ? &times.written
                           : column == CreatedSeconds  ? &times.created
                           : column == AccessedSeconds ? &times.accessed
                                                       : nullptr;
    SYSTEMTIME split;
    if (time && FileTimeToSystemTime(time, &split))
        value.Print("%02d.%03d", split.wSecond, split.wMilliseconds);
}

void ProduceTimeText(unsigned column, const wchar_t* path, ValueText& value) {
    FileTimes times;
    if (ReadFileTimes(path, times))
        PrintColumnTime(column, times, value);
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
