// The shelf of saved trees in a folder of the test's own.
#include <gtest/gtest.h>

#include "browse/tree_shelf.h"
#include "common/file_replace.h"
#include "columns/tree_walk.h"
#include "support.h"
#include "thread.h"

#include <utility>

namespace {

const std::wstring kDrive = L"\\\\?\\C:\\";
constexpr std::uint64_t kFile = 4096;

// A saved tree of the one folder `root`, padded with 'x' to `size` bytes.
std::string SavedBytes(const std::wstring& root, std::size_t size, rb::SavedTreeInfo& info) {
    rb::KeptTree walked, tree;
    rb::FolderTotals totals;
    totals.whole = true;
    walked.Done(walked.Enter(0, L"", 0), totals, true);
    tree.Graft(root, std::move(walked));
    info.root = root;
    std::string bytes;
    EXPECT_TRUE(rb::SaveTree(tree, info, bytes));
    bytes.resize(size, 'x');
    return bytes;
}

// The roots on the shelf below kDrive, most recently used first.
std::wstring Listed() {
    std::wstring roots;
    for (const rb::ShelfEntry& entry : rb::ListShelf())
        roots += (roots.empty() ? L"" : L" ") + entry.info.root.substr(kDrive.size());
    return roots;
}

class TreeShelfTest : public testing::Test {
protected:
    void SetUp() override {
        rb::SetShelfFolder(dir.Path());
        previous = rb::SetShelfLimits({kFile, 2 * kFile + 100, 3});
    }
    void TearDown() override {
        rb::SetShelfLimits(previous);
        rb::SetShelfFolder(rbtest::TestShelf());
    }
    rbtest::TempDir dir;
    rb::ShelfLimits previous;
};

TEST_F(TreeShelfTest, KeepsTheDeepestRootsWithinTheirCapsLeastRecentlyUsedGoingFirst) {
    struct Step {
        bool take; // else put
        const wchar_t* path;
        std::uint64_t size;
        bool done;
        const wchar_t* after; // the shelf
    } steps[] = {
        {false, L"a", 100, true, L"a"},
        {false, L"ab", 100, true, L"ab a"},
        {false, L"a\\b\\c", 100, true, L"a\\b\\c ab a"},
        {false, L"A", 100, true, L"A ab"}, // the same file as "a"; "a\b\c" below it goes
        {false, L"x", kFile, true, L"x A ab"},
        {false, L"y", kFile + 1, false, L"x A ab"},
        {true, L"ab", 100, true, L"ab x A"},
        {false, L"z", 100, true, L"z ab x"}, // a fourth file: "A" goes
        {false, L"ab", kFile, true, L"ab z x"}, // 2 * kFile + 100 in all: all stay
        {false, L"z", 101, true, L"z ab"},      // one byte more: "x" goes
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(rbtest::Narrow(step.path));
        const std::wstring path = kDrive + step.path;
        rb::SavedTreeInfo info;
        std::string bytes = SavedBytes(path, static_cast<std::size_t>(step.size), info), taken;
        if (!step.take) {
            EXPECT_EQ(rb::PutOnShelf(info, bytes), step.done);
        } else {
            for (const rb::ShelfEntry& entry : rb::ListShelf())
                if (entry.info.root == path)
                    EXPECT_TRUE(rb::TakeFromShelf(entry, taken));
            EXPECT_EQ(taken, bytes);
        }
        EXPECT_EQ(Listed(), step.after);
    }

    // A file that changed size since it was listed is not taken.
    std::vector<rb::ShelfEntry> entries = rb::ListShelf();
    ASSERT_EQ(entries.size(), 2u);
    std::string taken = "old";
    ASSERT_TRUE(rbtest::WriteBytes(entries[0].file, rbtest::ReadBytes(entries[0].file) + "x"));
    EXPECT_FALSE(rb::TakeFromShelf(entries[0], taken));
    EXPECT_EQ(taken, "");

    dir.WriteFile(L"other.rbtree", "kept");
    const unsigned clears = rb::ShelfClears(), changes = rb::ShelfChanges();
    EXPECT_TRUE(rb::ClearShelf());
    EXPECT_EQ(Listed(), L"");
    EXPECT_EQ(rbtest::ReadBytes(dir / L"other.rbtree"), "kept");

    // A save made before everything was deleted is not written; the next save takes a
    // damaged file of the shelf's names away, not one of another version; a header
    // longer than the first read is read whole.
    const std::wstring junk = dir.WriteFile(L"0123456789abcdef.rbtree", std::string("RbKT\1\0\0\0damaged", 15));
    const std::wstring newer = dir.WriteFile(L"00000000000000ff.rbtree", std::string("RbKT\2\0\0\0newer", 13));
    const std::wstring longName(300, L'l');
    rb::SavedTreeInfo info;
    const std::string bytes = SavedBytes(kDrive + longName, 1000, info);
    EXPECT_FALSE(rb::PutOnShelf(info, bytes, clears));
    EXPECT_NE(GetFileAttributesW(junk.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(rb::PutOnShelf(info, bytes, clears + 1));
    EXPECT_EQ(Listed(), longName);
    EXPECT_EQ(GetFileAttributesW(junk.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(rbtest::ReadBytes(newer).size(), 13u);
    EXPECT_EQ(rb::ShelfChanges(), changes + 2); // cleared, saved

    // While a save holds the shelf (its first step waits for `release`), a listing that
    // does not wait is refused; then it lists.
    static HANDLE entered, release;
    entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const rb::ReplaceStepHook hook = rb::SetReplaceStepHook([](rb::ReplaceStep, const std::wstring&, DWORD) {
        SetEvent(entered);
        return WaitForSingleObject(release, 60000) == WAIT_OBJECT_0 ? DWORD{0} : DWORD{ERROR_TIMEOUT};
    });
    rbtest::Thread save([&] { EXPECT_TRUE(rb::PutOnShelf(info, bytes)); });
    WaitForSingleObject(entered, 60000);
    EXPECT_FALSE(rb::ListShelf(entries, false));
    SetEvent(release);
    save.Join();
    EXPECT_TRUE(rb::ListShelf(entries, false));
    EXPECT_EQ(entries.size(), 1u);
    rb::SetReplaceStepHook(hook);
    CloseHandle(entered);
    CloseHandle(release);
}

TEST_F(TreeShelfTest, FolderIdentityAndPlaces) {
    // A tree's identity: a local folder's own, a mapped drive's share, a share's path.
    rb::DriveConnectionFunction connection = rb::SetDriveConnectionFunction(
        [](const std::wstring& drive, std::wstring& share) {
            share = drive == L"X:" ? L"\\\\server\\a" : drive == L"Y:" ? L"\\\\SERVER\\b" : L"";
            return !share.empty();
        });
    const struct {
        std::wstring path;
        bool told;
        std::uint32_t serial; // 1: the same as the row before's; 2: another
        std::uint64_t id;     // as serial
    } identities[] = {
        {L"\\\\?\\X:\\d", true, 2, 0},
        {L"\\\\?\\X:\\e\\f", true, 1, 0}, // the same share
        {L"\\\\?\\Y:\\d", true, 2, 0},      // another share at another letter
        {L"\\\\?\\UNC\\server\\a\\d", true, 0, 0},
        {rb::ExtendedPath(dir.MakeDir(L"a")), true, 2, 2},
        {rb::ExtendedPath(dir / L"A"), true, 1, 1},
        {rb::ExtendedPath(dir.MakeDir(L"b")), true, 1, 2},
        {L"\\\\?\\C:", true, 1, 2}, // its drive's root folder, not the volume
        {rb::ExtendedPath(dir / L"missing"), false, 0, 0},
    };
    std::uint32_t before = 0;
    std::uint64_t idBefore = 0;
    for (const auto& identity : identities) {
        std::uint32_t treeSerial = 7;
        std::uint64_t treeId = 7;
        EXPECT_EQ(rb::TreeIdentity(identity.path, treeSerial, treeId), identity.told) << rbtest::Narrow(identity.path);
        EXPECT_EQ(treeSerial == 0 ? 0u : treeSerial == before ? 1u : 2u, identity.serial) << rbtest::Narrow(identity.path);
        EXPECT_EQ(treeId == 0 ? 0u : treeId == idBefore ? 1u : 2u, identity.id) << rbtest::Narrow(identity.path);
        before = treeSerial;
        idBefore = treeId;
    }
    rb::SetDriveConnectionFunction(connection);

    EXPECT_TRUE(rb::IsRemotePath(L"\\\\?\\UNC\\server\\share\\a"));
    EXPECT_FALSE(rb::IsRemotePath(kDrive + L"a"));
    rb::SetShelfFolder(L"");
    const std::wstring real = rb::ShelfFolder();
    EXPECT_EQ(real.substr(real.size() - 11), L"\\Rubrikator");
    EXPECT_NE(GetFileAttributesW(real.c_str()), INVALID_FILE_ATTRIBUTES);
    rb::SetShelfFolder(rbtest::TestShelf());
}

} // namespace
