#include "browse/saved_tree.h"

#include "common/name_fold.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace rb {

// The file, all numbers little-endian:
//   "RbKT", version (u32), flags (u32: 1 remote), savedAt (u64), volumeSerial (u32),
//   folderId (u64), the root's length (u32, UTF-16 units) and units, folders (u64);
//   each folder as a walk enters it, the root first: flags (varint: 1 unlistable,
//   2 summed), its name's length (varint) and UTF-16 units (the root's empty), size,
//   files, folders of its subtree (varints), its subfolders in the file (varint);
//   FNV-1a (u64) of every byte before it.

namespace {

const unsigned char kMagic[4] = {'R', 'b', 'K', 'T'};
constexpr std::uint32_t kVersion = 1;
constexpr std::uint32_t kRemote = 1;
constexpr std::uint64_t kUnlistable = 1;
constexpr std::uint64_t kSummed = 2;
// Before the root's units; the folder count and the checksum follow them.
constexpr std::size_t kFixedBytes = 36;
constexpr std::size_t kChecksumBytes = 8;
// No file system names a folder with more; a longer path no file function takes.
constexpr std::size_t kNameMax = 1024;
constexpr std::size_t kPathMax = kMaxPathCharacters - 1;
// Flags, name length, three totals and the subfolder count: one byte each at least.
constexpr std::size_t kRecordMin = 6;

std::uint64_t Fnv(const unsigned char* data, std::size_t size) {
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (std::size_t i = 0; i < size; ++i)
        hash = (hash ^ data[i]) * 0x100000001B3ull;
    return hash;
}

void PutFixed(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void PutVarint(std::string& out, std::uint64_t value) {
    char buffer[10];
    std::size_t used = 0;
    while (value >= 0x80) {
        buffer[used++] = static_cast<char>((value & 0x7F) | 0x80);
        value >>= 7;
    }
    buffer[used++] = static_cast<char>(value);
    out.append(buffer, used);
}

void PutUnit(std::string& out, std::uint32_t unit) {
    const char pair[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    out.append(pair, 2);
}

// The path as UTF-16: a wchar_t of 32 bits above 0xFFFF as a surrogate pair. False for
// one past Unicode.
bool ToUnits(const std::wstring& text, std::vector<std::uint16_t>& units) {
    units.clear();
    for (const wchar_t c : text) {
        const auto code = static_cast<std::uint32_t>(c);
        if (code > 0x10FFFF)
            return false;
        if (code > 0xFFFF) {
            units.push_back(static_cast<std::uint16_t>(0xD800 + ((code - 0x10000) >> 10)));
            units.push_back(static_cast<std::uint16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<std::uint16_t>(code));
        }
    }
    return true;
}

class Reader {
public:
    Reader(const void* data, std::size_t size)
        : at_(static_cast<const unsigned char*>(data)), end_(at_ + size) {}
    std::size_t Left() const { return static_cast<std::size_t>(end_ - at_); }
    const unsigned char* At() const { return at_; }
    bool Fixed(std::uint64_t& value, int bytes) {
        if (Left() < static_cast<std::size_t>(bytes))
            return false;
        value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= std::uint64_t{at_[i]} << (8 * i);
        at_ += bytes;
        return true;
    }
    bool Varint(std::uint64_t& value) {
        value = 0;
        for (int shift = 0; shift < 70 && at_ < end_; shift += 7) {
            const unsigned char byte = *at_++;
            if (shift == 63 && byte > 1)
                return false; // past 64 bits
            value |= std::uint64_t{byte & 0x7Fu} << shift;
            if (byte < 0x80)
                return true;
        }
        return false;
    }
    // `count` UTF-16 units, each as one wchar_t.
    bool Units(std::size_t count, std::vector<wchar_t>& units) {
        if (Left() / 2 < count)
            return false;
        units.resize(count);
        for (std::size_t i = 0; i < count; ++i)
            units[i] = static_cast<wchar_t>(at_[2 * i] | (at_[2 * i + 1] << 8));
        at_ += 2 * count;
        return true;
    }

private:
    const unsigned char* at_;
    const unsigned char* end_;
};

bool GoodName(const wchar_t* name, std::size_t length);

// "\\?\C:\a\b" or "\\?\UNC\server\share\a": no empty part, no "." nor "..", no trailing
// "\" (the root is looked for by its parts).
bool GoodRoot(const std::wstring& root) {
    if (root.size() <= 4 || root.compare(0, 4, L"\\\\?\\") != 0)
        return false;
    for (std::size_t start = 4;;) {
        std::size_t end = root.find(L'\\', start);
        end = end == std::wstring::npos ? root.size() : end;
        const wchar_t* part = root.data() + start;
        const std::size_t length = end - start;
        // The first part is the drive ("C:") or "UNC".
        if (start == 4 ? length == 0 || std::find(part, part + length, L'/') != part + length
                       : !GoodName(part, length))
            return false;
        if (end == root.size())
            return true;
        start = end + 1;
    }
}

// `units`: the root's length in UTF-16 units.
bool ReadHeader(Reader& in, SavedTreeInfo& info, std::size_t& units) {
    if (in.Left() < kFixedBytes || std::memcmp(in.At(), kMagic, sizeof kMagic) != 0)
        return false;
    std::uint64_t magic, version, flags, savedAt, serial, id, length, folders;
    std::vector<wchar_t> text;
    if (!in.Fixed(magic, 4) || !in.Fixed(version, 4) || version != kVersion || !in.Fixed(flags, 4) ||
        (flags & ~std::uint64_t{kRemote}) || !in.Fixed(savedAt, 8) || !in.Fixed(serial, 4) ||
        !in.Fixed(id, 8) || !in.Fixed(length, 4) || length == 0 || length > kPathMax ||
        !in.Units(static_cast<std::size_t>(length), text) || !in.Fixed(folders, 8) || folders == 0 ||
        folders > 0xFFFFFFFFu)
        return false;
    std::wstring root;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto unit = static_cast<std::uint32_t>(text[i]);
        if (unit == 0)
            return false;
        // A wchar_t of 32 bits takes a pair whole; one of 16 takes the units as they are.
        if (sizeof(wchar_t) > 2 && unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size() &&
            static_cast<std::uint32_t>(text[i + 1]) >= 0xDC00 &&
            static_cast<std::uint32_t>(text[i + 1]) < 0xE000) {
            const std::uint32_t low = static_cast<std::uint32_t>(text[++i]);
            root.push_back(static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00)));
        } else {
            root.push_back(text[i]);
        }
    }
    if (!GoodRoot(root))
        return false;
    info.root = std::move(root);
    info.remote = (flags & kRemote) != 0;
    info.savedAt = savedAt;
    info.volumeSerial = static_cast<std::uint32_t>(serial);
    info.folderId = id;
    info.folders = folders;
    units = text.size();
    return true;
}

struct Record {
    std::uint64_t flags, size, files, folders, subfolders;
    std::vector<wchar_t> name;
    const unsigned char* nameAt; // its units in the file
};

bool ReadRecord(Reader& in, Record& record) {
    std::uint64_t length;
    if (!in.Varint(record.flags) || !in.Varint(length) || length > kNameMax)
        return false;
    record.nameAt = in.At();
    return in.Units(static_cast<std::size_t>(length), record.name) && in.Varint(record.size) &&
           in.Varint(record.files) && in.Varint(record.folders) && in.Varint(record.subfolders);
}

bool GoodName(const wchar_t* name, std::size_t length) {
    if (length == 0 || length > kNameMax || (length <= 2 && name[0] == L'.' && name[length - 1] == L'.'))
        return false; // "." and ".."
    for (std::size_t i = 0; i < length; ++i)
        if (name[i] == 0 || name[i] == L'\\' || name[i] == L'/' || name[i] == L':')
            return false;
    return true;
}

// A folder of the first pass whose subfolders are being read.
struct Open {
    std::uint64_t left; // subfolders still to come
    std::uint64_t size, files, folders;
    // Of the subfolders read so far; `folders` counts their entries too.
    std::uint64_t sizeBelow, filesBelow, foldersBelow;
    std::size_t pathLength;
    std::size_t names; // where its subfolders' names begin in `Names`
};

// The names of the subfolders of the open folders, by their folded hash, so that a name
// repeated among siblings is found when their parent closes.
struct Name {
    std::uint64_t hash;
    const unsigned char* at; // its units in the file
    std::size_t length;
};

std::wstring NameAt(const Name& name) {
    std::wstring text(name.length, L'\0');
    for (std::size_t i = 0; i < name.length; ++i)
        text[i] = static_cast<wchar_t>(name.at[2 * i] | (name.at[2 * i + 1] << 8));
    return text;
}

bool Distinct(std::vector<Name>& names, std::size_t from) {
    std::sort(names.begin() + static_cast<std::ptrdiff_t>(from), names.end(),
              [](const Name& a, const Name& b) { return a.hash < b.hash; });
    for (std::size_t i = from; i < names.size(); ++i)
        for (std::size_t j = i + 1; j < names.size() && names[j].hash == names[i].hash; ++j)
            if (SameName(NameAt(names[i]), NameAt(names[j])))
                return false;
    names.resize(from);
    return true;
}

// Every rule a tree read back must keep, checked on the body without keeping anything
// but the open folders and their subfolders' names.
bool Valid(Reader in, std::uint64_t count, std::size_t rootLength) {
    std::vector<Open> open;
    std::vector<Name> names;
    Record record;
    for (std::uint64_t read = 0; read < count; ++read) {
        if (read > 0 && open.empty())
            return false; // the root's subtree ended before the count
        if (!ReadRecord(in, record) || (record.flags & ~(kUnlistable | kSummed)) ||
            record.files > 0xFFFFFFFFu || record.folders > 0xFFFFFFFFu ||
            record.subfolders > count - read - 1 || record.subfolders > record.folders)
            return false;
        const bool unlistable = (record.flags & kUnlistable) != 0;
        if (unlistable && (record.flags & kSummed || record.size || record.files || record.folders))
            return false;
        if ((record.flags & (kUnlistable | kSummed)) && record.subfolders)
            return false;
        std::size_t pathLength = rootLength;
        if (open.empty()) {
            if (!record.name.empty())
                return false;
        } else {
            Open& parent = open.back();
            if (!GoodName(record.name.data(), record.name.size()))
                return false;
            pathLength = parent.pathLength + 1 + record.name.size();
            if (pathLength > kPathMax)
                return false;
            // Sums that pass 64 bits pass the parent's numbers as well.
            parent.sizeBelow += record.size;
            parent.filesBelow += record.files;
            parent.foldersBelow += record.folders;
            if (parent.sizeBelow < record.size || parent.sizeBelow > parent.size ||
                parent.filesBelow > parent.files || parent.foldersBelow > parent.folders)
                return false;
            --parent.left;
            names.push_back({FoldedHash(record.name.data(), record.name.size()), record.nameAt,
                             record.name.size()});
        }
        open.push_back({record.subfolders, record.size, record.files, record.folders, 0, 0,
                        record.subfolders, pathLength, names.size()});
        while (!open.empty() && open.back().left == 0) {
            if (!Distinct(names, open.back().names))
                return false;
            open.pop_back();
        }
    }
    return open.empty() && in.Left() == kChecksumBytes;
}

// A checked body into `into`, as a walk hands it over.
void Build(Reader in, std::uint64_t count, KeptTree& into) {
    struct Folder {
        WalkSink::Handle handle;
        FolderTotals totals;
        std::uint64_t flags, left;
    };
    std::vector<Folder> open;
    Record record;
    for (std::uint64_t read = 0; read < count; ++read) {
        ReadRecord(in, record);
        WalkSink::Handle handle = 0;
        if (open.empty())
            handle = into.Enter(0, L"", 0);
        else if (open.back().handle) // 0: below a folder that keeps no subfolders
            handle = into.Enter(open.back().handle, record.name.data(), record.name.size());
        if (!open.empty())
            --open.back().left;
        FolderTotals totals;
        totals.size = record.size;
        totals.files = static_cast<std::int64_t>(record.files);
        totals.folders = static_cast<std::int64_t>(record.folders);
        totals.whole = true;
        open.push_back({handle, totals, record.flags, record.subfolders});
        while (!open.empty() && open.back().left == 0) {
            const Folder& done = open.back();
            into.Done(done.handle, done.totals, !(done.flags & kUnlistable));
            if (done.flags & kSummed)
                into.Summed(done.handle);
            open.pop_back();
        }
    }
}

} // namespace

bool SaveTree(const KeptTree& tree, SavedTreeInfo& info, std::string& bytes) {
    bytes.clear();
    std::vector<std::uint16_t> root;
    if (!GoodRoot(info.root) || !ToUnits(info.root, root) || root.empty() || root.size() > kPathMax ||
        std::find(root.begin(), root.end(), 0) != root.end())
        return false;
    bytes.append(reinterpret_cast<const char*>(kMagic), sizeof kMagic);
    PutFixed(bytes, kVersion, 4);
    PutFixed(bytes, info.remote ? kRemote : 0, 4);
    PutFixed(bytes, info.savedAt, 8);
    PutFixed(bytes, info.volumeSerial, 4);
    PutFixed(bytes, info.folderId, 8);
    PutFixed(bytes, root.size(), 4);
    for (const std::uint16_t unit : root)
        PutUnit(bytes, unit);
    const std::size_t countAt = bytes.size();
    PutFixed(bytes, 0, 8);
    std::uint64_t count = 0;
    // What the reader would refuse is not written: each depth's path length so far.
    std::vector<std::size_t> paths;
    bool readable = true;
    const bool kept = tree.Visit(info.root, [&](const KeptTree::Visited& folder) {
        paths.resize(folder.depth + 1);
        paths[folder.depth] = folder.depth == 0 ? root.size() : paths[folder.depth - 1] + 1 + folder.length;
        if (folder.depth > 0)
            readable = readable && GoodName(folder.name, folder.length) && paths[folder.depth] <= kPathMax;
        PutVarint(bytes, (folder.value == KeptTree::Value::Failed ? kUnlistable : 0) |
                             (folder.summed ? kSummed : 0));
        // The kept tree holds names as UTF-16 units.
        const std::size_t length = folder.depth == 0 ? 0 : folder.length;
        PutVarint(bytes, length);
        for (std::size_t i = 0; i < length; ++i)
            PutUnit(bytes, static_cast<std::uint32_t>(folder.name[i]) & 0xFFFF);
        PutVarint(bytes, folder.totals.size);
        PutVarint(bytes, static_cast<std::uint64_t>(folder.totals.files));
        PutVarint(bytes, static_cast<std::uint64_t>(folder.totals.folders));
        PutVarint(bytes, folder.subfolders);
        ++count;
    });
    if (!kept || !readable) {
        bytes.clear();
        return false;
    }
    for (int i = 0; i < 8; ++i)
        bytes[countAt + i] = static_cast<char>((count >> (8 * i)) & 0xFF);
    PutFixed(bytes, Fnv(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()), 8);
    info.folders = count;
    return true;
}

bool ReadSavedInfo(const void* data, std::size_t size, SavedTreeInfo& info) {
    Reader in(data, std::min(size, kSavedHeaderMax));
    SavedTreeInfo read;
    std::size_t units;
    if (!ReadHeader(in, read, units))
        return false;
    info = std::move(read);
    return true;
}

bool OfThisVersion(const void* data, std::size_t size) {
    Reader in(data, size);
    std::uint64_t magic, version;
    return size >= 8 && std::memcmp(data, kMagic, sizeof kMagic) == 0 && in.Fixed(magic, 4) &&
           in.Fixed(version, 4) && version == kVersion;
}

std::size_t SavedFoldersMax() {
    return kKeptBytesLimit / KeptTree::HeaderBytes();
}

bool LoadTree(const void* data, std::size_t size, SavedTreeInfo& info, KeptTree& into,
              std::size_t maxFolders) {
    into.Clear();
    Reader in(data, size);
    SavedTreeInfo read;
    std::size_t units;
    if (!ReadHeader(in, read, units) || in.Left() < kChecksumBytes)
        return false;
    const std::size_t body = in.Left() - kChecksumBytes;
    std::uint64_t sum;
    Reader tail(in.At() + body, kChecksumBytes);
    if (!tail.Fixed(sum, 8) || sum != Fnv(static_cast<const unsigned char*>(data), size - kChecksumBytes))
        return false;
    if (read.folders > body / kRecordMin || read.folders > maxFolders)
        return false;
    try {
        if (!Valid(in, read.folders, units))
            return false;
        Build(in, read.folders, into);
    } catch (const std::bad_alloc&) {
        into.Clear();
        return false;
    }
    info = std::move(read);
    return true;
}

} // namespace rb
