// What the files of a walked tree add up to, for the details page: the largest files and
// the bytes and files of each file type. Filled by one walk, read by the page.
#pragma once

#include "columns/tree_walk.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace rb {

struct LargeFile {
    std::wstring folder; // the file's folder, whole path as the walk gave it
    std::wstring name;
    std::uint64_t size = 0;
    std::uint64_t writeTime = 0; // FILETIME as 64 bits
};

struct FileType {
    std::wstring extension; // lower-case with its dot (".bin"); empty for files without one
    std::uint64_t bytes = 0;
    std::uint64_t files = 0;
};

// The type of a file as Explorer tells it: from the name's last dot on, lower-cased (ASCII,
// Latin-1, Greek and Cyrillic), whatever the dot's place (".gitignore" is one); empty for
// a name without a dot or ending in one.
std::wstring FileExtension(const wchar_t* name, std::size_t length);

class FileStats {
public:
    static constexpr std::size_t kLargest = 1000;
    explicit FileStats(std::size_t largest = kLargest);

    // One file met by a walk in `folder`. Cheap for the files that do not enter the heap:
    // the folder string is copied only when the file enters the largest ones.
    void Add(const std::wstring& folder, const wchar_t* name, std::size_t nameLength,
             std::uint64_t size, std::uint64_t writeTime);
    // Whether a file of `size` may enter the largest ones; when not, Add does not look at
    // its folder.
    bool Enters(std::uint64_t size) const {
        return heap_.size() < largest_ || (largest_ && size >= heap_.front().size);
    }
    // Only files of the type `extension` (as FileExtension gives it) enter the largest
    // ones; every type is still counted.
    void KeepOnly(const std::wstring& extension) {
        only_ = extension;
        onlyOne_ = true;
    }
    // Another walk's stats added (top-N of the union, types summed).
    void Merge(const FileStats& other);
    // A file known to be gone (deleted by the user from the page): it leaves the largest
    // ones and its type's numbers drop by its size and one file. False if it was not among
    // the largest. Names are matched as the file system matches them.
    bool Remove(const std::wstring& folder, const std::wstring& name);

    std::vector<LargeFile> Largest() const; // largest first; equal sizes by folder then name
    std::vector<FileType> Types() const;    // most bytes first; equal bytes by extension
    std::vector<LargeFile> LargestOfType(const std::wstring& extension) const; // of the kept
    std::size_t MemoryBytes() const; // about what it holds (heap entries, strings, table)
    std::uint64_t Files() const { return files_; } // files added, less those removed
    std::size_t FoldersHeld() const;               // the folder paths the kept files share

private:
    struct Entry {
        std::uint64_t size;
        std::uint64_t writeTime;
        std::shared_ptr<const std::wstring> folder; // shared by the files of one folder
        std::wstring name;
    };
    // The types in a table of their own (open addressing, at most half full): a type met
    // before is found by its name's characters, lower-cased on the way, with no string
    // made. A type whose files all went stays with none.
    struct Type {
        std::wstring extension;
        std::uint64_t hash = 0;
        std::uint64_t bytes = 0;
        std::uint64_t files = 0;
        bool used = false;
    };

    // Whether `a` stands before `b` among the largest; as the heap's order, its front is
    // the first to go.
    static bool Ahead(const Entry& a, const Entry& b);
    // The type of the extension (its dot on, as in the name; empty for none).
    Type& TypeOf(const wchar_t* extension, std::size_t length);
    void Offer(Entry&& entry);

    std::size_t largest_;
    std::vector<Entry> heap_; // its front the first to go: smallest, then last by path
    std::vector<Type> types_;
    std::size_t typesUsed_ = 0;
    std::shared_ptr<const std::wstring> lastFolder_;
    std::uint64_t files_ = 0;
    std::wstring only_;
    bool onlyOne_ = false;
};

// Hands a walk's files to `stats`, their folders in the usual form ("\\?\C:\x\" as
// "C:\x", "\\?\UNC\s\t\" as "\\s\t"; a drive's root keeps its "\"). The form is made
// only for the files that may enter the largest ones.
class FileStatsSink final : public FileSink {
public:
    explicit FileStatsSink(FileStats& stats) : stats_(stats) {}
    void File(const std::wstring& folder, const DirectoryEntry& entry) override;

private:
    FileStats& stats_;
    std::wstring plain_; // the last folder made; stale for files that do not enter
};

} // namespace rb
