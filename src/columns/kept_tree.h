// The totals of every folder a walk passed, kept so that any level below a walked folder
// shows its values without a new listing, and adjusted when one folder is listed again.
#pragma once

#include "columns/tree_walk.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rb {

struct KeptFolder;

// How many folders a tree keeps before it gives up those least recently shown.
constexpr std::size_t kKeptFoldersLimit = 2000000;

// Folders by their extended path ("\\?\C:\a\b", no trailing "\"), names compared without
// regard to the case of A to Z. Every folder's numbers are its own listing plus those of
// its whole subfolders; a folder is whole once its own listing and every subfolder are.
// One thread only.
class KeptTree {
public:
    KeptTree() = default;
    ~KeptTree();
    KeptTree(const KeptTree&) = delete;
    KeptTree& operator=(const KeptTree&) = delete;
    KeptTree(KeptTree&& other) noexcept;
    KeptTree& operator=(KeptTree&& other) noexcept;

    // The folder's numbers; false unless it is whole and could be listed.
    bool Totals(const std::wstring& path, FolderTotals& totals) const;
    // Known: `totals` are its numbers. Failed: it could not be listed (no value).
    // Unknown: not kept, or not whole yet.
    enum class Value { Known, Failed, Unknown };
    Value Of(const std::wstring& path, FolderTotals& totals) const;
    // F5: the folder and everything below it are walked again when asked for; the
    // folders above it are not whole until then.
    void Forget(const std::wstring& path);
    // Whether a walk or a listing of it is awaited (a folder that came in since).
    bool Awaited(const std::wstring& path) const;

    // The walk of `path` (a tree from WalkTree with one root) takes the place of what was
    // kept there; the folders above it count it.
    void Graft(const std::wstring& path, KeptTree&& walked);

    // What a new listing of one folder needs next.
    struct Next {
        std::vector<std::wstring> walks;    // subfolders new to the tree: whole walks
        std::vector<std::wstring> listings; // subfolders partly known: their own listing
    };
    // `path` listed again by itself: its own entries (`own`: "." and ".." and files
    // summed, files and folders counted) and its subfolders that a walk enters. Gone
    // subfolders go; new ones count nothing until their walk is grafted. `listed` false:
    // it could not be listed (it counts nothing, and has no value).
    Next Relisted(const std::wstring& path, bool listed, const FolderTotals& own,
                  const std::vector<std::wstring>& subfolders);
    // A folder renamed within its parent keeps its numbers under the new name.
    bool Rename(const std::wstring& from, const std::wstring& to);
    // The deepest folder kept at or above `path`, when its own listing is counted (a
    // change there moves numbers); empty otherwise.
    std::wstring Nearest(const std::wstring& path) const;
    // What a folder's own listing and its parts would need to become whole.
    Next Resolve(const std::wstring& path) const;

    // The folder is shown (it and those above it count as most recently shown).
    void Touch(const std::wstring& path);
    // Past `limit` folders, the least recently shown subtrees are given up (their root
    // keeps its numbers) until 90 % of it remain; `keep`'s own subfolders stay.
    void Trim(std::size_t limit, const std::wstring& keep);

    std::size_t Folders() const { return count_; }
    // The bytes of one kept folder beside its name (the allocator's own apart).
    static std::size_t BytesPerFolder();

    // Used by the walk while it builds a tree (WalkTree).
    KeptFolder* AddFolder(KeptFolder* parent, const wchar_t* name, std::size_t length);
    void SetWalked(KeptFolder* folder, const FolderTotals& totals, bool listed);
    void DropFolder(KeptFolder* folder); // one that counts nowhere (listed as an ancestor)

private:
    KeptFolder* Find(const std::wstring& path) const;
    KeptFolder* FindOrMake(const std::wstring& path);
    KeptFolder* Child(const KeptFolder* parent, const wchar_t* name, std::size_t length) const;
    void Unlink(KeptFolder* folder);
    void Free(KeptFolder* folder); // and everything below it
    void Propagate(KeptFolder* folder, bool wasWhole, const FolderTotals& before);
    void Clear();

    KeptFolder* roots_ = nullptr; // drives and shares, and the roots of walks
    std::size_t count_ = 0;
    std::uint32_t clock_ = 0;
};

} // namespace rb
