// Folder size, folder count and file count on real folders.
#include <gtest/gtest.h>

#include "column_client.h"
#include "columns/folder_walk.h"
#include "columns/option_store.h"
#include "columns/options.h"
#include "support.h"

namespace {

using rbtest::Provider;
using rbtest::TempDir;
using rbtest::Text;

using FolderColumns = rbtest::CleanOptions;

TEST_F(FolderColumns, EmptyFolderShowsZeros) {
    TempDir dir;
    Provider provider;
    EXPECT_EQ(Text(provider.p, 0, dir.Path()), L" 0,00 MB");
    EXPECT_EQ(Text(provider.p, 1, dir.Path()), L" 0");
    EXPECT_EQ(Text(provider.p, 2, dir.Path()), L" 0");
    rb::Options().tausenderOrdner = 0;
    rb::Options().tausenderDateien = 0;
    EXPECT_EQ(Text(provider.p, 1, dir.Path()), L"0");
    EXPECT_EQ(Text(provider.p, 2, dir.Path()), L"0");
}

TEST_F(FolderColumns, SubfolderWithTwoFiles) {
    TempDir dir;
    dir.MakeDir(L"sub");
    dir.WriteFile(L"sub\\a.bin", std::string(1000, 'a'));
    dir.WriteFile(L"sub\\b.bin", std::string(536, 'b'));
    Provider provider;
    rb::Options().groesseTyp = rb::kUnitBytes;
    EXPECT_EQ(Text(provider.p, 0, dir.Path()), L"  1.536");
    EXPECT_EQ(Text(provider.p, 1, dir.Path()), L" 1");
    EXPECT_EQ(Text(provider.p, 2, dir.Path()), L" 2");
    rb::Options().groesseTyp = rb::kUnitKilobytes;
    EXPECT_EQ(Text(provider.p, 0, dir.Path()), L" 1,50 KB");
    rb::Options().nachkommanteil = 0;
    EXPECT_EQ(Text(provider.p, 0, dir.Path()), L" 2 KB");
    // The subfolder itself.
    EXPECT_EQ(Text(provider.p, 1, dir / L"sub"), L" 0");
    EXPECT_EQ(Text(provider.p, 2, dir / L"sub"), L" 2");
}

TEST_F(FolderColumns, ManyEntriesAreGroupedOrNot) {
    TempDir dir;
    for (int i = 0; i < 1001; ++i)
        dir.WriteFile(L"f" + std::to_wstring(i), "");
    for (int i = 0; i < 3; ++i)
        dir.MakeDir(L"d" + std::to_wstring(i));
    Provider provider;
    EXPECT_EQ(Text(provider.p, 2, dir.Path()), L"  1.001");
    EXPECT_EQ(Text(provider.p, 1, dir.Path()), L" 3");
    rb::Options().tausenderDateien = 0;
    EXPECT_EQ(Text(provider.p, 2, dir.Path()), L"1001");
    // Each count follows its own switch.
    EXPECT_EQ(Text(provider.p, 1, dir.Path()), L" 3");
}

TEST_F(FolderColumns, HiddenAndSystemFilesCount) {
    TempDir dir;
    std::wstring hidden = dir.WriteFile(L"hidden.txt", "12345");
    std::wstring system = dir.WriteFile(L"system.txt", "123");
    std::wstring sub = dir.MakeDir(L"hiddendir");
    dir.WriteFile(L"hiddendir\\x", "1");
    SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesW(system.c_str(), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesW(sub.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
    std::int64_t files = 0, folders = 0;
    EXPECT_EQ(rb::WalkFolder(dir.Path().c_str(), files, folders), 9u);
    EXPECT_EQ(files, 3);
    EXPECT_EQ(folders, 1);
}

TEST_F(FolderColumns, NamesOutsideTheCodePageAreWalked) {
    TempDir dir;
    std::wstring cyrillic = dir.MakeDir(L"\u0424\u043e\u0442\u043e");
    dir.WriteFile(L"\u0424\u043e\u0442\u043e\\\u4e2d\u6587.txt", std::string(2048, 'x'));
    dir.WriteFile(L"\u0424\u043e\u0442\u043e\\b.txt", std::string(1024, 'x'));
    Provider provider;
    rb::Options().groesseTyp = rb::kUnitKilobytes;
    EXPECT_EQ(Text(provider.p, 0, cyrillic), L" 3,00 KB");
    EXPECT_EQ(Text(provider.p, 2, cyrillic), L" 2");
    EXPECT_EQ(Text(provider.p, 2, dir.Path()), L" 2");
    EXPECT_EQ(Text(provider.p, 1, dir.Path()), L" 1");
    rb::Options().dateiGroesse = 1;
    EXPECT_EQ(Text(provider.p, 0, dir / L"\u0424\u043e\u0442\u043e\\\u4e2d\u6587.txt"),
              L" 2,00 KB");
}

TEST_F(FolderColumns, PathsTooLongForTheBufferAreCountedNotWalked) {
    TempDir dir;
    // Nest folders until the joined path passes 511 characters.
    std::wstring relative;
    std::wstring name(60, L'n');
    for (int depth = 0; depth < 9; ++depth) {
        relative += (relative.empty() ? L"" : L"\\") + name;
        // Made through the long-path prefix; the walk itself uses plain paths.
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + (dir / relative)).c_str(), nullptr)) << depth;
        ASSERT_TRUE(rbtest::WriteBytes(L"\\\\?\\" + (dir / relative) + L"\\f.txt", "x"));
    }
    size_t base = dir.Path().size() + 1;
    // Levels whose "*.*" pattern still fits 511 characters are listed.
    int listed = 0;
    for (int depth = 1; depth <= 9; ++depth)
        if (base + depth * 61 + 3 < 512)
            ++listed;
    ASSERT_LT(listed, 9);
    std::int64_t files = 0, folders = 0;
    std::uint64_t size = rb::WalkFolder(dir.Path().c_str(), files, folders);
    EXPECT_EQ(files, listed);
    EXPECT_EQ(size, static_cast<std::uint64_t>(listed));
    // Every nested folder up to the first unlisted one is counted.
    EXPECT_EQ(folders, listed + 1);
}

TEST_F(FolderColumns, FileSizeOnlyWhileTheOptionIsOn) {
    TempDir dir;
    std::wstring file = dir.WriteFile(L"f.dat", std::string(1536, 'x'));
    Provider provider;
    EXPECT_EQ(Text(provider.p, 0, file), L"");
    rb::Options().dateiGroesse = 1;
    rb::Options().groesseTyp = rb::kUnitKilobytes;
    EXPECT_EQ(Text(provider.p, 0, file), L" 1,50 KB");
    rb::Options().groesseTyp = rb::kUnitMegabytes;
    EXPECT_EQ(Text(provider.p, 0, file), L" 0,00 MB");
    rb::Options().groesseTyp = rb::kUnitBytes;
    EXPECT_EQ(Text(provider.p, 0, file), L"  1.536");
    rb::Options().tausenderGroesse = 0;
    EXPECT_EQ(Text(provider.p, 0, file), L"  1536");
    // Stored options are what a new handler object picks up.
    rb::WriteIntOption("datei_groesse", 0);
    Provider fresh;
    EXPECT_EQ(Text(fresh.p, 0, file), L"");
    // A missing file shows the size text of 0.
    rb::Options().dateiGroesse = 1;
    EXPECT_EQ(rbtest::Ask(fresh.p, 0, rbtest::Item(dir / L"gone.dat", 0, L".dat")).text, L" 0");
}

// Unix-side fixtures: a folder without permissions and a directory link cycle.
std::string UnixFixtures() {
    const char* dir = getenv("RB_UNIX_FIXTURES");
    return dir ? dir : "";
}

TEST_F(FolderColumns, FolderThatCannotBeListedCountsAsAFolderOnly) {
    if (UnixFixtures().empty())
        GTEST_SKIP() << "needs RB_UNIX_FIXTURES";
    std::wstring root = rbtest::UnixToWindowsPath(UnixFixtures() + "/unlistable");
    std::int64_t files = 0, folders = 0;
    std::uint64_t size = rb::WalkFolder(root.c_str(), files, folders);
    // unlistable/ holds open.txt (5 bytes) and locked/, whose file is not reached.
    EXPECT_EQ(files, 1);
    EXPECT_EQ(folders, 1);
    EXPECT_EQ(size, 5u);
    Provider provider;
    EXPECT_EQ(Text(provider.p, 0, root + L"\\locked"), L" 0,00 MB");
    EXPECT_EQ(Text(provider.p, 2, root + L"\\locked"), L" 0");
}

TEST_F(FolderColumns, DirectoryLinkCycleEnds) {
    if (UnixFixtures().empty())
        GTEST_SKIP() << "needs RB_UNIX_FIXTURES";
    std::wstring root = rbtest::UnixToWindowsPath(UnixFixtures() + "/cycle");
    std::int64_t files = 0, folders = 0;
    std::uint64_t size = rb::WalkFolder(root.c_str(), files, folders);
    // cycle/ holds a.txt (3 bytes) and loop -> cycle. Each level repeats both; the walk
    // ends where "loop\\" no longer fits the buffer, or earlier where the system stops
    // following links (Linux after 40).
    size_t base = root.size() + 1;
    int fitting = 0;
    while (base + fitting * 5 + 3 < 512)
        ++fitting;
    EXPECT_GE(files, 2);
    EXPECT_LE(files, fitting);
    EXPECT_EQ(folders, files);
    EXPECT_EQ(size, 3u * static_cast<std::uint64_t>(files));
}

} // namespace
