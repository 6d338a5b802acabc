#include "browse/saved_tree.h"
#include "saved_tree_fixtures.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

namespace rb {
namespace {

std::string Saved(const KeptTree& tree, SavedTreeInfo info) {
    std::string bytes;
    EXPECT_TRUE(SaveTree(tree, info, bytes));
    return bytes;
}

TEST(SavedTree, EveryFolderOfAWalkReadBackShowsWhatTheWalkShowed) {
    const unsigned first = FromEnvironment("RB_SAVED_SEED", 1);
    for (unsigned seed = first; seed < first + FromEnvironment("RB_SAVED_RUNS", 40); ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Walked walked(seed, seed % 3 == 0 ? 6000 : ~std::size_t{0});
        SavedTreeInfo info{kR, 132000000000000000ull + seed, seed, 0x1234567890ull * seed, seed % 2 == 1};
        std::string bytes;
        ASSERT_TRUE(SaveTree(walked.tree, info, bytes));
        SavedTreeInfo header, read;
        ASSERT_TRUE(ReadSavedInfo(bytes.data(), bytes.size(), header));
        const auto fields = [](const SavedTreeInfo& i) {
            return std::make_tuple(i.root, i.savedAt, i.volumeSerial, i.folderId, i.remote, i.folders);
        };
        EXPECT_EQ(fields(header), fields(info));
        EXPECT_EQ(info.folders + walked.apart + 1, walked.tree.Folders()); // and the drive's place
        KeptTree loaded;
        std::string why;
        ASSERT_TRUE(LoadTree(bytes.data(), bytes.size(), read, loaded));
        EXPECT_EQ(fields(read), fields(info));
        EXPECT_TRUE(loaded.Check(why)) << why;
        KeptTree shown;
        shown.Graft(kR, std::move(loaded));
        for (const auto& folder : walked.fs.Tree(kR)) {
            const auto value = [&](const KeptTree& tree) {
                FolderTotals t;
                const KeptTree::Value v = tree.Of(folder.first, t);
                return std::make_tuple(v, t.size, t.files, t.folders, tree.SummedAbove(folder.first));
            };
            EXPECT_EQ(value(shown), value(walked.tree)) << std::string(folder.first.begin(), folder.first.end());
        }
    }
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
    const std::string real = Saved(kept, kInfo);
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
        {"a byte after the tree", Sealed(Unsealed(File()) + '\0'), true},
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
        files.push_back(Saved(Walked(seed, seed == 3 ? 6000 : ~std::size_t{0}).tree, {kR}));
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
