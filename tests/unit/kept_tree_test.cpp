#include "browse/kept_tree.h"
#include "fake_lister.h"

#include <gtest/gtest.h>

#include <functional>

namespace rb {
namespace {

const std::wstring kR = L"\\\\?\\C:\\R";

// "size/folders/files" of a kept folder, or "-" where it has no value.
std::string Shown(const KeptTree& tree, const std::wstring& path) {
    FolderTotals t;
    if (!tree.Totals(path, t))
        return "-";
    return std::to_string(t.size) + "/" + std::to_string(t.folders) + "/" + std::to_string(t.files);
}

KeptTree Walked(FakeLister& fs, const std::wstring& root) {
    KeptTree walked;
    WalkTree(root, fs, &walked);
    return walked;
}

FolderTotals Own(std::uint64_t size, std::int64_t folders, std::int64_t files) {
    FolderTotals own;
    own.size = size;
    own.folders = folders;
    own.files = files;
    return own;
}

// R holds a.txt (1000), sub, a link and a folder that cannot be listed; sub holds b (500)
// and deep, deep holds c (30). Each listed folder adds 18 for "." and "..".
class KeptTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs.Folder(kR + L"\\", 1, {{L"a.txt", 0x20, 1000, 2, 0}, {L"sub", kDir, 0, 3, 0},
                                 {L"link", kLink, 0, 4, 0x20000000}, {L"bad", kDir, 0, 5, 0}});
        fs.Folder(kR + L"\\sub\\", 3, {{L"b", 0x20, 500, 6, 0}, {L"deep", kDir, 0, 7, 0}});
        fs.Folder(kR + L"\\sub\\deep\\", 7, {{L"c", 0x20, 30, 8, 0}});
    }
    FakeLister fs;
    KeptTree tree;
};

TEST_F(KeptTreeTest, AWalkKeepsEveryLevelWithItsOwnTotals) {
    tree.Graft(kR, Walked(fs, kR));
    const struct {
        std::wstring path;
        std::string shown;
    } rows[] = {
        {kR, "1584/4/3"},           // links and unlistable folders count in their parent
        {kR + L"\\sub", "566/1/2"}, // b, c and two folders' dots
        {kR + L"\\SUB\\Deep", "48/0/1"},
        {kR + L"\\bad", "-"},  // listed, failed: no value
        {kR + L"\\link", "-"}, // not entered
        {L"\\\\?\\C:", "-"},   // only a place above
    };
    for (const auto& row : rows)
        EXPECT_EQ(Shown(tree, row.path), row.shown) << std::string(row.path.begin(), row.path.end());
    EXPECT_EQ(tree.Folders(), 5u);
}

TEST_F(KeptTreeTest, AFolderListedAgainMovesEveryTotalAboveItAndNamesWhatToWalk) {
    tree.Graft(kR, Walked(fs, kR));
    fs.Folder(kR + L"\\sub\\neu\\", 9, {{L"n", 0x20, 7, 10, 0}});
    struct Step {
        const char* what;
        std::function<void()> run;
        std::string r, sub;
    };
    std::vector<std::wstring> walks;
    const Step steps[] = {
        {"c grows 30 -> 99", [&] { tree.Relisted(kR + L"\\sub\\deep", true, Own(117, 0, 1), {}); },
         "1653/4/3", "635/1/2"},
        {"neu comes into sub: its walk awaited, no value above it meanwhile",
         [&] { walks = tree.Relisted(kR + L"\\sub", true, Own(518, 2, 1), {L"deep", L"neu"}).walks; },
         "-", "-"},
        {"neu's walk arrives", [&] { tree.Graft(walks.at(0), Walked(fs, walks.at(0))); },
         "1678/5/4", "660/2/3"},
        {"deep and neu go", [&] { tree.Relisted(kR + L"\\sub", true, Own(518, 0, 1), {}); },
         "1536/3/2", "518/0/1"},
        {"sub cannot be listed", [&] { tree.Relisted(kR + L"\\sub", false, {}, {}); }, "1018/3/1", "-"},
    };
    for (const Step& step : steps) {
        step.run();
        EXPECT_EQ(Shown(tree, kR) + " " + Shown(tree, kR + L"\\sub"), step.r + " " + step.sub)
            << step.what;
    }
    EXPECT_EQ(walks, std::vector<std::wstring>{kR + L"\\sub\\neu"});
    EXPECT_EQ(tree.Folders(), 4u); // C:, R, sub, bad
}

TEST_F(KeptTreeTest, GoingUpListsOnlyTheFoldersNotKnownAndAddsTheKnownOnes) {
    tree.Graft(kR + L"\\sub\\deep", Walked(fs, kR + L"\\sub\\deep"));
    fs.listed.clear();
    std::vector<std::string> seen;
    auto next = [&](const KeptTree::Next& n) {
        std::string text;
        for (const auto& w : n.walks)
            text += "walk " + std::string(w.begin() + kR.size(), w.end()) + ";";
        for (const auto& l : n.listings)
            text += "list " + std::string(l.begin() + kR.size(), l.end()) + ";";
        seen.push_back(text + " " + Shown(tree, kR) + " " + Shown(tree, kR + L"\\sub"));
    };
    next(tree.Resolve(kR + L"\\sub"));
    next(tree.Relisted(kR + L"\\sub", true, Own(518, 1, 1), {L"deep"}));
    next(tree.Resolve(kR));
    next(tree.Relisted(kR, true, Own(1018, 3, 1), {L"sub", L"bad"}));
    tree.Graft(kR + L"\\bad", Walked(fs, kR + L"\\bad"));
    next(tree.Resolve(kR));
    EXPECT_EQ(seen, (std::vector<std::string>{"list \\sub; - -", " - 566/1/2", "list ; - 566/1/2",
                                              "walk \\bad; - 566/1/2", " 1584/4/3 566/1/2"}));
    EXPECT_EQ(fs.listed, (std::vector<std::wstring>{kR + L"\\bad\\"})); // by the walk of bad only
}

TEST_F(KeptTreeTest, ARenameKeepsTheNumbersAndTheLeastRecentlyShownTreesGoFirst) {
    tree.Graft(kR, Walked(fs, kR));
    EXPECT_TRUE(tree.Rename(kR + L"\\sub", kR + L"\\Unter"));
    EXPECT_FALSE(tree.Rename(kR + L"\\Unter\\deep", kR + L"\\tief")); // another parent
    EXPECT_EQ(Shown(tree, kR + L"\\sub") + " " + Shown(tree, kR + L"\\unter\\deep"), "- 48/0/1");
    const std::wstring b = L"\\\\?\\C:\\B";
    fs.Folder(b + L"\\", 11, {{L"x", kDir, 0, 12, 0}});
    fs.Folder(b + L"\\x\\", 12, {{L"y", kDir, 0, 13, 0}});
    fs.Folder(b + L"\\x\\y\\", 13, {});
    tree.Graft(b, Walked(fs, b));
    tree.Touch(kR);
    tree.Touch(b);
    ASSERT_EQ(tree.Folders(), 8u);
    tree.Trim(tree.Bytes(), b); // at the limit: all stay
    EXPECT_EQ(tree.Folders(), 8u);
    tree.Trim(tree.Bytes() - 1, b); // one past: R, shown longest ago, gives up its subfolders
    EXPECT_EQ(tree.Folders(), 5u);
    EXPECT_EQ(Shown(tree, kR) + " " + Shown(tree, kR + L"\\unter") + " " + Shown(tree, b + L"\\x\\y"),
              "1584/4/3 - 18/0/0");
}

TEST_F(KeptTreeTest, TrimmingTwoTreesNeverShownGivesUpBothWholeAndReadsNothingItFreed) {
    // Two trees never shown beside the one shown: giving up the first is not enough, and
    // the folders below it come later among the candidates (freed by then).
    const std::wstring top = L"\\\\?\\C:\\T";
    fs.Folder(top + L"\\", 20, {{L"a", kDir, 0, 21, 0}, {L"c", kDir, 0, 31, 0}, {L"s", kDir, 0, 41, 0}});
    for (const wchar_t* tree : {L"a", L"c"}) {
        const std::wstring path = top + L"\\" + tree;
        fs.Folder(path + L"\\", 50, {{L"1", kDir, 0, 51, 0}, {L"2", kDir, 0, 52, 0}});
        fs.Folder(path + L"\\1\\", 51, {{L"x", 0x20, 5, 53, 0}, {L"y", kDir, 0, 54, 0}});
        fs.Folder(path + L"\\1\\y\\", 54, {});
        fs.Folder(path + L"\\2\\", 52, {});
    }
    fs.Folder(top + L"\\s\\", 41, {{L"t", kDir, 0, 42, 0}});
    fs.Folder(top + L"\\s\\t\\", 42, {});
    tree.Graft(top, Walked(fs, top));
    tree.Touch(top + L"\\s");
    ASSERT_EQ(tree.Folders(), 12u); // C:, T, s, t, and 4 in each of a and c
    // So little room that every candidate is gone through: both trees give up the 3
    // below them, and those 3 come up among the candidates after they went.
    tree.Trim(6 * (tree.Bytes() / tree.Folders()), top + L"\\s");
    std::string why;
    EXPECT_TRUE(tree.Check(why)) << why;
    EXPECT_EQ(tree.Folders(), 6u);
    EXPECT_EQ(Shown(tree, top + L"\\a") + " " + Shown(tree, top + L"\\c\\1") + " " +
                  Shown(tree, top + L"\\s\\t") + " " + Shown(tree, top),
              "77/3/1 - 18/0/0 208/10/2");
}

TEST(KeptStore, ThousandsOfFoldersOfEveryNameLengthKeepTheirOwnPlacesAndBytes) {
    // Names of 1 to 40 characters, narrow and wide, fill many chunks of the store and leave
    // tails and freed records of every size; a walk's tree is taken over in its own store
    // and copied from another.
    for (const bool shared : {true, false}) {
        auto store = std::make_shared<KeptStore>();
        KeptTree walked(store), tree(shared ? store : nullptr), gone(store);
        const auto root = walked.Enter(0, L"", 0);
        FolderTotals all;
        for (int group = 0; group < 50; ++group) {
            FolderTotals sum;
            sum.folders = 60;
            const std::wstring groupName = L"g" + std::to_wstring(group);
            const auto parent = walked.Enter(root, groupName.c_str(), groupName.size());
            for (int i = 0; i < 60; ++i) {
                const int n = group * 60 + i;
                const std::wstring name = std::to_wstring(n) + std::wstring(n % 37, n % 3 ? L'x' : L'\u0416');
                FolderTotals own;
                own.size = static_cast<std::uint64_t>(n);
                own.files = 1;
                walked.Done(walked.Enter(parent, name.c_str(), name.size()), own, true);
                gone.Done(gone.Enter(0, name.c_str(), name.size()), own, true); // freed below
                sum.size += own.size;
                sum.files += 1;
            }
            walked.Done(parent, sum, true);
            all.size += sum.size;
            all.files += sum.files;
            all.folders += 1 + sum.folders;
        }
        walked.Done(root, all, true);
        gone.Clear();
        tree.Graft(L"\\\\?\\C:\\W", std::move(walked));
        std::string why;
        ASSERT_TRUE(tree.Check(why)) << why;
        std::uint64_t sum = 0;
        int known = 0;
        tree.ForEach([&](const std::wstring& path, KeptTree::Value value, const FolderTotals& t) {
            const std::size_t slash = path.find_last_of(L'\\');
            const wchar_t first = path[slash + 1];
            if (first >= L'0' && first <= L'9' && value == KeptTree::Value::Known) {
                EXPECT_EQ(t.size, std::stoull(path.substr(slash + 1))) << std::string(path.begin(), path.end());
                sum += t.size;
                ++known;
            }
        });
        EXPECT_EQ(known, 3000);
        EXPECT_EQ(sum, 2999u * 3000u / 2);
        EXPECT_EQ(tree.Folders(), 3000u + 50u + 2u);
        EXPECT_EQ(store->Bytes(), shared ? tree.Bytes() : 0u);
        // Once every tree in it is cleared, the store gives its memory back, and serves anew.
        const std::size_t held = store->Held();
        EXPECT_GE(held, store->Bytes() + 20000u * (shared ? 1 : 0));
        tree.Clear();
        EXPECT_EQ(store->Held(), 0u);
        gone.Done(gone.Enter(0, L"again", 5), FolderTotals(), true);
        EXPECT_EQ(store->Bytes(), gone.Bytes());
        EXPECT_EQ(store->Held(), 4096u);
    }
}

} // namespace
} // namespace rb
