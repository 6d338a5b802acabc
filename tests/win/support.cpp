#include "support.h"

#include "columns/options.h"

#include <shellapi.h>
#include <vector>

namespace rbtest {

TempDir::TempDir() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static LONG counter = 0;
    for (;;) {
        wchar_t name[64];
        wsprintfW(name, L"rbtest-%lu-%ld", GetCurrentProcessId(), InterlockedIncrement(&counter));
        path_ = std::wstring(base) + name;
        if (CreateDirectoryW(path_.c_str(), nullptr))
            break;
    }
}

TempDir::~TempDir() {
    DeleteTree(path_);
}

std::wstring TempDir::MakeDir(const std::wstring& name) const {
    std::wstring path = *this / name;
    CreateDirectoryW(path.c_str(), nullptr);
    return path;
}

std::wstring TempDir::WriteFile(const std::wstring& name, const std::string& bytes) const {
    std::wstring path = *this / name;
    WriteBytes(path, bytes);
    return path;
}

void ForEachBelow(const std::wstring& path, const std::function<void(const std::wstring&, bool folder)>& each) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = data.cFileName, child = path + L"\\" + name;
        const bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                            !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
        if (name == L"." || name == L"..")
            continue;
        if (folder)
            ForEachBelow(child, each);
        each(child, folder);
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

void DeleteTree(const std::wstring& path) {
    ForEachBelow(path, [](const std::wstring& child, bool folder) {
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (folder || !DeleteFileW(child.c_str()))
            RemoveDirectoryW(child.c_str());
    });
    RemoveDirectoryW(path.c_str());
}

FILETIME TimeAt(WORD second, WORD millisecond, WORD minute) {
    SYSTEMTIME time = {2023, 5, 0, 17, 12, minute, second, millisecond};
    FILETIME file;
    SystemTimeToFileTime(&time, &file);
    return file;
}

namespace {

bool SetTimesOf(const std::wstring& path, const FILETIME* created, const FILETIME& accessed,
                const FILETIME& written) {
    HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    BOOL ok = SetFileTime(h, created, &accessed, &written);
    CloseHandle(h);
    return ok != FALSE;
}

} // namespace

bool SetTimes(const std::wstring& path, const FILETIME& created, const FILETIME& accessed,
              const FILETIME& written) {
    return SetTimesOf(path, &created, accessed, written);
}

bool SetTimes(const std::wstring& path, const FILETIME& accessed, const FILETIME& written) {
    return SetTimesOf(path, nullptr, accessed, written);
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = bytes.empty() ||
              ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::string ReadBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::string();
    std::string result;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got)
        result.append(buffer, got);
    CloseHandle(file);
    return result;
}

void ClearOptionsKey() {
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Werkhaus\\Rubrikator\\Optionen");
}

void CleanOptions::SetUp() {
    ClearOptionsKey();
    rb::Options().ResetToDefaults();
}

void CleanOptions::TearDown() {
    ClearOptionsKey();
    rb::Options().ResetToDefaults();
}

std::wstring ProgramDir() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir = path;
    return dir.substr(0, dir.find_last_of(L'\\'));
}

std::wstring ProductDllPath() {
    return ProgramDir() + L"\\Rubrikator.dll";
}

std::wstring UnixToWindowsPath(const std::string& unixPath) {
    std::wstring result = L"Z:";
    for (char c : unixPath)
        result += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return result;
}

std::string Narrow(const std::wstring& text) {
    int length = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string result(length > 0 ? length - 1 : 0, '\0');
    if (length > 1)
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &result[0], length, nullptr, nullptr);
    return result;
}

std::wstring Widen(const std::string& text) {
    int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring result(length > 0 ? length - 1 : 0, L'\0');
    if (length > 1)
        MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &result[0], length);
    return result;
}

} // namespace rbtest
