// A header only, with nothing after it: enough to name and find saved trees until the
// whole format is in.
#include "browse/saved_tree.h"

#include <cstring>

namespace rb {

namespace {

const char kMagic[8] = {'R', 'B', 'S', 'A', 'V', 'E', 'D', '1'};

void Put(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

bool Take(const unsigned char*& at, const unsigned char* end, int bytes, std::uint64_t& value) {
    if (end - at < bytes)
        return false;
    value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= std::uint64_t{at[i]} << (8 * i);
    at += bytes;
    return true;
}

} // namespace

bool SaveTree(const KeptTree& tree, SavedTreeInfo& info, std::string& bytes) {
    FolderTotals totals;
    if (info.root.size() > 32767 || !tree.Totals(info.root, totals))
        return false;
    info.folders = 1;
    bytes.assign(kMagic, sizeof kMagic);
    Put(bytes, info.root.size(), 4);
    for (wchar_t c : info.root)
        Put(bytes, static_cast<std::uint16_t>(c), 2);
    Put(bytes, info.savedAt, 8);
    Put(bytes, info.volumeSerial, 4);
    Put(bytes, info.folderId, 8);
    Put(bytes, info.remote ? 1 : 0, 1);
    Put(bytes, info.folders, 8);
    return true;
}

bool ReadSavedInfo(const void* data, std::size_t size, SavedTreeInfo& info) {
    const unsigned char* at = static_cast<const unsigned char*>(data);
    const unsigned char* end = at + (size < kSavedHeaderMax ? size : kSavedHeaderMax);
    if (end - at < static_cast<std::ptrdiff_t>(sizeof kMagic) ||
        std::memcmp(at, kMagic, sizeof kMagic) != 0)
        return false;
    at += sizeof kMagic;
    std::uint64_t length = 0, value = 0;
    if (!Take(at, end, 4, length) || length > 32767)
        return false;
    SavedTreeInfo read;
    for (std::uint64_t i = 0; i < length; ++i) {
        if (!Take(at, end, 2, value))
            return false;
        read.root += static_cast<wchar_t>(value);
    }
    if (!Take(at, end, 8, read.savedAt) || !Take(at, end, 4, value))
        return false;
    read.volumeSerial = static_cast<std::uint32_t>(value);
    if (!Take(at, end, 8, read.folderId) || !Take(at, end, 1, value))
        return false;
    read.remote = value != 0;
    if (!Take(at, end, 8, read.folders))
        return false;
    info = read;
    return true;
}

} // namespace rb
