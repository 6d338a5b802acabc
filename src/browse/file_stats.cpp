#include "browse/file_stats.h"

#include "common/name_fold.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>

namespace rb {

namespace {

inline wchar_t Lower(wchar_t c) {
    const unsigned u = static_cast<unsigned>(c);
    if (u < 0x80)
        return u >= 'A' && u <= 'Z' ? static_cast<wchar_t>(u + 0x20) : c;
    if ((u >= 0xC0 && u <= 0xDE && u != 0xD7) || (u >= 0x391 && u <= 0x3A9 && u != 0x3A2) ||
        (u >= 0x410 && u <= 0x42F))
        return static_cast<wchar_t>(u + 0x20);
    if (u >= 0x400 && u <= 0x40F)
        return static_cast<wchar_t>(u + 0x50);
    return c;
}

// Where the name's extension starts (its dot); `length` when it has none, or ends in a dot.
std::size_t ExtensionStart(const wchar_t* name, std::size_t length) {
    std::size_t dot = length;
    while (dot > 0 && name[dot - 1] != L'.')
        --dot;
    return dot == 0 || dot == length ? length : dot - 1;
}

std::uint64_t LowerHash(const wchar_t* text, std::size_t length) {
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (std::size_t i = 0; i < length; ++i)
        hash = (hash ^ static_cast<std::uint32_t>(Lower(text[i]))) * 0x100000001B3ull;
    return hash;
}

// Where a file stands among the largest: bigger first, then by folder and name, then the
// newer first, so that the kept ones do not depend on the order they came in.
struct Key {
    std::uint64_t size;
    std::wstring_view folder;
    std::wstring_view name;
    std::uint64_t writeTime;
};

bool Before(const Key& a, const Key& b) {
    if (a.size != b.size)
        return a.size > b.size;
    if (int byFolder = a.folder.compare(b.folder))
        return byFolder < 0;
    if (int byName = a.name.compare(b.name))
        return byName < 0;
    return a.writeTime > b.writeTime;
}

// Heap space of a string beyond the string object itself.
std::size_t HeapBytes(const std::wstring& text) {
    static const std::size_t inside = std::wstring().capacity();
    return text.capacity() > inside ? (text.capacity() + 1) * sizeof(wchar_t) : 0;
}

} // namespace

std::wstring FileExtension(const wchar_t* name, std::size_t length) {
    std::wstring extension;
    for (std::size_t i = ExtensionStart(name, length); i < length; ++i)
        extension.push_back(Lower(name[i]));
    return extension;
}

FileStats::FileStats(std::size_t largest) : largest_(largest) {}

bool FileStats::Ahead(const Entry& a, const Entry& b) {
    return Before({a.size, *a.folder, a.name, a.writeTime},
                  {b.size, *b.folder, b.name, b.writeTime});
}

FileStats::Type& FileStats::TypeOf(const wchar_t* extension, std::size_t length) {
    const std::uint64_t hash = LowerHash(extension, length);
    auto same = [&](const Type& type) {
        if (type.hash != hash || type.extension.size() != length)
            return false;
        for (std::size_t i = 0; i < length; ++i)
            if (type.extension[i] != Lower(extension[i]))
                return false;
        return true;
    };
    std::size_t mask = types_.size() - 1;
    std::size_t at = hash & mask;
    for (; !types_.empty() && types_[at].used; at = (at + 1) & mask)
        if (same(types_[at]))
            return types_[at];
    if ((typesUsed_ + 1) * 2 > types_.size()) {
        std::vector<Type> old(std::max<std::size_t>(16, types_.size() * 2));
        old.swap(types_);
        mask = types_.size() - 1;
        for (Type& type : old)
            if (type.used) {
                std::size_t to = type.hash & mask;
                while (types_[to].used)
                    to = (to + 1) & mask;
                types_[to] = std::move(type);
            }
        for (at = hash & mask; types_[at].used;)
            at = (at + 1) & mask;
    }
    Type& type = types_[at];
    type.used = true;
    type.hash = hash;
    for (std::size_t i = 0; i < length; ++i)
        type.extension.push_back(Lower(extension[i]));
    ++typesUsed_;
    return type;
}

void FileStats::Offer(Entry&& entry) {
    if (heap_.size() < largest_) {
        heap_.push_back(std::move(entry));
        std::push_heap(heap_.begin(), heap_.end(), Ahead);
        return;
    }
    std::pop_heap(heap_.begin(), heap_.end(), Ahead);
    heap_.back() = std::move(entry);
    std::push_heap(heap_.begin(), heap_.end(), Ahead);
}

void FileStats::Add(const std::wstring& folder, const wchar_t* name, std::size_t nameLength,
                    std::uint64_t size, std::uint64_t writeTime) {
    ++files_;
    const std::size_t dot = ExtensionStart(name, nameLength);
    Type& type = TypeOf(name + dot, nameLength - dot);
    type.bytes += size;
    ++type.files;
    if (!Enters(size) || (onlyOne_ && type.extension != only_))
        return;
    if (heap_.size() == largest_) {
        const Entry& last = heap_.front();
        if (!Before({size, folder, {name, nameLength}, writeTime},
                    {last.size, *last.folder, last.name, last.writeTime}))
            return;
    }
    // The files of one folder come together: they share its string.
    if (!lastFolder_ || *lastFolder_ != folder)
        lastFolder_ = std::make_shared<const std::wstring>(folder);
    Offer({size, writeTime, lastFolder_, std::wstring(name, nameLength)});
}

void FileStats::Merge(const FileStats& other) {
    if (&other == this) {
        const FileStats copy = other;
        Merge(copy);
        return;
    }
    files_ += other.files_;
    for (const Type& type : other.types_)
        if (type.files) {
            Type& mine = TypeOf(type.extension.c_str(), type.extension.size());
            mine.bytes += type.bytes;
            mine.files += type.files;
        }
    for (const Entry& entry : other.heap_) {
        if (!Enters(entry.size))
            continue;
        if (heap_.size() == largest_) {
            const Entry& last = heap_.front();
            if (!Before({entry.size, *entry.folder, entry.name, entry.writeTime},
                        {last.size, *last.folder, last.name, last.writeTime}))
                continue;
        }
        Offer(Entry(entry));
    }
}

bool FileStats::Remove(const std::wstring& folder, const std::wstring& name) {
    auto found = std::find_if(heap_.begin(), heap_.end(), [&](const Entry& entry) {
        return SameName(entry.name, name) && SameName(*entry.folder, folder);
    });
    if (found == heap_.end())
        return false;
    const std::size_t dot = ExtensionStart(found->name.c_str(), found->name.size());
    Type& type = TypeOf(found->name.c_str() + dot, found->name.size() - dot);
    type.bytes -= found->size;
    --type.files;
    --files_;
    *found = std::move(heap_.back());
    heap_.pop_back();
    std::make_heap(heap_.begin(), heap_.end(), Ahead);
    return true;
}

std::vector<LargeFile> FileStats::Largest() const {
    std::vector<const Entry*> order;
    order.reserve(heap_.size());
    for (const Entry& entry : heap_)
        order.push_back(&entry);
    std::sort(order.begin(), order.end(),
              [](const Entry* a, const Entry* b) { return Ahead(*a, *b); });
    std::vector<LargeFile> largest;
    largest.reserve(order.size());
    for (const Entry* entry : order)
        largest.push_back({*entry->folder, entry->name, entry->size, entry->writeTime});
    return largest;
}

std::vector<FileType> FileStats::Types() const {
    std::vector<FileType> types;
    for (const Type& type : types_)
        if (type.files)
            types.push_back({type.extension, type.bytes, type.files});
    std::sort(types.begin(), types.end(), [](const FileType& a, const FileType& b) {
        return a.bytes != b.bytes ? a.bytes > b.bytes : a.extension < b.extension;
    });
    return types;
}

std::vector<LargeFile> FileStats::LargestOfType(const std::wstring& extension) const {
    std::wstring wanted;
    for (wchar_t c : extension)
        wanted.push_back(Lower(c));
    std::vector<LargeFile> largest = Largest();
    largest.erase(std::remove_if(largest.begin(), largest.end(),
                                 [&](const LargeFile& file) {
                                     return FileExtension(file.name.c_str(), file.name.size()) !=
                                            wanted;
                                 }),
                  largest.end());
    return largest;
}

std::size_t FileStats::FoldersHeld() const {
    std::unordered_set<const std::wstring*> folders;
    for (const Entry& entry : heap_)
        folders.insert(entry.folder.get());
    return folders.size();
}

std::size_t FileStats::MemoryBytes() const {
    std::size_t bytes =
        sizeof(*this) + heap_.capacity() * sizeof(Entry) + types_.capacity() * sizeof(Type);
    std::unordered_set<const std::wstring*> folders;
    for (const Entry& entry : heap_) {
        bytes += HeapBytes(entry.name);
        if (folders.insert(entry.folder.get()).second)
            // The string, and the shared pointer's block with its two counts.
            bytes += sizeof(std::wstring) + 2 * sizeof(long) + HeapBytes(*entry.folder);
    }
    for (const Type& type : types_)
        bytes += HeapBytes(type.extension);
    return bytes;
}

void FileStatsSink::File(const std::wstring& folder, const DirectoryEntry& entry) {
    if (stats_.Enters(entry.size))
        plain_ = PlainPath(folder);
    stats_.Add(plain_, entry.name, entry.nameLength, entry.size, entry.writeTime);
}

} // namespace rb
