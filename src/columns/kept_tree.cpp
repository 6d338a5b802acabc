#include "columns/kept_tree.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_set>
#include <utility>

namespace rb {

// 56 bytes on 64-bit systems (40 on 32-bit) and the name right behind.
struct KeptFolder {
    KeptFolder* parent;
    KeptFolder* child; // the first
    KeptFolder* next;  // the next of the same parent
    std::uint64_t size;
    std::uint32_t folders;
    std::uint32_t files;
    std::uint32_t pending; // subfolders of the own listing that are not whole yet
    std::uint32_t shown;   // when it or a folder below it was last shown
    std::uint16_t length;
    std::uint8_t flags;
    std::uint8_t unused;
    wchar_t name[1];

    static constexpr std::uint8_t kOwnListed = 1; // its own listing is counted
    static constexpr std::uint8_t kWhole = 2;
    static constexpr std::uint8_t kUnlistable = 4;
    static constexpr std::uint8_t kAwaited = 8; // counts nothing until its walk comes

    bool Whole() const { return (flags & kWhole) != 0; }
    FolderTotals Totals() const {
        FolderTotals totals;
        totals.size = size;
        totals.folders = folders;
        totals.files = files;
        totals.whole = Whole();
        return totals;
    }
};

namespace {

using Part = std::pair<const wchar_t*, std::size_t>;

// The drive or share first ("\\?\C:", "\\?\UNC\server\share"), then each name.
std::vector<Part> Split(const std::wstring& path) {
    std::vector<Part> parts;
    std::size_t end;
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
        end = path.find(L'\\', 8);
        end = end == std::wstring::npos ? end : path.find(L'\\', end + 1);
    } else {
        end = path.find(L'\\', path.compare(0, 4, L"\\\\?\\") == 0 ? 4 : 0);
    }
    if (end == std::wstring::npos)
        end = path.size();
    if (end > 0)
        parts.emplace_back(path.c_str(), end);
    for (std::size_t start = end + 1; start < path.size();) {
        std::size_t stop = path.find(L'\\', start);
        if (stop == std::wstring::npos)
            stop = path.size();
        if (stop > start)
            parts.emplace_back(path.c_str() + start, stop - start);
        start = stop + 1;
    }
    return parts;
}

wchar_t Fold(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool SameName(const KeptFolder* folder, const wchar_t* name, std::size_t length) {
    if (folder->length != length)
        return false;
    for (std::size_t i = 0; i < length; ++i)
        if (Fold(folder->name[i]) != Fold(name[i]))
            return false;
    return true;
}

std::wstring Key(const wchar_t* name, std::size_t length) {
    std::wstring key(name, length);
    for (wchar_t& c : key)
        c = Fold(c);
    return key;
}

KeptFolder* Make(const wchar_t* name, std::size_t length) {
    if (length > 0xFFFF)
        length = 0xFFFF;
    void* memory = std::malloc(offsetof(KeptFolder, name) + (length + 1) * sizeof(wchar_t));
    if (!memory)
        throw std::bad_alloc();
    auto* folder = static_cast<KeptFolder*>(memory);
    std::memset(folder, 0, offsetof(KeptFolder, name));
    folder->length = static_cast<std::uint16_t>(length);
    std::memcpy(folder->name, name, length * sizeof(wchar_t));
    folder->name[length] = 0;
    return folder;
}

void Subtract(KeptFolder* folder, const FolderTotals& totals) {
    folder->size -= totals.size;
    folder->folders -= static_cast<std::uint32_t>(totals.folders);
    folder->files -= static_cast<std::uint32_t>(totals.files);
}

void AddTo(KeptFolder* folder, const FolderTotals& totals) {
    folder->size += totals.size;
    folder->folders += static_cast<std::uint32_t>(totals.folders);
    folder->files += static_cast<std::uint32_t>(totals.files);
}

} // namespace

KeptTree::~KeptTree() {
    Clear();
}

KeptTree::KeptTree(KeptTree&& other) noexcept
    : roots_(other.roots_), count_(other.count_), clock_(other.clock_) {
    other.roots_ = nullptr;
    other.count_ = 0;
}

KeptTree& KeptTree::operator=(KeptTree&& other) noexcept {
    if (this != &other) {
        Clear();
        std::swap(roots_, other.roots_);
        std::swap(count_, other.count_);
        clock_ = other.clock_;
    }
    return *this;
}

void KeptTree::Clear() {
    while (roots_) {
        KeptFolder* root = roots_;
        Unlink(root);
        Free(root);
    }
}

std::size_t KeptTree::BytesPerFolder() {
    return offsetof(KeptFolder, name);
}

KeptFolder* KeptTree::Child(const KeptFolder* parent, const wchar_t* name,
                            std::size_t length) const {
    for (KeptFolder* child = parent ? parent->child : roots_; child; child = child->next)
        if (SameName(child, name, length))
            return child;
    return nullptr;
}

KeptFolder* KeptTree::Find(const std::wstring& path) const {
    KeptFolder* folder = nullptr;
    for (const Part& part : Split(path))
        if (!(folder = Child(folder, part.first, part.second)))
            return nullptr;
    return folder;
}

KeptFolder* KeptTree::FindOrMake(const std::wstring& path) {
    KeptFolder* folder = nullptr;
    for (const Part& part : Split(path)) {
        KeptFolder* child = Child(folder, part.first, part.second);
        if (!child) {
            child = AddFolder(folder, part.first, part.second);
            if (folder && (folder->flags & KeptFolder::kOwnListed)) {
                // A folder its parent's listing did not have: it counts as soon as its
                // walk comes, and nothing before.
                child->flags = KeptFolder::kWhole | KeptFolder::kAwaited;
            }
        }
        folder = child;
    }
    return folder;
}

KeptFolder* KeptTree::AddFolder(KeptFolder* parent, const wchar_t* name, std::size_t length) {
    KeptFolder* folder = Make(name, length);
    folder->parent = parent;
    KeptFolder*& first = parent ? parent->child : roots_;
    folder->next = first;
    first = folder;
    ++count_;
    return folder;
}

void KeptTree::SetWalked(KeptFolder* folder, const FolderTotals& totals, bool listed) {
    folder->size = totals.size;
    folder->folders = static_cast<std::uint32_t>(totals.folders);
    folder->files = static_cast<std::uint32_t>(totals.files);
    folder->flags = KeptFolder::kOwnListed | KeptFolder::kWhole |
                    (listed ? 0 : KeptFolder::kUnlistable);
    folder->pending = 0;
}

void KeptTree::DropFolder(KeptFolder* folder) {
    Unlink(folder);
    Free(folder);
}

void KeptTree::Unlink(KeptFolder* folder) {
    KeptFolder** link = folder->parent ? &folder->parent->child : &roots_;
    while (*link && *link != folder)
        link = &(*link)->next;
    if (*link)
        *link = folder->next;
    folder->parent = folder->next = nullptr;
}

void KeptTree::Free(KeptFolder* folder) {
    // Without recursion: a tree may be as deep as paths are long.
    KeptFolder* stack = folder;
    folder->next = nullptr;
    while (stack) {
        KeptFolder* top = stack;
        stack = top->next;
        for (KeptFolder* child = top->child; child;) {
            KeptFolder* following = child->next;
            child->next = stack;
            stack = child;
            child = following;
        }
        std::free(top);
        --count_;
    }
}

void KeptTree::Propagate(KeptFolder* folder, bool wasWhole, const FolderTotals& before) {
    // A parent's numbers hold those of its whole subfolders; a change goes up as far as
    // folders are whole before or after it.
    FolderTotals old = before;
    while (KeptFolder* parent = folder->parent) {
        const bool isWhole = folder->Whole();
        const bool parentWasWhole = parent->Whole();
        const FolderTotals parentBefore = parent->Totals();
        if (wasWhole)
            Subtract(parent, old);
        if (isWhole)
            AddTo(parent, folder->Totals());
        if (parent->flags & KeptFolder::kOwnListed) {
            if (wasWhole && !isWhole)
                ++parent->pending;
            else if (!wasWhole && isWhole && parent->pending > 0)
                --parent->pending;
            parent->flags = static_cast<std::uint8_t>(
                (parent->flags & ~KeptFolder::kWhole) | (parent->pending == 0 ? KeptFolder::kWhole : 0));
        }
        if (!parentWasWhole && !parent->Whole())
            return;
        folder = parent;
        wasWhole = parentWasWhole;
        old = parentBefore;
    }
}

bool KeptTree::Totals(const std::wstring& path, FolderTotals& totals) const {
    const KeptFolder* folder = Find(path);
    if (!folder || !folder->Whole() || (folder->flags & KeptFolder::kUnlistable) ||
        (folder->flags & KeptFolder::kAwaited))
        return false;
    totals = folder->Totals();
    return true;
}

std::wstring KeptTree::Nearest(const std::wstring& path) const {
    const KeptFolder* folder = nullptr;
    std::size_t end = 0;
    for (const Part& part : Split(path)) {
        const KeptFolder* child = Child(folder, part.first, part.second);
        if (!child)
            break;
        folder = child;
        end = static_cast<std::size_t>(part.first - path.c_str()) + part.second;
    }
    return folder && (folder->flags & KeptFolder::kOwnListed) ? path.substr(0, end) : std::wstring();
}

KeptTree::Value KeptTree::Of(const std::wstring& path, FolderTotals& totals) const {
    if (Totals(path, totals))
        return Value::Known;
    const KeptFolder* folder = Find(path);
    return folder && folder->Whole() && (folder->flags & KeptFolder::kUnlistable) ? Value::Failed
                                                                                 : Value::Unknown;
}

void KeptTree::Forget(const std::wstring& path) {
    KeptFolder* folder = Find(path);
    if (!folder)
        return;
    const bool wasWhole = folder->Whole();
    const FolderTotals before = folder->Totals();
    while (KeptFolder* child = folder->child) {
        Unlink(child);
        Free(child);
    }
    folder->size = 0;
    folder->folders = folder->files = folder->pending = 0;
    folder->flags = 0;
    Propagate(folder, wasWhole, before);
}

bool KeptTree::Awaited(const std::wstring& path) const {
    const KeptFolder* folder = Find(path);
    return folder && (folder->flags & KeptFolder::kAwaited);
}

void KeptTree::Graft(const std::wstring& path, KeptTree&& walked) {
    KeptFolder* root = walked.roots_;
    std::vector<Part> parts = Split(path);
    if (!root || root->next || parts.empty())
        return;
    // What can fail to allocate first: until then the walked tree keeps its folders.
    KeptFolder* old = FindOrMake(path);
    KeptFolder* parent = old->parent;
    // The walked root takes the old folder's name and place.
    KeptFolder* named = Make(parts.back().first, parts.back().second);
    walked.roots_ = nullptr;
    count_ += walked.count_;
    walked.count_ = 0;
    const std::uint16_t length = named->length;
    std::memcpy(named, root, offsetof(KeptFolder, name));
    named->length = length;
    for (KeptFolder* child = named->child; child; child = child->next)
        child->parent = named;
    std::free(root);
    const bool wasWhole = old->Whole();
    const FolderTotals before = old->Totals();
    named->shown = old->shown;
    Unlink(old);
    Free(old);
    named->parent = parent;
    KeptFolder*& first = parent ? parent->child : roots_;
    named->next = first;
    first = named;
    Propagate(named, wasWhole, before);
}

KeptTree::Next KeptTree::Relisted(const std::wstring& path, bool listed, const FolderTotals& own,
                                  const std::vector<std::wstring>& subfolders) {
    Next next;
    KeptFolder* folder = FindOrMake(path);
    if (!folder)
        return next;
    const bool wasWhole = folder->Whole();
    const FolderTotals before = folder->Totals();
    std::unordered_set<std::wstring> names;
    if (listed)
        for (const std::wstring& name : subfolders)
            names.insert(Key(name.c_str(), name.size()));
    // Subfolders that went go with their numbers.
    for (KeptFolder* child = folder->child; child;) {
        KeptFolder* following = child->next;
        if (!names.count(Key(child->name, child->length))) {
            Unlink(child);
            Free(child);
        }
        child = following;
    }
    folder->size = listed ? own.size : 0;
    folder->folders = listed ? static_cast<std::uint32_t>(own.folders) : 0;
    folder->files = listed ? static_cast<std::uint32_t>(own.files) : 0;
    folder->pending = 0;
    folder->flags = static_cast<std::uint8_t>(KeptFolder::kOwnListed |
                                              (listed ? 0 : KeptFolder::kUnlistable));
    std::wstring base = path;
    if (!base.empty() && base.back() != L'\\')
        base += L'\\';
    for (const std::wstring& name : subfolders) {
        if (!listed)
            break;
        KeptFolder* child = Child(folder, name.c_str(), name.size());
        if (!child) {
            // A folder that came into one whole before counts nothing until its walk
            // comes, and the numbers above it stay shown; in one resolved for the first
            // time, it is awaited like any part.
            child = AddFolder(folder, name.c_str(), name.size());
            child->flags = static_cast<std::uint8_t>(KeptFolder::kAwaited | (wasWhole ? KeptFolder::kWhole : 0));
            if (!wasWhole)
                ++folder->pending;
            next.walks.push_back(base + name);
        } else if (!child->Whole()) {
            ++folder->pending;
            next.listings.push_back(base + name);
        }
        if (child->Whole())
            AddTo(folder, child->Totals());
    }
    if (folder->pending == 0)
        folder->flags |= KeptFolder::kWhole;
    Propagate(folder, wasWhole, before);
    return next;
}

KeptTree::Next KeptTree::Resolve(const std::wstring& path) const {
    Next next;
    const KeptFolder* folder = Find(path);
    if (!folder || (folder->flags & KeptFolder::kAwaited))
        next.walks.push_back(path);
    else if (!folder->Whole())
        next.listings.push_back(path);
    return next;
}

bool KeptTree::Rename(const std::wstring& from, const std::wstring& to) {
    KeptFolder* folder = Find(from);
    std::vector<Part> parts = Split(to);
    if (!folder || parts.empty())
        return false;
    std::wstring parentFrom = from.substr(0, from.find_last_of(L'\\'));
    std::wstring parentTo = to.substr(0, to.find_last_of(L'\\'));
    if (Find(parentFrom) != Find(parentTo) || Child(folder->parent, parts.back().first, parts.back().second))
        return false;
    KeptFolder* renamed = Make(parts.back().first, parts.back().second);
    const std::uint16_t length = renamed->length;
    std::memcpy(renamed, folder, offsetof(KeptFolder, name));
    renamed->length = length;
    KeptFolder** link = folder->parent ? &folder->parent->child : &roots_;
    while (*link != folder)
        link = &(*link)->next;
    *link = renamed;
    for (KeptFolder* child = renamed->child; child; child = child->next)
        child->parent = renamed;
    std::free(folder);
    return true;
}

void KeptTree::Touch(const std::wstring& path) {
    ++clock_;
    for (KeptFolder* folder = Find(path); folder; folder = folder->parent)
        folder->shown = clock_;
    if (KeptFolder* folder = Find(path))
        for (KeptFolder* child = folder->child; child; child = child->next)
            child->shown = clock_;
}

void KeptTree::Trim(std::size_t limit, const std::wstring& keep) {
    if (count_ <= limit)
        return;
    Touch(keep);
    // Whole folders with subfolders, the least recently shown first and of those the
    // highest: giving one up frees everything below it, all shown no later than it.
    struct Candidate {
        std::uint32_t shown;
        std::uint32_t depth;
        KeptFolder* folder;
    };
    std::vector<Candidate> candidates;
    std::vector<std::pair<KeptFolder*, std::uint32_t>> stack;
    for (KeptFolder* root = roots_; root; root = root->next)
        stack.emplace_back(root, 0);
    while (!stack.empty()) {
        auto [folder, depth] = stack.back();
        stack.pop_back();
        if (folder->child && folder->Whole() && folder->shown != clock_)
            candidates.push_back({folder->shown, depth, folder});
        for (KeptFolder* child = folder->child; child; child = child->next)
            stack.emplace_back(child, depth + 1);
    }
    std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        return a.shown != b.shown ? a.shown < b.shown : a.depth < b.depth;
    });
    const std::size_t target = limit - limit / 10;
    std::unordered_set<KeptFolder*> given;
    for (const Candidate& candidate : candidates) {
        if (count_ <= target)
            break;
        // One below a folder given up already went with it.
        bool gone = false;
        for (KeptFolder* above = candidate.folder->parent; above && !gone; above = above->parent)
            gone = given.count(above) != 0;
        if (gone)
            continue;
        given.insert(candidate.folder);
        while (KeptFolder* child = candidate.folder->child) {
            Unlink(child);
            Free(child);
        }
    }
}

} // namespace rb
