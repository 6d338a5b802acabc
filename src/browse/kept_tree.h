// The totals of every folder a walk passed, kept so that any level below a walked folder
// shows its values without a new listing, and adjusted when one folder is listed again.
#pragma once

#include "columns/tree_walk.h"
#include "common/spin_lock.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace rb {

// The memory a dialog's kept folders live in: its tree's, and those of the walks that
// build trees on the worker's thread to be grafted into it (linked in, not copied). The
// bytes of the folders kept in it are counted as the walks grow; past `limit`, walks keep
// sums only.
class KeptStore {
public:
    explicit KeptStore(std::size_t limit = ~std::size_t{0});
    ~KeptStore();
    KeptStore(const KeptStore&) = delete;
    KeptStore& operator=(const KeptStore&) = delete;
    std::size_t Bytes() const { return bytes_.load(std::memory_order_relaxed); }
    std::size_t Limit() const { return limit_; }
    std::size_t Held() const; // bytes of the chunks, records and free room alike

private:
    friend class KeptTree;
    using Handle = std::uint32_t;
    // Records in chunks, named by handles: the chunk's number, then the record's place in
    // it in units of 8 bytes. Handle 0 is never given out. Freed records are kept by size
    // for the next of that size. Any thread may allocate and free; a record is read only
    // by the thread that holds its tree.
    static constexpr unsigned kUnitBits = 17; // a chunk of at most 1 MB
    static constexpr std::uint32_t kMaxUnits = std::uint32_t{1} << kUnitBits;
    static constexpr std::size_t kMaxChunks = 2048;
    void* At(Handle handle) const {
        return chunks_[handle >> kUnitBits].load(std::memory_order_acquire) + (handle & (kMaxUnits - 1));
    }
    Handle Allocate(std::uint32_t units); // throws std::bad_alloc
    void Release(Handle handle, std::uint32_t units);
    void Free(Handle handle, std::uint32_t units);
    void GiveBack(); // every chunk, once no record is left

    const std::size_t limit_;
    std::atomic<std::size_t> bytes_{0};
    std::atomic<std::uint64_t*> chunks_[kMaxChunks] = {};
    std::uint32_t sizes_[kMaxChunks] = {}; // of each chunk, in units
    std::size_t count_ = 0;               // chunks made
    std::uint32_t used_ = 0;              // units of the last chunk
    std::vector<Handle> free_;
    mutable SpinLock lock_;
};

// About 100 MB in a 32-bit Explorer, four times that in a 64-bit one.
constexpr std::size_t kKeptBytesLimit = sizeof(void*) == 4 ? std::size_t{100} << 20
                                                           : std::size_t{400} << 20;

// Folders by their extended path ("\\?\C:\a\b", no trailing "\"), names compared as the
// file system compares them. One thread at a time.
//
// What holds after every operation (Check verifies it):
// - A folder's numbers are its own (what its own listing counts: its files and their
//   bytes, its subfolder entries, "." and "..") plus those of each of its counted
//   subfolders that is whole. Counted are all subfolders but those kept "apart" (a link's
//   or a loop's target the parent's listing does not enter, shown for its row only).
// - Listed: its own listing is in its numbers. Whole: listed, and every counted subfolder
//   is whole; `pending` is the number of counted subfolders that are not. Only whole
//   folders have a value; a folder that is not whole holds back every folder above it.
// - A folder that is not listed owns nothing: its numbers are the sum of its whole
//   subfolders, and it is never whole (a place above walked folders, or one whose walk
//   broke off, to be listed when shown).
// - Awaited: came in after its parent was listed and waits for its walk; it has no
//   numbers and no subfolders, and holds its parent back like any part.
// - Summed: whole, with its numbers from a walk, but its subfolders are not kept (given
//   up to the memory bound): a change below it walks it again.
// - Unlistable: listed but refused; whole, zero, no subfolders counted.
// - Names are unique among siblings; Folders() and Bytes() count every folder kept.
class KeptTree : public WalkSink {
public:
    // Kept in `store` (a store of its own without one).
    explicit KeptTree(std::shared_ptr<KeptStore> store = nullptr);
    ~KeptTree();
    KeptTree(const KeptTree&) = delete;
    KeptTree& operator=(const KeptTree&) = delete;
    KeptTree(KeptTree&& other) noexcept;
    KeptTree& operator=(KeptTree&& other) noexcept;

    // Known: `totals` are its numbers. Failed: it could not be listed (no value).
    // Unknown: not kept, or not whole yet.
    enum class Value { Known, Failed, Unknown };
    Value Of(const std::wstring& path, FolderTotals& totals) const;
    bool Totals(const std::wstring& path, FolderTotals& totals) const {
        return Of(path, totals) == Value::Known;
    }

    // What has to be listed or walked.
    struct Next {
        std::vector<std::wstring> walks;    // whole walks
        std::vector<std::wstring> listings; // listings of one folder by itself
    };
    // What a folder needs to show its numbers.
    Next Resolve(const std::wstring& path) const;
    // The summed folder `path` lies below (whose walk stands for one of it), or empty.
    std::wstring SummedAbove(const std::wstring& path) const;
    // What a change of the entries of `folder` needs: a listing of the nearest folder
    // whose own listing counts (it or one above it), or a walk of the summed one.
    Next Changed(const std::wstring& folder) const;

    // Where a walk's folder goes when the listing of the folder above does not count it
    // (it came or went since): nowhere, or kept apart for its own value (a row shows it).
    enum class Place { Counted, Row };
    // The walk of `path` (a tree whose one folder Enter made first) takes the place of what
    // was kept there; the folders above count it. Below a summed folder nothing is
    // grafted: `Next` names that folder's walk.
    Next Graft(const std::wstring& path, KeptTree&& walked, Place place = Place::Row);
    // `path` listed again by itself: its own entries (`own`: "." and ".." and files summed,
    // files and folders counted) and the subfolders a walk enters. Gone subfolders go; new
    // ones are awaited (named in `walks`), those partly known named in `listings`.
    // `listed` false: it could not be listed (it counts nothing, and has no value).
    Next Relisted(const std::wstring& path, bool listed, const FolderTotals& own,
                  const std::vector<std::wstring>& subfolders);
    // A walk or listing of `path` broke off: it and every folder above it have no value
    // until it is listed again; what was kept below it goes.
    void Abandon(const std::wstring& path);
    // A folder renamed within its parent keeps its numbers under the new name. False when
    // it cannot (moved to another parent: the caller forgets it and lists both again).
    bool Rename(const std::wstring& from, const std::wstring& to);
    // F5: the folder's numbers and everything below it go; it is listed again when shown.
    void Forget(const std::wstring& path);
    // The folder was removed (or moved away): it goes, and its entry and numbers leave
    // those of the folders above it as their listings now have them.
    void Remove(const std::wstring& path);
    // A link's place: what is kept below it counts nowhere above it.
    void KeepApart(const std::wstring& path);
    // Every folder kept apart goes, with all below it (looked at again when shown); their
    // paths.
    std::vector<std::wstring> ForgetApart();
    // Everything goes.
    void Clear();

    // The folder is shown (it, those above it and its subfolders count as most recently
    // shown).
    void Touch(const std::wstring& path);
    // Past `limit` bytes, the least recently shown whole folders give up their subfolders
    // (they keep their numbers) until 90 % of it remain; `keep`, those above it and its own
    // subfolders stay.
    void Trim(std::size_t limit, const std::wstring& keep);

    std::size_t Folders() const { return count_; }
    // Changes whenever a folder is kept, given up or its numbers move.
    std::uint32_t Version() const { return version_; }
    std::size_t Bytes() const { return bytes_; }
    // The bytes of one kept folder beside its name.
    static std::size_t HeaderBytes();
    // Whether everything stated above holds; `why` says what does not.
    bool Check(std::string& why) const;
    // Every kept folder with its path and value.
    void ForEach(const std::function<void(const std::wstring& path, Value value,
                                          const FolderTotals& totals)>& visit) const;
    // The paths of the whole folders that lie below no other whole one (the trees worth
    // keeping), those kept apart left out.
    std::vector<std::wstring> WholeTops() const;

    // A whole folder as Visit hands it over.
    struct Visited {
        const wchar_t* name; // the root's as kept (its path's last name), then each name
        std::size_t length;
        std::size_t depth;      // 0 for the folder asked for
        Value value;            // Known or Failed
        FolderTotals totals;    // zero when Failed
        std::size_t subfolders; // counted subfolders, handed over next (each with its own)
        bool summed;            // its subfolders are not kept
    };
    // The whole folder `path` and every folder counted below it, each before its
    // subfolders. False when `path` has no value.
    bool Visit(const std::wstring& path, const std::function<void(const Visited&)>& visit) const;

    // While a walk builds a tree of its own. Past the budget, a folder two levels or more
    // below the walk's root keeps no subfolders (it is summed).
    Handle Enter(Handle parent, const wchar_t* name, std::size_t length) override;
    void Done(Handle folder, const FolderTotals& totals, bool listed) override;
    void Drop(Handle folder) override;
    // A folder Done made gives up its subfolders and keeps its numbers, as one summed past
    // the budget (a tree read back from a file where it was summed).
    void Summed(Handle folder);

private:
    struct Node;
    using Part = std::pair<const wchar_t*, std::size_t>;

    Node& At(Handle folder) const;
    std::wstring NameOf(Handle folder) const;
    // Each kept folder with its path, roots first; `visit` returns whether to go below it.
    void WalkPaths(const std::function<bool(Handle, const std::wstring&)>& visit) const;
    bool Named(Handle folder, const wchar_t* name, std::size_t length) const;
    Handle Child(Handle parent, const wchar_t* name, std::size_t length) const;
    Handle Find(const std::wstring& path) const;
    // The deepest folder kept at or above `path` and how many of its parts it covers.
    Handle Deepest(const std::vector<Part>& parts, std::size_t& covered) const;
    Handle Make(const wchar_t* name, std::size_t length);
    void Link(Handle parent, Handle folder);
    void Unlink(Handle folder);
    void Free(Handle folder); // and everything below it
    void FreeChildren(Handle folder);
    // Places for `path` down from what is kept; the first one made below a listed folder is
    // kept apart.
    Handle FindOrMake(const std::vector<Part>& parts);
    void Propagate(Handle folder, bool wasWhole, const FolderTotals& before);
    Handle CopyFrom(const KeptTree& other, Handle root, const Part& name);
    // A record of this tree given back to the store.
    void Dispose(Handle folder);

    std::shared_ptr<KeptStore> store_;
    Handle roots_ = 0; // drives and shares, and the roots of walks
    std::size_t count_ = 0;
    std::size_t bytes_ = 0;
    std::size_t apart_ = 0; // folders kept apart
    std::uint32_t version_ = 0;
    std::uint32_t clock_ = 0;
    // Subfolders of folders with many, by the hash of their folded names; made when a
    // lookup first goes through many.
    mutable std::unordered_map<Handle, std::unordered_multimap<std::uint64_t, Handle>> index_;
};

} // namespace rb
