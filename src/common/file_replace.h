// Writing a file in one step: the bytes go to a new file beside the target, which is
// flushed and then put in the target's place. Whatever fails on the way, the target
// stays as it was, byte for byte, and the new file is removed.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace rb {

// How the bytes reach the file; tests put a failing writer in its place. It returns false
// with the system's error set.
using FileWriteFunction = bool (*)(HANDLE file, const void* data, DWORD size);
FileWriteFunction SetFileWriteFunction(FileWriteFunction writer);

class ReplacingFile {
public:
    explicit ReplacingFile(std::wstring target);
    // A file not committed is removed.
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Creates the new file beside the target. False, with Error() set, when the target
    // cannot be replaced at all (a folder of that name, read-only, held by a program that
    // lets nobody write it) or the new file cannot be made; nothing is changed then.
    bool Open();
    // False after the first failure; nothing more is written then.
    bool Write(const void* data, std::size_t size);
    // Flushes, closes and puts the new file in the target's place, which keeps the old
    // file's attributes. False (old file kept, new one removed) on any failure.
    bool Commit();
    // Removes the new file; the target stays as it was.
    void Abandon();

    bool Committed() const { return committed_; }
    // The first failure's system error, 0 while there is none.
    DWORD Error() const { return error_; }
    const std::wstring& Target() const { return target_; }

private:
    bool Fail(DWORD fallback);

    std::wstring target_;
    std::wstring temporary_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    DWORD error_ = 0;
    bool committed_ = false;
};

// Puts `bytes` in place of the file `path` as above; false when any step fails.
bool ReplaceFileBytes(const std::wstring& path, const std::string& bytes);

} // namespace rb
