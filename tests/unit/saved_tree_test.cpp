#include "browse/saved_tree.h"
#include "browse/kept_tree.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <random>
#include <tuple>

namespace rb {
namespace {

// Saved trees: random walked trees, and a file written field by field, so that one field
// can be made wrong.
const std::wstring kR = L"\\\\?\\C:\\R";

unsigned FromEnvironment(const char* name, unsigned otherwise) {
    const char* value = std::getenv(name);
    return value ? static_cast<unsigned>(std::strtoul(value, nullptr, 10)) : otherwise;
}

// A random tree of R as a walk keeps it (summed past the budget), saved: names beyond
// ASCII, one folder in eight not listable.
std::string SavedWalk(unsigned seed, std::size_t budget) {
    static const wchar_t* const kNames[] = {L"daten", L"\u00C4rger", L"\u03A9\u03BC\u03AD\u03B3\u03B1",
                                            L"\u65E5\u672C", L"x y.z"};
    std::mt19937 random(seed);
    KeptTree walk(std::make_shared<KeptStore>(budget)), tree;
    std::function<FolderTotals(KeptTree::Handle, int)> grow = [&](KeptTree::Handle folder, int depth) {
        FolderTotals totals{random() % 5000000, 1, 0, true};
        for (unsigned i = depth < 6 ? random() % 5 : 0; i > 0; --i) {
            const std::wstring name = kNames[random() % 5] + std::to_wstring(i);
            const KeptTree::Handle child = folder ? walk.Enter(folder, name.data(), name.size()) : 0;
            const bool listed = random() % 8 != 0;
            const FolderTotals below = listed ? grow(child, depth + 1) : FolderTotals{0, 0, 0, true};
            walk.Done(child, below, listed);
            totals = {totals.size + below.size, totals.files + below.files, totals.folders + below.folders + 1, true};
        }
        return totals;
    };
    const KeptTree::Handle root = walk.Enter(0, L"", 0);
    walk.Done(root, grow(root, 0), true);
    tree.Graft(kR, std::move(walk));
    SavedTreeInfo info{kR};
    std::string bytes;
    EXPECT_TRUE(SaveTree(tree, info, bytes));
    return bytes;
}

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

std::string Sealed(std::string bytes) {
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (const char c : bytes)
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
    for (int i = 0; i < 8; ++i)
        bytes.push_back(static_cast<char>(hash >> (8 * i)));
    return bytes;
}

std::string Unsealed(const File& file) {
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

TEST(SavedTree, AFileWithAnyFieldWrongIsRefusedWholeAndItsHeaderAsFarAsItIsWrong) {
    // R: 1000 bytes, 3 files, 4 folders; aa holds cc; bb could not be listed. Saved in
    // the order kept (the graft's copy turned it round).
    KeptTree tree;
    const auto root = tree.Enter(0, L"", 0), aa = tree.Enter(root, L"aa", 2);
    tree.Done(tree.Enter(aa, L"cc", 2), {100, 1, 0, true}, true);
    tree.Done(aa, {300, 1, 1, true}, true);
    tree.Done(tree.Enter(root, L"bb", 2), {}, false);
    tree.Done(root, {1000, 3, 4, true}, true);
    KeptTree kept;
    kept.Graft(kR, std::move(tree));
    SavedTreeInfo written = kInfo;
    std::string real;
    ASSERT_TRUE(SaveTree(kept, written, real));
    ASSERT_EQ(real, Sealed(Unsealed(File())));
    SavedTreeInfo info;
    KeptTree into;
    ASSERT_TRUE(LoadTree(real.data(), real.size(), info, into, 4)); // as many as a walk keeps
    EXPECT_FALSE(LoadTree(real.data(), real.size(), info, into, 3));
    ASSERT_TRUE(LoadTree(real.data(), real.size(), info, into));

    auto with = [](const std::function<void(File&)>& edit) {
        File file;
        edit(file);
        return Sealed(Unsealed(file));
    };
    std::string flipped = real;
    flipped[flipped.size() - 12] ^= 0x10;
    std::wstring longRoot = kR; // 32 names of 1000 units
    for (int name = 0; name < 32; ++name)
        longRoot += L"\\" + std::wstring(1000, L'r');
    const struct {
        const char* what;
        std::string file;
        bool header;
    } rows[] = {
        {"cut short by a byte", real.substr(0, real.size() - 1), true},
        {"cut within the header", real.substr(0, 40), false},
        {"a byte of a total flipped", flipped, true},
        {"another magic", with([](File& f) { f.magic = "RbKX"; }), false},
        {"another version", with([](File& f) { f.version = 2; }), false},
        {"an unknown header flag", with([](File& f) { f.flags = 3; }), false},
        {"an empty root", with([](File& f) { f.root.clear(); }), false},
        {"a root with NUL", with([](File& f) { f.root[5] = 0; }), false},
        {"a root ending in \\", with([](File& f) { f.root += L"\\"; }), false},
        {"a root with ..", with([](File& f) { f.root += L"\\..\\S"; }), false},
        {"a root not extended", with([](File& f) { f.root = L"C:\\R"; }), false},
        {"a folder count past 32 bits", with([](File& f) { f.folders = 1ull << 32; }), false},
        {"a folder count past the bytes", with([](File& f) { f.folders = 1000000; }), true},
        {"one folder more than written", with([](File& f) { f.folders = 5; }), true},
        {"one folder less than written", with([](File& f) { f.folders = 3; }), true},
        {"a huge name length", with([](File& f) { f.body[1].length = 1ull << 40; }), true},
        {"a name length past the end", with([](File& f) { f.body[3].length = 40; }), true},
        {"a name of 1025 units", with([](File& f) { f.body[3].name.assign(1025, L'b'); }), true},
        {"a path past 32767", with([&](File& f) { f.root = longRoot, f.body[2].name.assign(400, L'a'),
                                                  f.body[3].name.assign(400, L'c'); }), true},
        {"a root with a name", with([](File& f) { f.body[0].name = L"R"; }), true},
        {"an empty name", with([](File& f) { f.body[3].name.clear(); }), true},
        {"a name .", with([](File& f) { f.body[3].name = L"."; }), true},
        {"a name ..", with([](File& f) { f.body[3].name = L".."; }), true},
        {"a name with NUL", with([](File& f) { f.body[3].name[1] = 0; }), true},
        {"a name with \\", with([](File& f) { f.body[3].name[1] = L'\\'; }), true},
        {"a name with /", with([](File& f) { f.body[3].name[1] = L'/'; }), true},
        {"a name with :", with([](File& f) { f.body[3].name[1] = L':'; }), true},
        {"a sibling's name again", with([](File& f) { f.body[1].name = L"AA"; }), true},
        {"a sibling's name again, folded beyond ASCII",
         with([](File& f) { f.body[2].name = L"\u00E4\u03C9", f.body[1].name = L"\u00C4\u03A9"; }), true},
        {"subfolders past the end", with([](File& f) { f.body[0].subfolders = 3; }), true},
        {"subfolders short of the count", with([](File& f) { f.body[2].subfolders = 0; }), true},
        {"size below the subfolders'", with([](File& f) { f.body[0].size = 299; }), true},
        {"files below the subfolders'", with([](File& f) { f.body[2].files = 0; }), true},
        {"folders below the subfolders' and their entries", with([](File& f) { f.body[0].folders = 2; }), true},
        {"sizes whose sum passes 64 bits", with([](File& f) {
             f.body[0].size = f.body[2].size = ~0ull, f.body[1].flags = 0, f.body[1].size = 1; }), true},
        {"files past 32 bits", with([](File& f) { f.body[0].files = 1ull << 32; }), true},
        {"folders past 32 bits", with([](File& f) { f.body[0].folders = 1ull << 32; }), true},
        {"an unlistable folder with a size", with([](File& f) { f.body[1].size = 5; }), true},
        {"an unknown folder flag", with([](File& f) { f.body[2].flags = 4; }), true},
        {"a summed folder with subfolders", with([](File& f) { f.body[2].flags = 2; }), true},
    };
    for (const auto& row : rows) {
        into.Clear();
        into.Done(into.Enter(0, L"", 0), {}, true);
        EXPECT_FALSE(LoadTree(row.file.data(), row.file.size(), info, into)) << row.what;
        EXPECT_EQ(into.Folders(), 0u) << row.what;
        EXPECT_EQ(ReadSavedInfo(row.file.data(), row.file.size(), info), row.header) << row.what;
    }
    // What would be refused is not written either; what is written is read back.
    const std::tuple<std::wstring, std::size_t, bool> trees[] = {
        {kR, 1024, true}, {kR, 1025, false}, {L"\\\\?\\C:", 8, true},
        {L"\\\\?\\UNC\\server\\share", 8, true}, {L"\\\\?\\C:\\", 8, false}, {L"C:\\R", 8, false}};
    for (const auto& [root, length, saved] : trees) {
        KeptTree named, shown;
        const auto top = named.Enter(0, L"", 0);
        const std::wstring name(length, L'n');
        named.Done(named.Enter(top, name.data(), name.size()), {}, true);
        named.Done(top, {0, 0, 1, true}, true);
        shown.Graft(root, std::move(named));
        SavedTreeInfo header{root};
        std::string bytes;
        EXPECT_EQ(SaveTree(shown, header, bytes), saved) << root.size() << " " << length;
        EXPECT_EQ(LoadTree(bytes.data(), bytes.size(), info, into), saved) << root.size();
    }
}

TEST(SavedTree, ADamagedFileIsRefusedWholeOrReadAsATreeThatHoldsTogether) {
    std::vector<std::string> files;
    for (unsigned seed : {3u, 4u, 5u})
        files.push_back(SavedWalk(seed, seed == 3 ? 6000 : ~std::size_t{0}));
    std::mt19937 random(FromEnvironment("RB_SAVED_SEED", 1));
    unsigned loaded = 0, refused = 0;
    for (unsigned run = FromEnvironment("RB_SAVED_FUZZ", 4000); run > 0; --run) {
        // The body changed, then mostly sealed again so that the checks past the checksum
        // are reached.
        std::string file = files[random() % files.size()];
        file.resize(file.size() - 8);
        const std::size_t at = random() % file.size(), kind = random() % 6;
        if (kind == 0)
            file[at] = static_cast<char>(file[at] ^ (1 << (random() % 8)));
        else if (kind == 1)
            file.resize(at);
        else if (kind == 2)
            file.insert(at, 1, static_cast<char>(random()));
        else if (kind == 3)
            file.erase(at, 1 + random() % 16);
        else // a field made random
            file.replace(at, std::min<std::size_t>(file.size() - at, kind == 4 ? 1 : 4),
                         std::string(kind == 4 ? 1 : 4, static_cast<char>(random() % 2 ? 0xFF : random())));
        file = random() % 8 ? Sealed(file) : file + "01234567";
        KeptTree into(std::make_shared<KeptStore>(random() % 2 ? 3000 : ~std::size_t{0}));
        SavedTreeInfo info;
        std::string why;
        ReadSavedInfo(file.data(), file.size(), info);
        if (LoadTree(file.data(), file.size(), info, into)) {
            ++loaded;
            EXPECT_TRUE(into.Check(why)) << why << " run " << run;
        } else {
            ++refused;
            EXPECT_EQ(into.Folders(), 0u) << "run " << run;
        }
    }
    EXPECT_GT(loaded, 0u);
    EXPECT_GT(refused, 0u);
}

} // namespace
} // namespace rb
