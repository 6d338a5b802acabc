#include "browse/kept_tree.h"

#include "common/name_fold.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <set>
#include <unordered_set>
#include <utility>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
// A record given back is poisoned, so that a read of a folder that was freed is caught as
// it would be with the allocator's own blocks.
#define RB_POISON(at, bytes) ASAN_POISON_MEMORY_REGION(at, bytes)
#define RB_UNPOISON(at, bytes) ASAN_UNPOISON_MEMORY_REGION(at, bytes)
#else
#define RB_POISON(at, bytes) ((void)(at), (void)(bytes))
#define RB_UNPOISON(at, bytes) ((void)(at), (void)(bytes))
#endif

namespace rb {

// 40 bytes on every system, and the name right behind: one byte a character where all of
// them fit, else two.
struct KeptTree::Node {
    std::uint64_t size;
    std::uint32_t folders;
    std::uint32_t files;
    Handle parent;
    Handle child; // the first
    Handle next;  // the next of the same parent
    std::uint32_t pending; // counted subfolders that are not whole
    std::uint32_t shown;   // when it or a folder below it was last shown
    std::uint16_t length;
    std::uint8_t flags;
    std::uint8_t wide;

    static constexpr std::uint8_t kListed = 1; // its own listing is in its numbers
    static constexpr std::uint8_t kWhole = 2;
    static constexpr std::uint8_t kUnlistable = 4;
    static constexpr std::uint8_t kAwaited = 8;
    static constexpr std::uint8_t kSummed = 16;
    static constexpr std::uint8_t kApart = 32; // counts nowhere above
    static constexpr std::uint8_t kMark = 64;  // Trim's, for one call

    bool Is(std::uint8_t flag) const { return (flags & flag) != 0; }
    bool Whole() const { return Is(kWhole); }
    FolderTotals Totals() const {
        FolderTotals totals;
        totals.size = size;
        totals.folders = folders;
        totals.files = files;
        totals.whole = Whole();
        return totals;
    }
    void SetWhole(bool whole) {
        flags = static_cast<std::uint8_t>(whole ? flags | kWhole : flags & ~kWhole);
    }
    void Add(const FolderTotals& totals) {
        size += totals.size;
        folders += static_cast<std::uint32_t>(totals.folders);
        files += static_cast<std::uint32_t>(totals.files);
    }
    void Subtract(const FolderTotals& totals) {
        size -= totals.size;
        folders -= static_cast<std::uint32_t>(totals.folders);
        files -= static_cast<std::uint32_t>(totals.files);
    }
    void Zero() {
        size = 0;
        folders = files = pending = 0;
    }
    const unsigned char* Name() const { return reinterpret_cast<const unsigned char*>(this + 1); }
    unsigned char* Name() { return reinterpret_cast<unsigned char*>(this + 1); }
    wchar_t NameAt(std::size_t i) const {
        if (!wide)
            return static_cast<wchar_t>(Name()[i]);
        std::uint16_t c; // two bytes, whatever a wchar_t holds
        std::memcpy(&c, Name() + 2 * i, sizeof c);
        return static_cast<wchar_t>(c);
    }
    static std::uint32_t Units(std::size_t length, bool wide) {
        return static_cast<std::uint32_t>((sizeof(Node) + length * (wide ? 2 : 1) + 7) / 8);
    }
    std::uint32_t Units() const { return Units(length, wide != 0); }
};

KeptStore::KeptStore(std::size_t limit) : limit_(limit) {
    for (auto& chunk : chunks_)
        chunk.store(nullptr, std::memory_order_relaxed);
}

KeptStore::~KeptStore() {
    GiveBack();
}

// Under the lock, or from the destructor.
void KeptStore::GiveBack() {
    for (std::size_t chunk = 0; chunk < count_; ++chunk) {
        std::uint64_t* memory = chunks_[chunk].exchange(nullptr, std::memory_order_relaxed);
        RB_UNPOISON(memory, sizes_[chunk] * std::size_t{8});
        delete[] memory;
    }
    count_ = 0;
    used_ = 0;
    free_.clear();
}

std::size_t KeptStore::Held() const {
    ScopedSpinLock lock(lock_);
    std::size_t units = 0;
    for (std::size_t chunk = 0; chunk < count_; ++chunk)
        units += sizes_[chunk];
    return units * 8;
}

KeptStore::Handle KeptStore::Allocate(std::uint32_t units) {
    ScopedSpinLock lock(lock_);
    Handle handle;
    if (units < free_.size() && free_[units]) {
        handle = free_[units];
        RB_UNPOISON(At(handle), units * std::size_t{8});
        std::memcpy(&free_[units], At(handle), sizeof(Handle));
    } else {
        if (count_ == 0 || used_ + units > sizes_[count_ - 1]) {
            if (count_ >= kMaxChunks)
                throw std::bad_alloc();
            // Small trees stay small: chunks double from 4 KB.
            std::uint32_t size = count_ < 8 ? 512u << count_ : kMaxUnits;
            size = std::max(std::min(size, kMaxUnits), units);
            auto* memory = new std::uint64_t[size];
            // The last chunk's tail serves a record that fits it.
            if (count_ > 0 && sizes_[count_ - 1] - used_ >= 5) // the smallest record: 40 bytes
                Free(static_cast<Handle>(((count_ - 1) << kUnitBits) | used_), sizes_[count_ - 1] - used_);
            sizes_[count_] = size;
            chunks_[count_].store(memory, std::memory_order_release);
            used_ = count_ == 0 ? 1 : 0; // handle 0 is none
            ++count_;
        }
        handle = static_cast<Handle>(((count_ - 1) << kUnitBits) | used_);
        used_ += units;
    }
    bytes_.fetch_add(units * std::size_t{8}, std::memory_order_relaxed);
    return handle;
}

void KeptStore::Release(Handle handle, std::uint32_t units) {
    ScopedSpinLock lock(lock_);
    Free(handle, units);
    // The last record gone (every tree cleared): the memory goes back to Explorer, as
    // freed records serve only others of their size.
    if (bytes_.fetch_sub(units * std::size_t{8}, std::memory_order_relaxed) == units * std::size_t{8})
        GiveBack();
}

// Under the lock.
void KeptStore::Free(Handle handle, std::uint32_t units) {
    if (units >= free_.size())
        free_.resize(units + 1, 0);
    std::memcpy(At(handle), &free_[units], sizeof(Handle));
    free_[units] = handle;
    RB_POISON(static_cast<char*>(At(handle)) + sizeof(Handle), units * std::size_t{8} - sizeof(Handle));
}

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

// The path of the first `count` parts.
std::wstring Prefix(const std::wstring& path, const std::vector<Part>& parts, std::size_t count) {
    if (count == 0)
        return std::wstring();
    const Part& last = parts[count - 1];
    return path.substr(0, static_cast<std::size_t>(last.first - path.c_str()) + last.second);
}

std::wstring Below(const std::wstring& path, const std::wstring& name) {
    return path + L'\\' + name;
}

// How many of a folder's subfolders a lookup goes through before they are indexed.
constexpr std::size_t kIndexFrom = 48;

} // namespace

KeptTree::KeptTree(std::shared_ptr<KeptStore> store)
    : store_(store ? std::move(store) : std::make_shared<KeptStore>()) {}

KeptTree::~KeptTree() {
    Clear();
}

KeptTree::KeptTree(KeptTree&& other) noexcept
    : store_(other.store_), roots_(other.roots_), count_(other.count_), bytes_(other.bytes_),
      apart_(other.apart_), clock_(other.clock_), index_(std::move(other.index_)) {
    other.roots_ = 0;
    other.count_ = other.bytes_ = other.apart_ = 0;
}

KeptTree& KeptTree::operator=(KeptTree&& other) noexcept {
    if (this != &other) {
        Clear();
        store_ = other.store_;
        std::swap(roots_, other.roots_);
        std::swap(count_, other.count_);
        std::swap(bytes_, other.bytes_);
        std::swap(apart_, other.apart_);
        std::swap(clock_, other.clock_);
        std::swap(index_, other.index_);
    }
    return *this;
}

void KeptTree::Clear() {
    while (roots_) {
        const Handle root = roots_;
        roots_ = At(root).next;
        Free(root);
    }
    index_.clear();
}

std::size_t KeptTree::HeaderBytes() {
    return sizeof(Node);
}

KeptTree::Node& KeptTree::At(Handle folder) const {
    return *static_cast<Node*>(store_->At(folder));
}

std::wstring KeptTree::NameOf(Handle folder) const {
    const Node& node = At(folder);
    std::wstring name(node.length, L'\0');
    for (std::size_t i = 0; i < node.length; ++i)
        name[i] = node.NameAt(i);
    return name;
}

bool KeptTree::Named(Handle folder, const wchar_t* name, std::size_t length) const {
    const Node& node = At(folder);
    if (node.length != length)
        return false;
    for (std::size_t i = 0; i < length; ++i) {
        const wchar_t c = node.NameAt(i);
        if (c != name[i] && FoldChar(c) != FoldChar(name[i]))
            return false;
    }
    return true;
}

KeptTree::Handle KeptTree::Child(Handle parent, const wchar_t* name, std::size_t length) const {
    const std::uint64_t hash = FoldedHash(name, length);
    auto indexed = index_.find(parent);
    if (indexed != index_.end()) {
        auto range = indexed->second.equal_range(hash);
        for (auto at = range.first; at != range.second; ++at)
            if (Named(at->second, name, length))
                return at->second;
        return 0;
    }
    std::size_t seen = 0;
    Handle found = 0;
    const Handle first = parent ? At(parent).child : roots_;
    for (Handle child = first; child && !found; child = At(child).next, ++seen)
        if (Named(child, name, length))
            found = child;
    if (seen >= kIndexFrom) {
        auto& index = index_[parent];
        for (Handle child = first; child; child = At(child).next)
            index.emplace(FoldedHash(NameOf(child).c_str(), At(child).length), child);
    }
    return found;
}

KeptTree::Handle KeptTree::Deepest(const std::vector<Part>& parts, std::size_t& covered) const {
    Handle folder = 0;
    covered = 0;
    for (const Part& part : parts) {
        const Handle child = Child(folder, part.first, part.second);
        if (!child)
            break;
        folder = child;
        ++covered;
    }
    return folder;
}

KeptTree::Handle KeptTree::Find(const std::wstring& path) const {
    const std::vector<Part> parts = Split(path);
    std::size_t covered;
    const Handle folder = Deepest(parts, covered);
    return !parts.empty() && covered == parts.size() ? folder : 0;
}

KeptTree::Handle KeptTree::Make(const wchar_t* name, std::size_t length) {
    if (length > 0xFFFF)
        length = 0xFFFF;
    bool wide = false;
    for (std::size_t i = 0; i < length && !wide; ++i)
        wide = static_cast<unsigned>(name[i]) > 0xFF;
    const std::uint32_t units = Node::Units(length, wide);
    const Handle folder = store_->Allocate(units);
    Node& node = At(folder);
    std::memset(&node, 0, sizeof node);
    node.length = static_cast<std::uint16_t>(length);
    node.wide = wide ? 1 : 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (wide) {
            const auto c = static_cast<std::uint16_t>(name[i]);
            std::memcpy(node.Name() + 2 * i, &c, sizeof c);
        }
        else
            node.Name()[i] = static_cast<unsigned char>(name[i]);
    }
    ++count_;
    ++version_;
    bytes_ += units * std::size_t{8};
    return folder;
}

void KeptTree::Dispose(Handle folder) {
    Node& node = At(folder);
    if (!index_.empty())
        index_.erase(folder);
    if (node.Is(Node::kApart))
        --apart_;
    const std::uint32_t units = node.Units();
    store_->Release(folder, units);
    --count_;
    ++version_;
    bytes_ -= units * std::size_t{8};
}

void KeptTree::Link(Handle parent, Handle folder) {
    Node& node = At(folder);
    Handle& first = parent ? At(parent).child : roots_;
    node.parent = parent;
    node.next = first;
    first = folder;
    auto indexed = index_.find(parent);
    if (indexed != index_.end())
        indexed->second.emplace(FoldedHash(NameOf(folder).c_str(), node.length), folder);
}

void KeptTree::Unlink(Handle folder) {
    Node& node = At(folder);
    Handle* link = node.parent ? &At(node.parent).child : &roots_;
    while (*link && *link != folder)
        link = &At(*link).next;
    if (*link)
        *link = node.next;
    auto indexed = index_.find(node.parent);
    if (indexed != index_.end()) {
        auto range = indexed->second.equal_range(FoldedHash(NameOf(folder).c_str(), node.length));
        for (auto at = range.first; at != range.second; ++at)
            if (at->second == folder) {
                indexed->second.erase(at);
                break;
            }
    }
    node.parent = node.next = 0;
}

void KeptTree::Free(Handle folder) {
    // Without recursion: a tree may be as deep as paths are long.
    Handle stack = folder;
    At(folder).next = 0;
    while (stack) {
        const Handle top = stack;
        Node& node = At(top);
        stack = node.next;
        for (Handle child = node.child; child;) {
            const Handle following = At(child).next;
            At(child).next = stack;
            stack = child;
            child = following;
        }
        Dispose(top);
    }
}

void KeptTree::FreeChildren(Handle folder) {
    Node& node = At(folder);
    const Handle first = node.child;
    node.child = 0;
    if (!index_.empty())
        index_.erase(folder);
    for (Handle child = first; child;) {
        const Handle following = At(child).next;
        Free(child);
        child = following;
    }
}

KeptTree::Handle KeptTree::FindOrMake(const std::vector<Part>& parts) {
    Handle folder = 0;
    for (const Part& part : parts) {
        Handle child = Child(folder, part.first, part.second);
        if (!child) {
            child = Make(part.first, part.second);
            // Below a listed folder, one its listing does not count: kept apart.
            if (folder && At(folder).Is(Node::kListed)) {
                At(child).flags = Node::kApart;
                ++apart_;
            }
            Link(folder, child);
        }
        folder = child;
    }
    return folder;
}

void KeptTree::Propagate(Handle folder, bool wasWhole, const FolderTotals& before) {
    // A parent's numbers hold those of its whole counted subfolders; a change goes up as
    // far as folders are whole before or after it.
    ++version_;
    FolderTotals old = before;
    for (;;) {
        const Node& node = At(folder);
        if (node.Is(Node::kApart) || !node.parent)
            return;
        Node& parent = At(node.parent);
        const bool isWhole = node.Whole();
        const bool parentWasWhole = parent.Whole();
        const FolderTotals parentBefore = parent.Totals();
        if (wasWhole)
            parent.Subtract(old);
        if (isWhole)
            parent.Add(node.Totals());
        if (parent.Is(Node::kListed)) {
            if (wasWhole && !isWhole)
                ++parent.pending;
            else if (!wasWhole && isWhole && parent.pending > 0)
                --parent.pending;
            parent.SetWhole(parent.pending == 0);
        }
        if (!parentWasWhole && !parent.Whole())
            return;
        folder = node.parent;
        wasWhole = parentWasWhole;
        old = parentBefore;
    }
}

KeptTree::Value KeptTree::Of(const std::wstring& path, FolderTotals& totals) const {
    const Handle folder = Find(path);
    if (!folder)
        return Value::Unknown;
    const Node& node = At(folder);
    if (!node.Whole() || node.Is(Node::kAwaited))
        return Value::Unknown;
    if (node.Is(Node::kUnlistable))
        return Value::Failed;
    totals = node.Totals();
    return Value::Known;
}

KeptTree::Next KeptTree::Resolve(const std::wstring& path) const {
    Next next;
    const std::vector<Part> parts = Split(path);
    std::size_t covered;
    const Handle deep = Deepest(parts, covered);
    if (parts.empty())
        return next;
    if (covered < parts.size()) {
        // Not kept: walked, or below a summed folder that one.
        const std::wstring summed = SummedAbove(path);
        next.walks.push_back(summed.empty() ? path : summed);
        return next;
    }
    // A listed folder's own listing counts: what it waits for lies below it.
    std::vector<std::pair<Handle, std::wstring>> stack{{deep, path}};
    while (!stack.empty()) {
        const auto [folder, at] = stack.back();
        stack.pop_back();
        const Node& node = At(folder);
        if (node.Is(Node::kAwaited)) {
            next.walks.push_back(at);
        } else if (!node.Is(Node::kListed)) {
            next.listings.push_back(at);
        } else if (!node.Whole()) {
            for (Handle child = node.child; child; child = At(child).next)
                if (!At(child).Whole() && !At(child).Is(Node::kApart))
                    stack.emplace_back(child, Below(at, NameOf(child)));
        }
    }
    return next;
}

std::wstring KeptTree::SummedAbove(const std::wstring& path) const {
    const std::vector<Part> parts = Split(path);
    std::size_t covered;
    const Handle deep = Deepest(parts, covered);
    return deep && covered < parts.size() && At(deep).Is(Node::kSummed) ? Prefix(path, parts, covered)
                                                                         : std::wstring();
}

KeptTree::Next KeptTree::Changed(const std::wstring& folder) const {
    Next next;
    const std::vector<Part> parts = Split(folder);
    std::size_t covered;
    Handle at = Deepest(parts, covered);
    for (; at; at = At(at).parent, --covered) {
        const Node& node = At(at);
        if (node.Is(Node::kSummed)) {
            next.walks.push_back(Prefix(folder, parts, covered));
            break;
        }
        if (node.Is(Node::kListed)) {
            next.listings.push_back(Prefix(folder, parts, covered));
            break;
        }
    }
    return next;
}

KeptTree::Handle KeptTree::CopyFrom(const KeptTree& other, Handle root, const Part& name) {
    // The copy is made whole before anything of this tree changes: a failed allocation
    // leaves the copy to be freed and this tree as it was.
    const Handle top = Make(name.first, name.second);
    std::vector<std::pair<Handle, Handle>> stack; // other's folder, the copy's parent
    try {
        {
            Node& made = At(top);
            const Node& from = other.At(root);
            std::memcpy(&made, &from, offsetof(Node, parent));
            made.pending = from.pending;
            made.shown = from.shown;
            made.flags = from.flags;
        }
        for (Handle child = other.At(root).child; child; child = other.At(child).next)
            stack.emplace_back(child, top);
        while (!stack.empty()) {
            const auto [from, into] = stack.back();
            stack.pop_back();
            const Node& source = other.At(from);
            const std::uint32_t units = source.Units();
            const Handle made = store_->Allocate(units);
            std::memcpy(&At(made), &source, units * std::size_t{8});
            ++count_;
            bytes_ += units * std::size_t{8};
            At(made).child = 0;
            Link(into, made);
            for (Handle child = source.child; child; child = other.At(child).next)
                stack.emplace_back(child, made);
        }
    } catch (...) {
        Free(top);
        throw;
    }
    return top;
}

KeptTree::Next KeptTree::Graft(const std::wstring& path, KeptTree&& walked, Place place) {
    Next next;
    const Handle root = walked.roots_;
    const std::vector<Part> parts = Split(path);
    if (!root || walked.At(root).next || parts.empty())
        return next;
    std::size_t covered;
    const Handle deep = Deepest(parts, covered);
    if (deep && covered < parts.size() && At(deep).Is(Node::kSummed)) {
        // Its numbers hold this folder already: it is walked whole again.
        next.walks.push_back(Prefix(path, parts, covered));
        return next;
    }
    if (deep && covered < parts.size() && At(deep).Is(Node::kAwaited))
        return next; // the walk awaited there brings it
    if (place == Place::Counted && deep && covered < parts.size() && At(deep).Is(Node::kListed))
        return next;

    // A walk kept in this tree's store is taken over as it is; another one is copied
    // first, so that a failed allocation changes nothing kept.
    Handle made = root;
    if (walked.store_ == store_) {
        count_ += walked.count_;
        bytes_ += walked.bytes_;
        walked.roots_ = 0;
        walked.count_ = walked.bytes_ = 0;
        walked.index_.clear();
    } else {
        made = CopyFrom(walked, root, parts.back());
        walked.Clear();
    }
    Handle target = 0;
    try {
        target = FindOrMake(parts);
    } catch (...) {
        Free(made);
        throw;
    }
    Node& node = At(target);
    const bool wasWhole = node.Whole();
    const FolderTotals before = node.Totals();
    FreeChildren(target);
    const Node& walkedRoot = At(made);
    node.size = walkedRoot.size;
    node.folders = walkedRoot.folders;
    node.files = walkedRoot.files;
    node.pending = walkedRoot.pending;
    node.flags = static_cast<std::uint8_t>(
        (walkedRoot.flags & (Node::kListed | Node::kWhole | Node::kUnlistable | Node::kSummed)) |
        (node.flags & Node::kApart));
    // The walked subfolders move under the kept folder.
    for (Handle child = walkedRoot.child; child;) {
        const Handle following = At(child).next;
        Link(target, child);
        child = following;
    }
    At(made).child = 0;
    Free(made);
    Propagate(target, wasWhole, before);
    return next;
}

KeptTree::Next KeptTree::Relisted(const std::wstring& path, bool listed, const FolderTotals& own,
                                  const std::vector<std::wstring>& subfolders) {
    Next next;
    const std::vector<Part> parts = Split(path);
    if (parts.empty())
        return next;
    std::size_t covered;
    const Handle deep = Deepest(parts, covered);
    if (deep && At(deep).Is(Node::kSummed)) {
        // Its own entries cannot be told from those below it: walked again.
        next.walks.push_back(Prefix(path, parts, covered));
        return next;
    }
    // A folder the listing of a folder above it does not count (gone since, or to come
    // with that listing) is not made here.
    if (covered < parts.size() && deep && (At(deep).flags & (Node::kListed | Node::kAwaited)))
        return next;
    const Handle folder = FindOrMake(parts);
    Node* node = &At(folder);
    const bool wasWhole = node->Whole();
    const FolderTotals before = node->Totals();
    std::unordered_set<std::wstring> names;
    if (listed)
        for (const std::wstring& name : subfolders)
            names.insert(FoldName(name));
    // Subfolders that went go with their numbers; one kept apart that the listing now
    // counts comes again as a new one.
    Handle previous = 0;
    for (Handle child = node->child; child;) {
        Node& kept = At(child);
        const Handle following = kept.next;
        const bool counted = names.count(FoldName(NameOf(child))) != 0;
        if (kept.Is(Node::kApart) ? counted || !listed : !counted) {
            if (previous)
                At(previous).next = following;
            else
                node->child = following;
            auto indexed = index_.find(folder);
            if (indexed != index_.end()) {
                auto range = indexed->second.equal_range(FoldedHash(NameOf(child).c_str(), kept.length));
                for (auto at = range.first; at != range.second; ++at)
                    if (at->second == child) {
                        indexed->second.erase(at);
                        break;
                    }
            }
            Free(child);
            node = &At(folder);
        } else {
            previous = child;
        }
        child = following;
    }
    node->size = listed ? own.size : 0;
    node->folders = listed ? static_cast<std::uint32_t>(own.folders) : 0;
    node->files = listed ? static_cast<std::uint32_t>(own.files) : 0;
    node->pending = 0;
    node->flags = static_cast<std::uint8_t>(Node::kListed | (listed ? 0 : Node::kUnlistable) |
                                            (node->flags & Node::kApart));
    for (const std::wstring& name : listed ? subfolders : std::vector<std::wstring>()) {
        Handle child = Child(folder, name.c_str(), name.size());
        if (!child) {
            // A folder that came in holds its parent back until its walk comes: a total
            // without it would be short (it may have come with much in it, moved here).
            child = Make(name.c_str(), name.size());
            Link(folder, child);
            At(child).flags = Node::kAwaited;
        }
        Node& kept = At(child);
        node = &At(folder);
        if (kept.Is(Node::kAwaited))
            next.walks.push_back(Below(path, name));
        else if (!kept.Whole())
            next.listings.push_back(Below(path, name));
        if (kept.Whole())
            node->Add(kept.Totals());
        else
            ++node->pending;
    }
    node->SetWhole(node->pending == 0);
    Propagate(folder, wasWhole, before);
    return next;
}

void KeptTree::Forget(const std::wstring& path) {
    const Handle folder = Find(path);
    if (!folder)
        return;
    Node& node = At(folder);
    const bool wasWhole = node.Whole();
    const FolderTotals before = node.Totals();
    FreeChildren(folder);
    node.Zero();
    node.flags &= Node::kApart;
    Propagate(folder, wasWhole, before);
}

void KeptTree::KeepApart(const std::wstring& path) {
    const std::vector<Part> parts = Split(path);
    std::size_t covered;
    const Handle deep = Deepest(parts, covered);
    // Nothing is kept below an awaited or summed folder: nothing to keep apart there.
    if (parts.empty() || (deep && covered < parts.size() &&
                          (At(deep).flags & (Node::kAwaited | Node::kSummed | Node::kUnlistable))))
        return;
    const Handle folder = FindOrMake(parts);
    Node& node = At(folder);
    if (node.Is(Node::kApart))
        return;
    // What it counted goes first; a listing above that counts it knows better.
    if (node.parent && At(node.parent).Is(Node::kListed))
        return;
    Forget(path);
    At(folder).flags |= Node::kApart;
    ++apart_;
}

std::vector<std::wstring> KeptTree::ForgetApart() {
    std::vector<std::wstring> gone;
    if (apart_ == 0)
        return gone;
    std::vector<Handle> stack, apart;
    for (Handle root = roots_; root; root = At(root).next)
        stack.push_back(root);
    while (!stack.empty()) {
        const Handle folder = stack.back();
        stack.pop_back();
        if (At(folder).Is(Node::kApart)) {
            apart.push_back(folder);
            continue;
        }
        for (Handle child = At(folder).child; child; child = At(child).next)
            stack.push_back(child);
    }
    // They count nowhere: they go whole.
    for (const Handle folder : apart) {
        std::wstring path = NameOf(folder);
        for (Handle above = At(folder).parent; above; above = At(above).parent)
            path = NameOf(above) + L'\\' + path;
        gone.push_back(std::move(path));
        Unlink(folder);
        Free(folder);
    }
    return gone;
}

void KeptTree::Remove(const std::wstring& path) {
    const Handle folder = Find(path);
    if (!folder)
        return;
    const Node& node = At(folder);
    const Handle parent = node.parent;
    if (!parent || node.Is(Node::kApart)) {
        Unlink(folder);
        Free(folder);
        return;
    }
    Node& above = At(parent);
    const bool parentWasWhole = above.Whole();
    const FolderTotals parentBefore = above.Totals();
    if (node.Whole())
        above.Subtract(node.Totals());
    if (above.Is(Node::kListed) && !above.Is(Node::kUnlistable)) {
        // Its entry leaves the parent's own listing (a folder entry counts one, no bytes).
        if (!node.Whole() && above.pending > 0)
            --above.pending;
        if (above.folders > 0)
            --above.folders;
        above.SetWhole(above.pending == 0);
    }
    Unlink(folder);
    Free(folder);
    Propagate(parent, parentWasWhole, parentBefore);
}

void KeptTree::Abandon(const std::wstring& path) {
    Forget(path);
}

bool KeptTree::Rename(const std::wstring& from, const std::wstring& to) {
    const Handle folder = Find(from);
    const std::vector<Part> toParts = Split(to);
    const Handle there = toParts.empty() ? 0 : Find(to);
    if (!folder || toParts.empty() || (there && there != folder)) // the same one: its case
        return false;
    // Within its parent only: moved elsewhere, links not marked as such may lead to
    // other folders above it than before, and it is walked anew.
    const std::vector<Part> parentParts(toParts.begin(), toParts.end() - 1);
    std::size_t covered;
    const Handle parent = Deepest(parentParts, covered);
    if (covered != parentParts.size() || parent != At(folder).parent)
        return false;
    const Part& name = toParts.back();
    const Handle renamed = Make(name.first, name.second);
    Node& fresh = At(renamed);
    Node& old = At(folder);
    std::memcpy(&fresh, &old, offsetof(Node, parent));
    fresh.child = old.child;
    fresh.pending = old.pending;
    fresh.shown = old.shown;
    fresh.flags = old.flags;
    old.child = 0;
    if (!index_.empty()) {
        auto own = index_.find(folder);
        if (own != index_.end()) {
            auto moved = std::move(own->second);
            index_.erase(own);
            index_[renamed] = std::move(moved);
        }
    }
    for (Handle child = fresh.child; child; child = At(child).next)
        At(child).parent = renamed;
    if (fresh.Is(Node::kApart))
        ++apart_; // freeing the old record counts one less
    Unlink(folder);
    Free(folder);
    Link(parent, renamed);
    return true;
}

void KeptTree::Touch(const std::wstring& path) {
    ++clock_;
    const Handle folder = Find(path);
    for (Handle at = folder; at; at = At(at).parent)
        At(at).shown = clock_;
    if (folder)
        for (Handle child = At(folder).child; child; child = At(child).next)
            At(child).shown = clock_;
}

void KeptTree::Trim(std::size_t limit, const std::wstring& keep) {
    if (bytes_ <= limit)
        return;
    Touch(keep);
    // Whole folders with subfolders, the least recently shown first and of those the
    // highest: giving one up frees everything below it.
    struct Candidate {
        std::uint32_t shown;
        std::uint32_t depth;
        Handle folder;
    };
    std::vector<Candidate> candidates;
    std::vector<std::pair<Handle, std::uint32_t>> stack;
    for (Handle root = roots_; root; root = At(root).next)
        stack.emplace_back(root, 0);
    while (!stack.empty()) {
        const auto [folder, depth] = stack.back();
        stack.pop_back();
        const Node& node = At(folder);
        if (node.child && node.Whole() && node.shown != clock_)
            candidates.push_back({node.shown, depth, folder});
        for (Handle child = node.child; child; child = At(child).next)
            stack.emplace_back(child, depth + 1);
    }
    std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        return a.shown != b.shown ? a.shown < b.shown : a.depth < b.depth;
    });
    // First the choice, with what goes marked (nothing is freed while the candidates are
    // looked at), then the giving up.
    const std::size_t target = limit - limit / 10;
    std::size_t left = bytes_;
    std::vector<Handle> chosen;
    std::vector<Handle> below;
    for (const Candidate& candidate : candidates) {
        if (left <= target)
            break;
        if (At(candidate.folder).Is(Node::kMark))
            continue;
        chosen.push_back(candidate.folder);
        for (Handle child = At(candidate.folder).child; child; child = At(child).next)
            below.push_back(child);
        while (!below.empty()) {
            const Handle folder = below.back();
            below.pop_back();
            Node& node = At(folder);
            if (!node.Is(Node::kMark))
                left -= node.Units() * std::size_t{8};
            node.flags |= Node::kMark;
            for (Handle child = node.child; child; child = At(child).next)
                below.push_back(child);
        }
    }
    for (const Handle folder : chosen) {
        if (At(folder).Is(Node::kMark))
            continue; // given up with one above it
        FreeChildren(folder);
        At(folder).flags |= Node::kSummed;
    }
}

KeptTree::Handle KeptTree::Enter(Handle parent, const wchar_t* name, std::size_t length) {
    if (!parent) {
        const Handle root = Make(name, length);
        Link(0, root);
        return root;
    }
    Node& node = At(parent);
    if (node.Is(Node::kSummed))
        return 0;
    // Two levels below the root are always kept, so that its folders and theirs show
    // their values; deeper, a walk past the budget keeps sums only.
    const bool deep = node.parent && At(node.parent).parent;
    if (deep && store_->Bytes() >= store_->Limit()) {
        FreeChildren(parent);
        At(parent).flags |= Node::kSummed;
        return 0;
    }
    const Handle folder = Make(name, length);
    Link(parent, folder);
    return folder;
}

void KeptTree::Done(Handle folder, const FolderTotals& totals, bool listed) {
    if (!folder)
        return;
    Node& node = At(folder);
    node.size = totals.size;
    node.folders = static_cast<std::uint32_t>(totals.folders);
    node.files = static_cast<std::uint32_t>(totals.files);
    node.pending = 0;
    node.flags = static_cast<std::uint8_t>(Node::kListed | Node::kWhole |
                                           (listed ? 0 : Node::kUnlistable) |
                                           (node.flags & Node::kSummed));
}

void KeptTree::Drop(Handle folder) {
    if (!folder)
        return;
    Unlink(folder);
    Free(folder);
}

void KeptTree::Summed(Handle folder) {
    if (!folder)
        return;
    FreeChildren(folder);
    At(folder).flags |= Node::kSummed;
}

bool KeptTree::Visit(const std::wstring& path, const std::function<void(const Visited&)>& visit) const {
    const Handle top = Find(path);
    auto valued = [this](Handle folder) {
        const Node& node = At(folder);
        return node.Whole() && !node.Is(Node::kAwaited) && !node.Is(Node::kApart);
    };
    if (!top || !At(top).Whole() || At(top).Is(Node::kAwaited))
        return false;
    // Subfolders come off the stack in the reverse of the order kept: entered so by a
    // reader, which puts each first, they are kept in the same order again.
    std::vector<std::pair<Handle, std::size_t>> stack{{top, 0}};
    std::vector<wchar_t> name;
    while (!stack.empty()) {
        const auto [folder, depth] = stack.back();
        stack.pop_back();
        const Node& node = At(folder);
        const bool failed = node.Is(Node::kUnlistable);
        std::size_t subfolders = 0;
        if (!failed)
            for (Handle child = node.child; child; child = At(child).next)
                if (valued(child)) {
                    stack.emplace_back(child, depth + 1);
                    ++subfolders;
                }
        name.resize(node.length + std::size_t{1});
        for (std::size_t i = 0; i < node.length; ++i)
            name[i] = node.NameAt(i);
        Visited visited{name.data(), node.length, depth, failed ? Value::Failed : Value::Known,
                        failed ? FolderTotals() : node.Totals(), subfolders, node.Is(Node::kSummed)};
        visit(visited);
    }
    return true;
}

void KeptTree::WalkPaths(const std::function<bool(Handle, const std::wstring&)>& visit) const {
    std::vector<std::pair<Handle, std::wstring>> stack;
    for (Handle root = roots_; root; root = At(root).next)
        stack.emplace_back(root, NameOf(root));
    while (!stack.empty()) {
        const auto [folder, path] = stack.back();
        stack.pop_back();
        if (!visit(folder, path))
            continue;
        for (Handle child = At(folder).child; child; child = At(child).next)
            stack.emplace_back(child, path + L'\\' + NameOf(child));
    }
}

void KeptTree::ForEach(const std::function<void(const std::wstring& path, Value value,
                                                const FolderTotals& totals)>& visit) const {
    WalkPaths([&](Handle, const std::wstring& path) {
        FolderTotals totals;
        const Value value = Of(path, totals);
        visit(path, value, totals);
        return true;
    });
}

std::vector<std::wstring> KeptTree::WholeTops() const {
    std::vector<std::wstring> tops;
    WalkPaths([&](Handle folder, const std::wstring& path) {
        const Node& node = At(folder);
        if (node.Is(Node::kApart) || node.Is(Node::kAwaited))
            return false;
        if (!node.Whole())
            return true;
        if (!node.Is(Node::kUnlistable))
            tops.push_back(path);
        return false;
    });
    return tops;
}

bool KeptTree::Check(std::string& why) const {
    std::size_t count = 0, bytes = 0, apart = 0;
    std::vector<Handle> stack;
    std::set<std::wstring> rootNames;
    for (Handle root = roots_; root; root = At(root).next) {
        if (At(root).parent != 0) {
            why = "a root with a parent";
            return false;
        }
        if (!rootNames.insert(FoldName(NameOf(root))).second) {
            why = "two roots of one name";
            return false;
        }
        stack.push_back(root);
    }
    auto fail = [&](Handle folder, const char* what) {
        why = std::string(what) + " at ";
        for (Handle at = folder; at; at = At(at).parent) {
            const std::wstring name = NameOf(at);
            why += std::string(name.begin(), name.end()) + "<";
        }
        return false;
    };
    while (!stack.empty()) {
        const Handle folder = stack.back();
        stack.pop_back();
        const Node& node = At(folder);
        ++count;
        bytes += node.Units() * std::size_t{8};
        apart += node.Is(Node::kApart) ? 1 : 0;
        if (node.Is(Node::kMark))
            return fail(folder, "a mark left");
        std::uint64_t size = 0, folders = 0, files = 0;
        std::uint32_t pending = 0, counted = 0;
        std::set<std::wstring> names;
        for (Handle child = node.child; child; child = At(child).next) {
            const Node& kept = At(child);
            if (kept.parent != folder)
                return fail(child, "a wrong parent");
            if (!names.insert(FoldName(NameOf(child))).second)
                return fail(child, "two subfolders of one name");
            stack.push_back(child);
            if (kept.Is(Node::kApart))
                continue;
            ++counted;
            if (kept.Whole()) {
                size += kept.size;
                folders += kept.folders;
                files += kept.files;
            } else {
                ++pending;
            }
        }
        if (node.size < size || node.folders < folders || node.files < files)
            return fail(folder, "numbers below the sum of the whole subfolders");
        const bool ownZero = node.size == size && node.folders == folders && node.files == files;
        if (node.Is(Node::kApart) && !node.parent)
            return fail(folder, "a root kept apart");
        if (node.Is(Node::kAwaited) &&
            (node.child || node.size || node.folders || node.files || node.Whole() ||
             node.Is(Node::kListed) || !node.parent || !At(node.parent).Is(Node::kListed)))
            return fail(folder, "an awaited folder that is whole, has numbers, subfolders or no listed parent");
        if (node.Is(Node::kSummed) && (node.child || !node.Whole() || !node.Is(Node::kListed)))
            return fail(folder, "a summed folder with subfolders or not whole");
        if (node.Is(Node::kUnlistable) && (counted || node.size || node.folders || node.files ||
                                           !node.Whole()))
            return fail(folder, "an unlistable folder that counts");
        if (node.Is(Node::kListed)) {
            if (node.pending != pending)
                return fail(folder, "pending is not the count of counted subfolders not whole");
            if (node.Whole() != (pending == 0))
                return fail(folder, "whole is not 'nothing pending'");
            if (!node.Is(Node::kUnlistable) && node.folders - folders < counted)
                return fail(folder, "fewer own folder entries than counted subfolders");
        } else if (!node.Is(Node::kAwaited)) {
            if (node.Whole() || !ownZero)
                return fail(folder, "a place that is whole or owns numbers");
        }
        auto indexed = index_.find(folder);
        if (indexed != index_.end()) {
            std::size_t inIndex = 0;
            for (const auto& entry : indexed->second) {
                ++inIndex;
                if (At(entry.second).parent != folder)
                    return fail(folder, "an index entry of another folder");
            }
            if (inIndex != names.size())
                return fail(folder, "an index that misses subfolders");
        }
    }
    if (count != count_ || bytes != bytes_ || apart != apart_) {
        why = "the counts are off";
        return false;
    }
    return true;
}

} // namespace rb
