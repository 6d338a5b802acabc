// Saved trees for their test: random trees walked from the in-memory file system, and a
// file written field by field, so that one field can be made wrong.
#pragma once

#include "browse/saved_tree.h"
#include "memory_fs.h"

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace rb {

const std::wstring kR = L"\\\\?\\C:\\R";

inline unsigned FromEnvironment(const char* name, unsigned otherwise) {
    const char* value = std::getenv(name);
    return value ? static_cast<unsigned>(std::strtoul(value, nullptr, 10)) : otherwise;
}

// R and `count` folders below it, each in a folder made before it: names with letters
// beyond ASCII, files of varied sizes, one folder in eight not listable, a link here and
// there (counted, not entered).
inline void MakeTree(MemoryFs& fs, std::mt19937& random, int count) {
    static const wchar_t* const kNames[] = {L"daten", L"\u00C4rger", L"\u00F1and\u00FA",
                                            L"\u03A9\u03BC\u03AD\u03B3\u03B1", L"\u65E5\u672C",
                                            L"x y.z", L"Ordner mit langem Namen"};
    std::vector<std::uint64_t> made{fs.nextId};
    fs.folders[1].entries[L"R"] = {L"R", true, true, false, 0, fs.nextId};
    fs.folders[fs.nextId++];
    for (int i = 0; i < count; ++i) {
        const std::uint64_t parent = made[random() % made.size()];
        const std::wstring name = kNames[random() % 7] + std::to_wstring(i);
        const bool link = random() % 16 == 0;
        fs.folders[parent].entries[FoldName(name)] = {name, true, !link, link, 0, fs.nextId};
        for (unsigned file = random() % 4; file > 0; --file) {
            const std::wstring fileName = L"f" + std::to_wstring(file);
            fs.folders[fs.nextId].entries[FoldName(fileName)] = {fileName, false, true, false,
                                                                 random() % 5000000, 0};
        }
        fs.folders[fs.nextId].unlistable = random() % 8 == 0;
        made.push_back(fs.nextId++);
    }
}

// A walk of R kept in a tree with a budget (summed folders past it), and a walk kept apart
// below R, which a saved R leaves out.
struct Walked {
    MemoryFs fs;
    KeptTree tree;
    std::size_t apart = 0;
    Walked(unsigned seed, std::size_t budget) {
        std::mt19937 random(seed);
        MakeTree(fs, random, 1 + static_cast<int>(random() % 300));
        KeptTree walk(std::make_shared<KeptStore>(budget));
        WalkTree(kR, fs, &walk);
        tree.Graft(kR, std::move(walk));
        KeptTree beside;
        WalkTree(kR, fs, &beside);
        apart = beside.Folders();
        tree.Graft(kR + L"\\beside", std::move(beside));
    }
};

// The file as the test writes it.
struct File {
    struct Folder {
        std::uint64_t flags;
        std::wstring name;
        std::uint64_t size, files, folders, subfolders;
        std::uint64_t length = ~std::uint64_t{0}; // as written; the name's own if not set
    };
    std::string magic = "RbKT";
    std::uint64_t version = 1, flags = 1, folders = 4;
    std::wstring root = kR;
    std::vector<Folder> body = {{0, L"", 1000, 3, 4, 2}, {1, L"bb", 0, 0, 0, 0},
                                {0, L"aa", 300, 1, 1, 1}, {0, L"cc", 100, 1, 0, 0}};
};
const SavedTreeInfo kInfo{kR, 0x01D9000000000000ull, 0xABCD1234u, 0x0001000000000042ull, true};

inline std::string Sealed(std::string bytes) {
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (const char c : bytes)
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
    for (int i = 0; i < 8; ++i)
        bytes.push_back(static_cast<char>(hash >> (8 * i)));
    return bytes;
}

inline std::string Unsealed(const File& file) {
    std::string out = file.magic;
    auto fixed = [&](std::uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(static_cast<char>(value >> (8 * i)));
    };
    auto varint = [&](std::uint64_t value) {
        for (; value >= 0x80; value >>= 7)
            out.push_back(static_cast<char>(value | 0x80));
        out.push_back(static_cast<char>(value));
    };
    fixed(file.version, 4);
    fixed(file.flags, 4);
    fixed(kInfo.savedAt, 8);
    fixed(kInfo.volumeSerial, 4);
    fixed(kInfo.folderId, 8);
    fixed(file.root.size(), 4);
    for (const wchar_t c : file.root)
        fixed(static_cast<std::uint64_t>(c), 2);
    fixed(file.folders, 8);
    for (const File::Folder& f : file.body) {
        varint(f.flags);
        varint(f.length != ~std::uint64_t{0} ? f.length : f.name.size());
        for (const wchar_t c : f.name)
            fixed(static_cast<std::uint64_t>(c), 2);
        for (const std::uint64_t value : {f.size, f.files, f.folders, f.subfolders})
            varint(value);
    }
    return out;
}

} // namespace rb
