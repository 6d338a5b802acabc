#include "common/file_replace.h"

#include "common/newer_api.h"

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
ReplaceStepHook stepHook = nullptr;

// A virus scanner or an indexer opens a file it sees made for a moment.
constexpr int kAttempts = 5;
constexpr DWORD kPauseMilliseconds = 100;

// 0 to go on, or the error the step is to fail with.
DWORD Hooked(ReplaceStep step, const std::wstring& path, DWORD flags) {
    return stepHook ? stepHook(step, path, flags) : 0;
}

// Paths past MAX_PATH in the form the wide functions take them whole.
std::wstring LongForm(std::wstring path) {
    if (path.size() < MAX_PATH - 12 || path.compare(0, 4, L"\\\\?\\") == 0)
        return path;
    for (wchar_t& c : path)
        c = c == L'/' ? L'\\' : c;
    if (path.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC\\" + path.substr(2);
    return path.size() > 2 && path[1] == L':' ? L"\\\\?\\" + path : path;
}

bool Held(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// `attempt` (0 or its error) until it succeeds or fails with an error that is not
// `passing`, at most kAttempts times.
template <typename Attempt, typename Passing> DWORD Retried(Attempt attempt, Passing passing) {
    for (int tried = 1;; ++tried) {
        const DWORD error = attempt();
        if (!error || !passing(error) || tried == kAttempts)
            return error;
        Sleep(kPauseMilliseconds);
    }
}

HANDLE MakeHidden(const std::wstring& path, DWORD& error) {
    HANDLE file = INVALID_HANDLE_VALUE;
    error = Retried([&]() -> DWORD {
        if (const DWORD hooked = Hooked(ReplaceStep::MakeTemporary, path, FILE_ATTRIBUTE_HIDDEN))
            return hooked;
        // A leftover of a save that broke off is this target's: replaced.
        file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_HIDDEN, nullptr);
        return file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    }, Held);
    return file;
}

// `size` bytes in parts a DWORD counts.
bool WriteParts(HANDLE file, const char* data, std::size_t size, FileWriteFunction write) {
    for (std::size_t at = 0; at < size;) {
        const DWORD part = size - at > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size - at);
        if (!write(file, data + at, part))
            return false;
        at += part;
    }
    return true;
}

bool Rewind(HANDLE file) {
    LARGE_INTEGER zero = {};
    return SetFilePointerEx(file, zero, nullptr, FILE_BEGIN) != 0;
}

} // namespace

FileWriteFunction SetFileWriteFunction(FileWriteFunction writer) {
    FileWriteFunction previous = writeFunction;
    writeFunction = writer ? writer : &WriteAll;
    return previous;
}

ReplaceStepHook SetReplaceStepHook(ReplaceStepHook hook) {
    ReplaceStepHook previous = stepHook;
    stepHook = hook;
    return previous;
}

std::wstring BesideTarget(const std::wstring& target, const wchar_t* suffix) {
    const std::size_t slash = target.find_last_of(L"\\/");
    const std::size_t name = slash == std::wstring::npos ? 0 : slash + 1;
    return target.substr(0, name) + L"~" + target.substr(name) + suffix;
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
    path_ = LongForm(target_);
    // Whether the target could be replaced at all, asked before anything is written: a
    // folder of that name, a read-only file or one that a program holds against writers
    // is reported as a target that cannot be opened. The probe changes nothing.
    HANDLE probe = CreateFileW(path_.c_str(), GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        exists_ = true;
        BY_HANDLE_FILE_INFORMATION information = {};
        if (GetFileInformationByHandle(probe, &information)) {
            inPlace_ = information.nNumberOfLinks > 1; // every name is to see the new bytes
            attributes_ = information.dwFileAttributes;
            created_ = information.ftCreationTime;
        }
        // A symbolic link stays a link: what it leads to is replaced (asked of every file:
        // not every system marks a link in its attributes).
        if (auto finalPath = Newer().getFinalPathNameByHandle) {
            std::wstring buffer(32768, L'\0'); // not on the stack of Explorer's thread
            const DWORD length = finalPath(probe, &buffer[0], 32768, 0);
            if (length > 0 && length < 32768)
                path_.assign(buffer, 0, length);
        }
        CloseHandle(probe);
    } else {
        DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) {
            error_ = error ? error : ERROR_ACCESS_DENIED;
            return false;
        }
    }
    if (inPlace_)
        return true;
    DWORD error = 0;
    temporary_ = BesideTarget(path_, L".rb-neu");
    file_ = MakeHidden(temporary_, error);
    if (file_ != INVALID_HANDLE_VALUE)
        return true;
    temporary_.clear();
    // A folder where the file may be changed but nothing made: written in place.
    if (exists_ && (error == ERROR_ACCESS_DENIED || error == ERROR_FILENAME_EXCED_RANGE))
        return inPlace_ = true;
    SetLastError(error);
    return Fail(ERROR_CANNOT_MAKE);
}

bool ReplacingFile::Write(const void* data, std::size_t size) {
    if (error_ || (file_ == INVALID_HANDLE_VALUE && !inPlace_))
        return false;
    if (inPlace_) {
        try {
            bytes_.append(static_cast<const char*>(data), size);
        } catch (...) {
            error_ = ERROR_NOT_ENOUGH_MEMORY;
            return false;
        }
        return true;
    }
    return WriteParts(file_, static_cast<const char*>(data), size, writeFunction) ||
           Fail(ERROR_WRITE_FAULT);
}

bool ReplacingFile::Commit() {
    if (committed_)
        return true;
    if (!error_ && inPlace_ && CommitInPlace()) {
        committed_ = true;
        return true;
    }
    if (error_ || file_ == INVALID_HANDLE_VALUE) {
        Abandon();
        return false;
    }
    bool ok = FlushFileBuffers(file_) || Fail(ERROR_WRITE_FAULT);
    HANDLE file = file_;
    file_ = INVALID_HANDLE_VALUE;
    if (!CloseHandle(file) && ok)
        ok = Fail(ERROR_WRITE_FAULT);
    bool replaced = false;
    if (ok && exists_) {
        // ACL errors are known to the system from Vista on (when links to files came).
        const DWORD flags = REPLACEFILE_IGNORE_MERGE_ERRORS |
                            (Newer().getFinalPathNameByHandle ? 0x00000004 /* IGNORE_ACL */ : 0);
        const DWORD error = Retried([&]() -> DWORD {
            if (const DWORD hooked = Hooked(ReplaceStep::Replace, path_, flags))
                return hooked;
            return ReplaceFileW(path_.c_str(), temporary_.c_str(), nullptr, flags, nullptr, nullptr)
                       ? 0 : GetLastError();
        }, [](DWORD error) {
            return Held(error) || error == ERROR_ACCESS_DENIED || error == ERROR_UNABLE_TO_REMOVE_REPLACED;
        });
        replaced = !error;
        // The target is gone, the new file still beside it: moved there below. It holds the
        // only bytes left, so a failure keeps it. (Where the target is still there after
        // all, that is an ordinary failure.)
        const bool gone = GetFileAttributesW(path_.c_str()) == INVALID_FILE_ATTRIBUTES &&
                          (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND);
        if ((error == ERROR_UNABLE_TO_MOVE_REPLACEMENT || error == ERROR_FILE_NOT_FOUND) && gone) {
            keepTemporary_ = error == ERROR_UNABLE_TO_MOVE_REPLACEMENT;
        } else if (error) {
            SetLastError(error);
            ok = Fail(ERROR_WRITE_FAULT);
        }
    }
    if (ok && !replaced) {
        const DWORD flags = MOVEFILE_WRITE_THROUGH;
        const DWORD error = Retried([&]() -> DWORD {
            if (const DWORD hooked = Hooked(ReplaceStep::Move, path_, flags))
                return hooked;
            return MoveFileExW(temporary_.c_str(), path_.c_str(), flags) ? 0 : GetLastError();
        }, Held);
        if (error) {
            SetLastError(error);
            ok = Fail(ERROR_WRITE_FAULT);
            // The only bytes left stay where the user sees them.
            if (keepTemporary_)
                SetFileAttributesW(temporary_.c_str(), FILE_ATTRIBUTE_NORMAL);
        }
    }
    if (!ok) {
        Abandon();
        return false;
    }
    keepTemporary_ = false;
    temporary_.clear();
    committed_ = true;
    if (!replaced) {
        // Not hidden as the new file beside was; what the old file was where it went.
        DWORD now = GetFileAttributesW(path_.c_str());
        now = now == INVALID_FILE_ATTRIBUTES ? 0 : now & ~FILE_ATTRIBUTE_HIDDEN;
        SetFileAttributesW(path_.c_str(), attributes_ != INVALID_FILE_ATTRIBUTES ? attributes_
                                          : now ? now : FILE_ATTRIBUTE_NORMAL);
    } else if (attributes_ != INVALID_FILE_ATTRIBUTES) {
        // What the old file was, where the system's replace did not keep it (Wine's).
        if (GetFileAttributesW(path_.c_str()) != attributes_)
            SetFileAttributesW(path_.c_str(), attributes_);
        HANDLE times = CreateFileW(path_.c_str(), FILE_WRITE_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (times != INVALID_HANDLE_VALUE) {
            SetFileTime(times, &created_, nullptr, nullptr);
            CloseHandle(times);
        }
    }
    return true;
}

bool ReplacingFile::CommitInPlace() {
    HANDLE file = CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Fail(ERROR_ACCESS_DENIED);
    // The old bytes, in memory and beside the file (where one may be made there) until
    // the new ones are whole.
    std::string old;
    bool ok = true;
    try {
        char buffer[65536];
        for (DWORD got = 1; ok && got;)
            ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr) ? (old.append(buffer, got), true)
                                                                     : Fail(ERROR_READ_FAULT);
    } catch (...) {
        error_ = ERROR_NOT_ENOUGH_MEMORY;
        ok = false;
    }
    std::wstring copy;
    if (ok) {
        DWORD error = 0;
        copy = BesideTarget(path_, L".rb-alt");
        HANDLE kept = (error = Hooked(ReplaceStep::KeepOld, copy, 0)) != 0 ? INVALID_HANDLE_VALUE
                                                                          : MakeHidden(copy, error);
        const bool whole = kept != INVALID_HANDLE_VALUE && WriteParts(kept, old.data(), old.size(), &WriteAll) &&
                           FlushFileBuffers(kept);
        if (kept != INVALID_HANDLE_VALUE)
            CloseHandle(kept);
        if (!whole) {
            if (kept != INVALID_HANDLE_VALUE)
                DeleteFileW(copy.c_str());
            copy.clear(); // in memory only
        }
    }
    auto writeOver = [&](const std::string& bytes, FileWriteFunction write) {
        return Rewind(file) && WriteParts(file, bytes.data(), bytes.size(), write) && SetEndOfFile(file) &&
               FlushFileBuffers(file);
    };
    if (ok) {
        const DWORD error = Hooked(ReplaceStep::WriteInPlace, path_, 0);
        if (error || !writeOver(bytes_, writeFunction)) {
            SetLastError(error ? error : GetLastError());
            Fail(ERROR_WRITE_FAULT);
            // Put back; where that fails too, the copy beside stays with them.
            const bool back = !Hooked(ReplaceStep::PutBack, path_, 0) && writeOver(old, &WriteAll);
            if (back && !copy.empty())
                DeleteFileW(copy.c_str());
            copy.clear();
            ok = false;
        }
    }
    CloseHandle(file);
    if (!copy.empty())
        DeleteFileW(copy.c_str());
    bytes_.clear();
    return ok;
}

void ReplacingFile::Abandon() {
    if (file_ != INVALID_HANDLE_VALUE) {
        CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
    }
    if (!temporary_.empty()) {
        if (!keepTemporary_)
            DeleteFileW(temporary_.c_str());
        temporary_.clear();
    }
    bytes_.clear();
}

bool ReplaceFileBytes(const std::wstring& path, const std::string& bytes) {
    ReplacingFile file(path);
    return file.Open() && file.Write(bytes.data(), bytes.size()) && file.Commit();
}

} // namespace rb
