#include "browse/tree_shelf.h"

#include "common/file_replace.h"
#include "common/name_fold.h"
#include "common/win_handles.h"
#include "common/win_lock.h"

#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <atomic>

namespace rb {

namespace {

const wchar_t kExtension[] = L".rbtree";
constexpr std::size_t kHexDigits = 16;

// Every operation on the folder holds it: the dialog, a walk worker and the thread that
// saves at closing may meet here.
CriticalSection& ShelfLock() {
    static CriticalSection lock;
    return lock;
}

// Guarded by ShelfLock.
std::wstring g_folder;
ShelfLimits g_limits;
std::atomic<unsigned> g_changes{0}, g_clears{0};
std::uint64_t g_lastStamp = 0;

std::atomic<FolderIdentityFunction> g_identity{nullptr};

std::uint64_t FromFileTime(const FILETIME& time) {
    return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

// Now, but always later than the last stamp given: uses in one process keep their order
// even where the clock moves in coarse steps.
FILETIME NextStamp() {
    FILETIME now = {};
    GetSystemTimeAsFileTime(&now);
    std::uint64_t stamp = std::max(FromFileTime(now), g_lastStamp + 1);
    g_lastStamp = stamp;
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(stamp);
    time.dwHighDateTime = static_cast<DWORD>(stamp >> 32);
    return time;
}

bool MarkUsed(HANDLE file) {
    FILETIME stamp = NextStamp();
    return SetFileTime(file, nullptr, nullptr, &stamp) != FALSE;
}

// "<16 hex digits>.rbtree": only such names are the shelf's.
bool IsShelfName(const wchar_t* name) {
    for (std::size_t i = 0; i < kHexDigits; ++i) {
        wchar_t c = name[i];
        if (!((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f')))
            return false;
    }
    return lstrcmpW(name + kHexDigits, kExtension) == 0;
}

std::wstring FileNameOf(const std::wstring& root) {
    std::uint64_t hash = FoldedHash(root.c_str(), root.size());
    std::wstring name(kHexDigits, L'0');
    for (std::size_t i = kHexDigits; i-- > 0; hash >>= 4)
        name[i] = L"0123456789abcdef"[hash & 0xF];
    return name + kExtension;
}

// The shelf's files in `folder`, by full path.
std::vector<std::wstring> ShelfFiles(const std::wstring& folder) {
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW found = {};
    UniqueFind find(FindFirstFileW((folder + L"\\*" + kExtension).c_str(), &found));
    if (!find)
        return files;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsShelfName(found.cFileName))
            files.push_back(folder + L"\\" + found.cFileName);
    } while (FindNextFileW(find.get(), &found));
    return files;
}

UniqueFile OpenSaved(const std::wstring& path, DWORD access) {
    return UniqueFile(CreateFileW(path.c_str(), access,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool ReadAll(HANDLE file, char* into, std::size_t size) {
    while (size > 0) {
        DWORD part = size > 0x100000 ? 0x100000 : static_cast<DWORD>(size);
        DWORD read = 0;
        if (!ReadFile(file, into, part, &read, nullptr) || read == 0)
            return false;
        into += read;
        size -= read;
    }
    return true;
}

bool ReadEntry(const std::wstring& path, ShelfEntry& entry) {
    UniqueFile file = OpenSaved(path, GENERIC_READ);
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!file || !GetFileInformationByHandle(file.get(), &information))
        return false;
    std::uint64_t size = (std::uint64_t{information.nFileSizeHigh} << 32) | information.nFileSizeLow;
    // Most roots are short: the long header is read only where the short one is not whole.
    std::string header;
    for (const std::size_t most : {std::size_t{512}, kSavedHeaderMax}) {
        const std::size_t read = static_cast<std::size_t>(std::min<std::uint64_t>(size, most));
        if (read <= header.size())
            return false;
        const std::size_t had = header.size();
        header.resize(read);
        if (!ReadAll(file.get(), &header[had], read - had))
            return false;
        if (ReadSavedInfo(header.data(), header.size(), entry.info))
            break;
        if (most == kSavedHeaderMax)
            return false;
    }
    entry.file = path;
    entry.bytes = size;
    entry.used = FromFileTime(information.ftLastWriteTime);
    return true;
}

std::vector<ShelfEntry> ListLocked() {
    std::vector<ShelfEntry> entries;
    const std::wstring folder = ShelfFolder();
    if (folder.empty())
        return entries;
    for (const std::wstring& path : ShelfFiles(folder)) {
        ShelfEntry entry;
        if (ReadEntry(path, entry))
            entries.push_back(std::move(entry));
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const ShelfEntry& a, const ShelfEntry& b) { return a.used > b.used; });
    return entries;
}

bool SystemFolderIdentity(const std::wstring& path, std::uint32_t& serial, std::uint64_t& id) {
    serial = 0;
    id = 0;
    // "\\?\E:" alone opens the volume, not its root folder.
    const std::wstring open = !path.empty() && path.back() == L':' ? path + L'\\' : path;
    UniqueFile folder(CreateFileW(open.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!folder || !GetFileInformationByHandle(folder.get(), &information))
        return false;
    serial = information.dwVolumeSerialNumber;
    id = (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow;
    return serial != 0 || id != 0;
}

} // namespace

std::wstring ShelfFolder() {
    ScopedLock hold(ShelfLock());
    std::wstring folder = g_folder;
    if (folder.empty()) {
        wchar_t local[MAX_PATH + 1] = {};
        if (!SHGetSpecialFolderPathW(nullptr, local, CSIDL_LOCAL_APPDATA, TRUE) || !local[0])
            return std::wstring();
        folder = local;
        if (folder.back() != L'\\')
            folder += L'\\';
        folder += L"Rubrikator";
    }
    CreateDirectoryW(folder.c_str(), nullptr);
    DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::wstring();
    return folder;
}

void SetShelfFolder(const std::wstring& folder) {
    ScopedLock hold(ShelfLock());
    g_folder = folder;
}

ShelfLimits SetShelfLimits(const ShelfLimits& limits) {
    ScopedLock hold(ShelfLock());
    ShelfLimits previous = g_limits;
    g_limits = limits;
    return previous;
}

std::vector<ShelfEntry> ListShelf() {
    std::vector<ShelfEntry> entries;
    ListShelf(entries, true);
    return entries;
}

bool ListShelf(std::vector<ShelfEntry>& entries, bool wait) {
    if (wait)
        ShelfLock().Enter();
    else if (!ShelfLock().TryEnter())
        return false;
    try {
        entries = ListLocked();
    } catch (...) {
        ShelfLock().Leave();
        throw;
    }
    ShelfLock().Leave();
    return true;
}

unsigned ShelfChanges() {
    return g_changes.load();
}

unsigned ShelfClears() {
    return g_clears.load();
}

bool PutOnShelf(const SavedTreeInfo& info, const std::string& bytes, unsigned clears) {
    ScopedLock hold(ShelfLock());
    const std::wstring folder = ShelfFolder();
    if (folder.empty() || info.root.empty() || bytes.size() > g_limits.fileBytes ||
        clears != g_clears.load())
        return false;
    const std::wstring path = folder + L"\\" + FileNameOf(info.root);
    ReplacingFile file(path);
    if (!file.Open() || !file.Write(bytes.data(), bytes.size()) || !file.Commit())
        return false;
    MarkUsed(OpenSaved(path, FILE_WRITE_ATTRIBUTES).get());
    ++g_changes;

    // Most recently used first: the least recently used are met from the end.
    std::vector<ShelfEntry> entries = ListLocked();
    // A damaged file would never be offered nor counted: it goes (one of another version
    // stays, for the version that reads it).
    for (const std::wstring& stray : ShelfFiles(folder))
        if (!SameName(stray, path) &&
            std::none_of(entries.begin(), entries.end(),
                         [&](const ShelfEntry& entry) { return SameName(entry.file, stray); })) {
            char start[8] = {};
            UniqueFile damaged = OpenSaved(stray, GENERIC_READ);
            if (damaged && ReadAll(damaged.get(), start, sizeof start) && OfThisVersion(start, sizeof start)) {
                damaged.reset();
                DeleteFileW(stray.c_str());
            }
        }
    std::uint64_t total = 0;
    std::size_t count = 0;
    std::vector<const ShelfEntry*> kept;
    for (const ShelfEntry& entry : entries) {
        const bool self = SameName(entry.file, path);
        if (!self && AtOrBelow(entry.info.root, info.root)) {
            DeleteFileW(entry.file.c_str());
            continue;
        }
        total += entry.bytes;
        ++count;
        if (!self)
            kept.push_back(&entry);
    }
    for (auto it = kept.rbegin(); it != kept.rend(); ++it) {
        if (total <= g_limits.totalBytes && count <= g_limits.files)
            break;
        if (DeleteFileW((*it)->file.c_str())) {
            total -= (*it)->bytes;
            --count;
        }
    }
    return true;
}

bool TakeFromShelf(const ShelfEntry& entry, std::string& bytes) {
    ScopedLock hold(ShelfLock());
    bytes.clear();
    UniqueFile file = OpenSaved(entry.file, GENERIC_READ | FILE_WRITE_ATTRIBUTES);
    LARGE_INTEGER size = {};
    if (!file || !GetFileSizeEx(file.get(), &size) ||
        static_cast<std::uint64_t>(size.QuadPart) != entry.bytes || entry.bytes > g_limits.fileBytes)
        return false;
    std::string read(static_cast<std::size_t>(entry.bytes), '\0');
    if (!read.empty() && !ReadAll(file.get(), &read[0], read.size()))
        return false;
    MarkUsed(file.get());
    bytes.swap(read);
    return true;
}

void DropFromShelf(const ShelfEntry& entry) {
    ScopedLock hold(ShelfLock());
    DeleteFileW(entry.file.c_str());
    ++g_changes;
}

bool ClearShelf() {
    ScopedLock hold(ShelfLock());
    ++g_clears;
    ++g_changes;
    const std::wstring folder = ShelfFolder();
    bool all = true;
    if (folder.empty())
        return all;
    for (const std::wstring& path : ShelfFiles(folder)) {
        if (!DeleteFileW(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
            all = false;
    }
    return all;
}

bool FolderIdentity(const std::wstring& path, std::uint32_t& serial, std::uint64_t& id) {
    FolderIdentityFunction function = g_identity.load();
    return (function ? function : SystemFolderIdentity)(path, serial, id);
}

FolderIdentityFunction SetFolderIdentityFunction(FolderIdentityFunction function) {
    return g_identity.exchange(function);
}

namespace {

// mpr.dll is loaded only where a mapped drive is met.
bool SystemDriveConnection(const std::wstring& drive, std::wstring& share) {
    using GetConnection = DWORD(WINAPI*)(LPCWSTR, LPWSTR, LPDWORD);
    static const auto get = [] {
        HMODULE mpr = LoadLibraryW(L"mpr.dll");
        return mpr ? reinterpret_cast<GetConnection>(
                         reinterpret_cast<void*>(GetProcAddress(mpr, "WNetGetConnectionW")))
                   : nullptr;
    }();
    wchar_t name[1024] = {};
    DWORD length = 1024;
    if (!get || get(drive.c_str(), name, &length) != NO_ERROR)
        return false;
    share = name;
    return !share.empty();
}

DriveConnectionFunction driveConnection = &SystemDriveConnection;

} // namespace

DriveConnectionFunction SetDriveConnectionFunction(DriveConnectionFunction function) {
    DriveConnectionFunction before = driveConnection;
    driveConnection = function ? function : &SystemDriveConnection;
    return before;
}

bool TreeIdentity(const std::wstring& path, std::uint32_t& serial, std::uint64_t& id) {
    serial = 0;
    id = 0;
    // "\\?\X:..." mapped: the share behind the letter.
    const std::size_t at = path.compare(0, 4, L"\\\\?\\") == 0 ? 4 : 0;
    std::wstring share;
    if (path.size() >= at + 2 && path[at + 1] == L':' && driveConnection(path.substr(at, 2), share)) {
        serial = static_cast<std::uint32_t>(FoldedHash(share.c_str(), share.size())) | 1u;
        return true;
    }
    // A share's own path says it all; asking it more could stall the window that saves.
    if (IsRemotePath(path))
        return path.size() < at + 2 || path[at + 1] != L':';
    return FolderIdentity(path, serial, id);
}

bool IsRemotePath(const std::wstring& path) {
    std::wstring rest = path;
    if (rest.compare(0, 4, L"\\\\?\\") == 0) {
        rest.erase(0, 4);
        if (rest.size() >= 4 && SameName(rest.c_str(), 4, L"UNC\\", 4))
            return true;
    } else if (rest.compare(0, 2, L"\\\\") == 0) {
        return true;
    }
    if (rest.size() < 2 || rest[1] != L':')
        return false;
    const wchar_t root[] = {rest[0], L':', L'\\', L'\0'};
    return GetDriveTypeW(root) == DRIVE_REMOTE;
}

} // namespace rb
