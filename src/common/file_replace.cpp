#include "common/file_replace.h"

namespace rb {

namespace {

bool WriteAll(HANDLE file, const void* data, DWORD size) {
    const char* at = static_cast<const char*>(data);
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(file, at, size, &written, nullptr))
            return false;
        if (written == 0) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        at += written;
        size -= written;
    }
    return true;
}

FileWriteFunction writeFunction = &WriteAll;
volatile LONG temporaryCount = 0;

// "<folder>\~rb<process><count>.tmp": in the target's folder, so that the last step is a
// rename within one volume.
std::wstring TemporaryBeside(const std::wstring& target) {
    std::size_t slash = target.find_last_of(L"\\/");
    std::wstring folder = slash == std::wstring::npos ? std::wstring() : target.substr(0, slash + 1);
    wchar_t name[40];
    wsprintfW(name, L"~rb%lx_%lx.tmp", GetCurrentProcessId(),
              static_cast<unsigned long>(InterlockedIncrement(&temporaryCount)));
    return folder + name;
}

} // namespace

FileWriteFunction SetFileWriteFunction(FileWriteFunction writer) {
    FileWriteFunction previous = writeFunction;
    writeFunction = writer ? writer : &WriteAll;
    return previous;
}

ReplacingFile::ReplacingFile(std::wstring target) : target_(std::move(target)) {}

ReplacingFile::~ReplacingFile() {
    Abandon();
}

bool ReplacingFile::Fail(DWORD fallback) {
    if (!error_) {
        DWORD error = GetLastError();
        error_ = error ? error : fallback;
    }
    return false;
}

bool ReplacingFile::Open() {
    // Whether the target could be replaced at all, asked before anything is written: a
    // folder of that name, a read-only file or one that a program holds against writers
    // is reported as a target that cannot be opened. The probe changes nothing.
    HANDLE probe = CreateFileW(target_.c_str(), GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
    } else {
        DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) {
            error_ = error ? error : ERROR_ACCESS_DENIED;
            return false;
        }
    }
    for (int attempt = 0; attempt < 16; ++attempt) {
        temporary_ = TemporaryBeside(target_);
        file_ = CreateFileW(temporary_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file_ != INVALID_HANDLE_VALUE)
            return true;
        if (GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    temporary_.clear();
    return Fail(ERROR_CANNOT_MAKE);
}

bool ReplacingFile::Write(const void* data, std::size_t size) {
    if (error_ || file_ == INVALID_HANDLE_VALUE)
        return false;
    const char* at = static_cast<const char*>(data);
    while (size > 0) {
        DWORD part = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        if (!writeFunction(file_, at, part))
            return Fail(ERROR_WRITE_FAULT);
        at += part;
        size -= part;
    }
    return true;
}

bool ReplacingFile::Commit() {
    if (error_ || file_ == INVALID_HANDLE_VALUE) {
        Abandon();
        return false;
    }
    bool ok = FlushFileBuffers(file_) || Fail(ERROR_WRITE_FAULT);
    HANDLE file = file_;
    file_ = INVALID_HANDLE_VALUE;
    if (!CloseHandle(file) && ok)
        ok = Fail(ERROR_WRITE_FAULT);
    // The old file keeps what the user gave it (hidden, say); the new one would not.
    const DWORD attributes = GetFileAttributesW(target_.c_str());
    if (ok && !MoveFileExW(temporary_.c_str(), target_.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        ok = Fail(ERROR_WRITE_FAULT);
    if (!ok) {
        Abandon();
        return false;
    }
    temporary_.clear();
    committed_ = true;
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        SetFileAttributesW(target_.c_str(), attributes);
    return true;
}

void ReplacingFile::Abandon() {
    if (file_ != INVALID_HANDLE_VALUE) {
        CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
    }
    if (!temporary_.empty()) {
        DeleteFileW(temporary_.c_str());
        temporary_.clear();
    }
}

bool ReplaceFileBytes(const std::wstring& path, const std::string& bytes) {
    ReplacingFile file(path);
    return file.Open() && file.Write(bytes.data(), bytes.size()) && file.Commit();
}

} // namespace rb
