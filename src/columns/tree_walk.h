// The folder walk behind the folder-size and count columns, apart from how a folder is
// listed: trees of any depth, directory links, cycles and paths up to the system's limit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rb {


// The system's longest path, terminator included.
constexpr std::size_t kMaxPathCharacters = 32767;

// The extended form of a full path, which every file function takes whole: "\\?\C:\..."
// for drive paths and "\\?\UNC\server\share\..." for network paths. "/" counts as "\",
// doubled separators are dropped and "." and ".." components resolved; a name ending in
// a dot or a space is kept as it is. Empty for an empty, relative or device path.
std::wstring ExtendedPath(const std::wstring& path);
// The usual form of an extended path, as the shell and the user write it: "\\?\C:\x\" as
// "C:\x", "\\?\UNC\s\t" as "\\s\t"; a drive's root keeps its "\" ("C:\"), or it would
// name the drive's current folder. Any other text is taken as it is, less a final "\".
std::wstring PlainPath(const std::wstring& extended);

// File attributes and reparse tags the walk looks at (the system's values).
constexpr std::uint32_t kAttributeDirectory = 0x10;
constexpr std::uint32_t kAttributeReparsePoint = 0x400;
constexpr std::uint32_t kAttributeRecallOnOpen = 0x40000;
constexpr std::uint32_t kReparseTagNameSurrogate = 0x20000000;

// Whether a walk enters a folder with these attributes and reparse tag: not a directory
// link (a name-surrogate reparse point, or one without a valid tag, as which Wine shows
// Unix links), nor a folder whose listing is not on this machine (recall on open).
bool Entered(std::uint32_t attributes, std::uint32_t reparseTag);

struct DirectoryEntry {
    const wchar_t* name;
    std::size_t nameLength;
    std::uint32_t attributes;
    std::uint32_t reparseTag; // valid with kAttributeReparsePoint
    std::uint64_t size;
    std::uint64_t fileId;        // 0 when the listing gives none
    std::uint64_t writeTime = 0; // as a FILETIME
};

class EntrySink {
public:
    virtual void Entry(const DirectoryEntry& entry) = 0;

protected:
    ~EntrySink() = default;
};

struct FolderTotals {
    std::uint64_t size = 0;
    std::int64_t files = 0;
    std::int64_t folders = 0;
    // The folder itself was listed and no listing below it broke off: only then are the
    // numbers its own.
    bool whole = false;
};

// How a listing ended.
enum class Listing {
    Whole,       // every entry was handed over
    NotListable, // refused at the start (access denied, gone): no entry was handed over
    BrokeOff,    // ended partway (a share that dropped, a stop): some entries are missing
    Gone,        // not there (removed, or renamed since its path was known)
};

class DirectoryLister {
public:
    virtual ~DirectoryLister() = default;
    // Hands every entry of the folder `path` (extended form, ending in "\"), "." and ".."
    // included, to `sink`.
    virtual Listing List(const std::wstring& path, EntrySink& sink) = 0;
    // Asked only when two folders of one descent have the same file id or listing: whether
    // they are surely one folder (same volume, same known index). When this cannot be told,
    // false: a folder is left out only when it surely was counted already.
    virtual bool SameFolder(const std::wstring& a, const std::wstring& b) = 0;
    // The file id of the folder `path` (extended form, ending in "\"); 0 when it cannot be
    // told. Asked for the folders above a walk's root, so that a link back to one of them
    // is not entered.
    virtual std::uint64_t Identify(const std::wstring& path) = 0;
};

// Takes each folder a walk lists, to keep it with its numbers. Folders are named by
// handles the sink gives; 0 is none (a folder below one that keeps no subfolders).
class WalkSink {
public:
    using Handle = std::uint32_t;
    // A folder met below `parent` (0 with an empty name: the walk's root).
    virtual Handle Enter(Handle parent, const wchar_t* name, std::size_t length) = 0;
    // Its subtree is walked: its numbers, or `listed` false when it could not be listed.
    virtual void Done(Handle folder, const FolderTotals& totals, bool listed) = 0;
    // It was listed as one of its own ancestors: it counts nowhere.
    virtual void Drop(Handle folder) = 0;

protected:
    ~WalkSink() = default;
};

// Takes the files a walk meets, folder by folder.
class FileSink {
public:
    // A file (not a folder) of the listed folder `folder` (extended form as the walk lists
    // it, ending in "\"). Only folders whose entries count are told: not a listing that
    // turns out to be one of its ancestors', nor the root reached through a link back.
    virtual void File(const std::wstring& folder, const DirectoryEntry& entry) = 0;

protected:
    ~FileSink() = default;
};


// Sums and counts everything below `root` (extended form). Every entry's size is added,
// folders and "." and ".." included. A folder is counted in its parent and then listed,
// except:
// - a directory link (a name-surrogate reparse point, or a reparse point without a valid
//   tag, as which Wine shows Unix links) is counted but not entered;
// - a folder whose listing is not on this machine (recall on open) is counted only;
// - a folder that is one of its own ancestors (a link not marked as one) is not entered
//   again: told by the file ids of the listing, or, where the listing gives none, by
//   a listing equal to an ancestor's that SameFolder confirms (its entries then count
//   nowhere);
// - a folder whose path would pass the system's limit is counted only.
// The folders above `root` count as its ancestors too (by their ids from Identify), so
// that a walk of a folder deep down counts what the walk of its drive counts for it.
// A folder that cannot be listed adds nothing but its count in the parent. A listing that
// breaks off ends the walk: its numbers are not whole.
// With `keep`, every folder listed is handed to it with its own numbers; with `files`,
// every file of the folders whose entries count, once the folder's listing is whole.
struct WalkOutcome {
    // Whole; NotListable or Gone (the root itself); BrokeOff (a listing below it broke off
    // or a folder below it went while it was walked: its numbers would be of no one time).
    Listing listing = Listing::NotListable;
    bool loop = false; // the root is one of the folders above it (reached through a link)
};
FolderTotals WalkTree(const std::wstring& root, DirectoryLister& lister, WalkSink* keep = nullptr,
                      WalkOutcome* outcome = nullptr, FileSink* files = nullptr);

// One listing of `folder` by itself: its own numbers as a walk counts them ("." and ".."
// and files summed, files and folders counted) and the subfolders a walk would enter
// (not those that are the folder itself or one above it). `loop`: the folder is one of
// the folders above it (reached through a link).
Listing ListOwn(const std::wstring& folder, DirectoryLister& lister, FolderTotals& own,
                std::vector<std::wstring>& subfolders, bool* loop = nullptr);

} // namespace rb
