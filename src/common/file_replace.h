// Writing a file in one step: the bytes go to a new hidden file beside the target, which
// is flushed and then put in the target's place by ReplaceFileW, so that the target stays
// the user's file (its rights and owner, streams, encryption and compression, attributes
// and creation time). Whatever fails on the way, the target stays as it was, byte for
// byte, and the new file is removed.
//
// A file with several names (hard links), and one in a folder where no new file can be
// made, is written in place instead: every name sees the new bytes. Its old bytes are
// kept beside it and in memory until the new ones are whole, and put back on a failure.
// A symbolic link stays: the file it leads to is replaced.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace rb {

// How the bytes reach the file; tests put a failing writer in its place. It returns false
// with the system's error set.
using FileWriteFunction = bool (*)(HANDLE file, const void* data, DWORD size);
FileWriteFunction SetFileWriteFunction(FileWriteFunction writer);

// The steps of a replace, each handed to the step hook (tests) before it is taken, with
// its path and the flags it uses. A hook that returns an error makes the step fail so.
enum class ReplaceStep {
    MakeTemporary, // the new file beside the target (flags: its attributes)
    Replace,       // ReplaceFileW of the target (flags: ReplaceFileW's)
    Move,          // MoveFileExW, where no target is (flags: MoveFileExW's)
    KeepOld,       // the old bytes copied beside, before the target is written in place
    WriteInPlace,  // the new bytes into the target itself
    PutBack,       // the old bytes back after a failure in place
};
using ReplaceStepHook = DWORD (*)(ReplaceStep step, const std::wstring& path, DWORD flags);
ReplaceStepHook SetReplaceStepHook(ReplaceStepHook hook);

// "<folder>\~<name><suffix>": a file beside `target` named after it.
std::wstring BesideTarget(const std::wstring& target, const wchar_t* suffix);

class ReplacingFile {
public:
    explicit ReplacingFile(std::wstring target);
    // A file not committed is removed.
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Creates the new file beside the target. False, with Error() set, when the target
    // cannot be replaced at all (a folder of that name, read-only, held by a program that
    // lets nobody write it) or, where there is no target, the new file cannot be made;
    // nothing is changed then.
    bool Open();
    // False after the first failure; nothing more is written then.
    bool Write(const void* data, std::size_t size);
    // Flushes, closes and puts the new file in the target's place (or writes the target
    // in place). False (old file kept, new one removed) on any failure.
    bool Commit();
    // Removes the new file; the target stays as it was.
    void Abandon();

    bool Committed() const { return committed_; }
    // The first failure's system error, 0 while there is none.
    DWORD Error() const { return error_; }
    const std::wstring& Target() const { return target_; }

private:
    bool Fail(DWORD fallback);
    bool CommitInPlace();

    std::wstring target_;
    std::wstring path_; // the file written: the target, or where its symbolic link leads
    std::wstring temporary_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    DWORD error_ = 0;
    bool committed_ = false;
    bool exists_ = false;
    bool inPlace_ = false;
    bool keepTemporary_ = false; // it holds the only bytes left (see Commit)
    std::string bytes_;          // the new bytes, when written in place
    DWORD attributes_ = INVALID_FILE_ATTRIBUTES;
    FILETIME created_ = {};
};

// Puts `bytes` in place of the file `path` as above; false when any step fails.
bool ReplaceFileBytes(const std::wstring& path, const std::string& bytes);

} // namespace rb
