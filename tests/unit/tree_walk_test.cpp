#include "columns/tree_walk.h"
#include "fake_lister.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

namespace rb {
namespace {

TEST(ExtendedPath, DrivePathsGetThePrefixAndKeepTrailingDotsAndSpaces) {
    EXPECT_EQ(ExtendedPath(L"C:\\Data\\dup."), L"\\\\?\\C:\\Data\\dup.");
    EXPECT_EQ(ExtendedPath(L"C:\\Data\\g "), L"\\\\?\\C:\\Data\\g ");
    EXPECT_EQ(ExtendedPath(L"c:/a//b\\"), L"\\\\?\\c:\\a\\b");
    EXPECT_EQ(ExtendedPath(L"C:\\"), L"\\\\?\\C:\\");
    EXPECT_EQ(ExtendedPath(L"C:\\a\\.\\b\\..\\c"), L"\\\\?\\C:\\a\\c");
    EXPECT_EQ(ExtendedPath(L"C:\\..\\..\\x"), L"\\\\?\\C:\\x");
    // Names that merely start or end with dots are names.
    EXPECT_EQ(ExtendedPath(L"C:\\.git\\...\\..x"), L"\\\\?\\C:\\.git\\...\\..x");
}

TEST(ExtendedPath, NetworkPathsUseTheUncFormAndNeverClimbAboveTheShare) {
    EXPECT_EQ(ExtendedPath(L"\\\\server\\share\\dir"), L"\\\\?\\UNC\\server\\share\\dir");
    EXPECT_EQ(ExtendedPath(L"\\\\server\\share\\..\\..\\x"), L"\\\\?\\UNC\\server\\share\\x");
    EXPECT_EQ(ExtendedPath(L"\\\\server"), L"");
    EXPECT_EQ(ExtendedPath(L"\\\\?\\UNC\\s\\t\\u"), L"\\\\?\\UNC\\s\\t\\u");
    EXPECT_EQ(ExtendedPath(L"\\\\?\\unc\\s\\t"), L"\\\\?\\UNC\\s\\t");
}

TEST(PlainPath, DropsThePrefixAndTheLastSeparatorButKeepsADrivesRoot) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"\\\\?\\C:\\x\\", L"C:\\x"},   {L"\\\\?\\C:\\", L"C:\\"}, {L"\\\\?\\C:", L"C:\\"},
        {L"\\\\?\\UNC\\s\\t\\", L"\\\\s\\t"}, {L"D:\\y", L"D:\\y"}};
    for (const auto& c : cases)
        EXPECT_EQ(PlainPath(c.first), c.second) << c.first;
}

TEST(ExtendedPath, ExtendedInputStaysAndWhatIsNoFullPathIsRefused) {
    EXPECT_EQ(ExtendedPath(L"\\\\?\\D:\\x\\y."), L"\\\\?\\D:\\x\\y.");
    EXPECT_EQ(ExtendedPath(L"\\\\?\\Volume{1234}\\x"), L"\\\\?\\Volume{1234}\\x");
    for (const wchar_t* refused : {L"", L".", L"sub\\dir", L"\\rooted", L"C:", L"C:relative",
                                   L"\\\\?\\C:", L"\\\\.\\PhysicalDrive0", L"\\\\?\\", L"1:\\x"})
        EXPECT_EQ(ExtendedPath(refused), L"") << "input: " << refused;
}


TEST(WalkTree, SumsEveryEntryAndCountsFoldersAndFilesOfTheWholeTree) {
    FakeLister fs;
    fs.Folder(L"R\\", 1, {{L"a.txt", 0x20, 1000, 2, 0}, {L"sub", kDir, 0, 3, 0}});
    fs.Folder(L"R\\sub\\", 3, {{L"b", 0x20, 5000000000ull, 4, 0}, {L".git", kDir, 0, 5, 0}});
    fs.Folder(L"R\\sub\\.git\\", 5, {{L"c", 0x22, 3, 6, 0}});
    FolderTotals t = WalkTree(L"R", fs);
    EXPECT_EQ(t.files, 3);
    EXPECT_EQ(t.folders, 2);
    // Three folders with "." and ".." of 7 and 11 each, and the files' sizes.
    EXPECT_EQ(t.size, 1000u + 5000000000ull + 3u + 3 * 18u);
    EXPECT_EQ(fs.listed, (std::vector<std::wstring>{L"R\\", L"R\\sub\\", L"R\\sub\\.git\\"}));
    EXPECT_EQ(fs.sameFolderQuestions, 0);
}

TEST(WalkTree, DirectoryLinksAreCountedButNotEntered) {
    FakeLister fs;
    fs.Folder(L"R\\", 1,
              {{L"junction", kLink, 0, 2, 0xA0000003}, // mount point: name surrogate
               {L"symlink", kLink, 0, 3, 0xA000000C},  // symbolic link: name surrogate
               {L"unix-link", kLink, 0, 4, 0},         // Wine's Unix link: no valid tag
               {L"cloud", kLink, 0, 5, 0x9000001A},    // cloud folder: walked
               {L"recalled", kDir | kAttributeRecallOnOpen, 0, 6, 0}});
    fs.Folder(L"R\\cloud\\", 5, {{L"here.txt", 0x20, 40, 7, 0}});
    for (const wchar_t* name : {L"junction", L"symlink", L"unix-link", L"recalled"})
        fs.Folder(std::wstring(L"R\\") + name + L"\\", 9, {{L"never.txt", 0x20, 1, 8, 0}});
    FolderTotals t = WalkTree(L"R\\", fs);
    EXPECT_EQ(t.folders, 5);
    EXPECT_EQ(t.files, 1);
    EXPECT_EQ(t.size, 40u + 2 * 18u);
    EXPECT_EQ(fs.listed, (std::vector<std::wstring>{L"R\\", L"R\\cloud\\"}));
}

TEST(WalkTree, AFolderThatIsItsOwnAncestorIsNotEnteredAgain) {
    // Links the listing does not mark: "loop" and "up" lead back to R and to R\a.
    FakeLister fs;
    fs.Folder(L"R\\", 10,
              {{L"f", 0x20, 3, 11, 0}, {L"a", kDir, 0, 12, 0}, {L"loop", kDir, 0, 10, 0}});
    fs.Folder(L"R\\a\\", 12,
              {{L"g", 0x20, 4, 13, 0}, {L"up", kDir, 0, 12, 0}, {L"top", kDir, 0, 10, 0}});
    FolderTotals t = WalkTree(L"R", fs);
    EXPECT_EQ(t.files, 2);
    EXPECT_EQ(t.folders, 4);
    EXPECT_EQ(t.size, 7u + 2 * 18u);
    EXPECT_EQ(fs.listed, (std::vector<std::wstring>{L"R\\", L"R\\a\\"}));
    EXPECT_EQ(fs.sameFolderQuestions, 3);
}

TEST(WalkTree, WithoutIdsAListingLikeAnAncestorsIsAskedAboutAndThenCountsNowhere) {
    // The links of the test above through a listing without ids (the find functions of
    // XP): a link lists exactly what its target lists.
    FakeLister fs;
    fs.Folder(L"R\\", 0, {{L"f", 0x20, 3, 0, 0}, {L"a", kDir, 0, 0, 0}, {L"loop", kDir, 0, 0, 0}});
    fs.Folder(L"R\\a\\", 0,
              {{L"g", 0x20, 4, 0, 0}, {L"up", kDir, 0, 0, 0}, {L"top", kDir, 0, 0, 0}});
    fs.folders[L"R\\loop\\"] = fs.folders[L"R\\"];
    fs.folders[L"R\\a\\up\\"] = fs.folders[L"R\\a\\"];
    fs.folders[L"R\\a\\top\\"] = fs.folders[L"R\\"];
    FolderTotals t = WalkTree(L"R", fs);
    EXPECT_EQ(t.files, 2);
    EXPECT_EQ(t.folders, 4);
    EXPECT_EQ(t.size, 7u + 2 * 18u);
    EXPECT_EQ(fs.listed, (std::vector<std::wstring>{L"R\\", L"R\\a\\", L"R\\a\\up\\",
                                                    L"R\\a\\top\\", L"R\\loop\\"}));
    EXPECT_EQ(fs.sameFolderQuestions, 3);

    // A folder whose listing only looks like its parent's is walked when the lister says
    // that they are two folders.
    FakeLister twin;
    twin.sameFolderAnswer = false;
    twin.Folder(L"R\\", 0, {{L"x", kDir, 0, 0, 0}, {L"f", 0x20, 5, 0, 0}});
    twin.folders[L"R\\x\\"] = twin.folders[L"R\\"];
    FolderTotals u = WalkTree(L"R", twin);
    EXPECT_EQ(u.files, 2);
    EXPECT_EQ(u.folders, 2);
    EXPECT_EQ(u.size, 2 * (5u + 18u));
    EXPECT_EQ(twin.sameFolderQuestions, 1);
    // A different write time makes another listing: no question.
    FakeLister touched;
    touched.Folder(L"R\\", 0, {{L"x", kDir, 0, 0, 0}, {L"f", 0x20, 5, 0, 0}});
    touched.folders[L"R\\x\\"] = touched.folders[L"R\\"];
    touched.folders[L"R\\x\\"][3].writeTime = 1;
    EXPECT_EQ(WalkTree(L"R", touched).files, 2);
    EXPECT_EQ(touched.sameFolderQuestions, 0);
}

TEST(WalkTree, EqualIdsOfDifferentFoldersAndUnknownIdsDoNotStopTheWalk) {
    // Two file systems whose roots share an id (as mount roots do), and a file system
    // without file ids (0 for every entry).
    FakeLister fs;
    fs.sameFolderAnswer = false;
    fs.Folder(L"R\\", 2, {{L"mnt", kDir, 0, 2, 0}, {L"fat", kDir, 0, 0, 0}});
    fs.Folder(L"R\\mnt\\", 2, {{L"x", 0x20, 5, 3, 0}});
    fs.Folder(L"R\\fat\\", 0, {{L"d", kDir, 0, 0, 0}});
    fs.Folder(L"R\\fat\\d\\", 0, {{L"y", 0x20, 6, 0, 0}});
    FolderTotals t = WalkTree(L"R", fs);
    EXPECT_EQ(t.files, 2);
    EXPECT_EQ(t.folders, 3);
    EXPECT_EQ(fs.listed.size(), 4u);
    EXPECT_EQ(fs.sameFolderQuestions, 1);
}

TEST(WalkTree, PathsUpToTheSystemLimitAreListedAndLongerOnesOnlyCounted) {
    // Root "R\" plus names of 254 characters and a backslash: level k ends at 2 + 255 k.
    FakeLister fs;
    std::wstring name(254, L'n');
    std::wstring path = L"R\\";
    int levels = 0;
    while (path.size() + 255 + 2 <= kMaxPathCharacters) {
        fs.Folder(path, 100 + levels, {{name, kDir, 0, 101u + levels, 0}, {L"f", 0x20, 1, 1, 0}});
        path += name + L"\\";
        ++levels;
    }
    // The last folder that fits holds one more, which would pass the limit.
    fs.Folder(path, 100 + levels, {{name, kDir, 0, 101u + levels, 0}, {L"f", 0x20, 1, 1, 0}});
    fs.Folder(path + name + L"\\", 999, {{L"f", 0x20, 1, 1, 0}});
    FolderTotals t = WalkTree(L"R", fs);
    ASSERT_EQ(levels, 128); // 2 + 128 * 255 = 32642 characters
    EXPECT_EQ(fs.listed.size(), static_cast<std::size_t>(levels + 1));
    EXPECT_EQ(fs.listed.back().size(), 2u + 255u * 128);
    EXPECT_EQ(t.files, levels + 1);
    EXPECT_EQ(t.folders, levels + 1);
}

TEST(WalkTree, AFolderThatCannotBeListedAddsOnlyItsCount) {
    FakeLister fs;
    fs.Folder(L"R\\", 1, {{L"locked", kDir, 0, 2, 0}, {L"open.txt", 0x20, 5, 3, 0}});
    FolderTotals t = WalkTree(L"R", fs);
    EXPECT_EQ(t.files, 1);
    EXPECT_EQ(t.folders, 1);
    EXPECT_EQ(t.size, 5u + 18u);
    EXPECT_TRUE(t.whole);
    // The folder itself not listable: its numbers are nobody's.
    FolderTotals locked = WalkTree(L"R\\locked", fs);
    EXPECT_FALSE(locked.whole);
    EXPECT_EQ(locked.folders + locked.files, 0);
    EXPECT_FALSE(WalkTree(L"", fs).whole);
}

TEST(WalkTree, AListingThatBreaksOffAtAnyDepthLeavesTheWalkWithoutNumbers) {
    for (const wchar_t* broken : {L"R\\", L"R\\a\\", L"R\\a\\b\\"}) {
        FakeLister fs;
        fs.Folder(L"R\\", 1, {{L"a", kDir, 0, 2, 0}, {L"f", 0x20, 5, 3, 0}});
        fs.Folder(L"R\\a\\", 2, {{L"b", kDir, 0, 4, 0}, {L"g", 0x20, 6, 5, 0}});
        fs.Folder(L"R\\a\\b\\", 4, {{L"h", 0x20, 7, 6, 0}});
        fs.brokenFolders.insert(broken);
        FolderTotals t = WalkTree(L"R", fs);
        EXPECT_FALSE(t.whole) << broken;
        EXPECT_EQ(t.size + t.files + t.folders, 0u) << broken;
        EXPECT_EQ(fs.listed.back(), broken); // nothing listed after it
    }
}

} // namespace
} // namespace rb
