// Folder size, folder count and file count on real folders.
#include <gtest/gtest.h>

#include "column_client.h"
#include "columns/compute.h"
#include "columns/folder_walk.h"
#include "columns/system_lister.h"
#include "common/newer_api.h"
#include "columns/image_library.h"
#include "columns/option_store.h"
#include "columns/options.h"
#include "images.h"
#include "support.h"
#include "thread.h"
#include "windows_found.h"

#include <new>
#include <vector>

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

// Made through the extended form: plain paths stop at 260 characters.
bool MakeDeepDir(const std::wstring& path) {
    return CreateDirectoryW((L"\\\\?\\" + path).c_str(), nullptr) != 0;
}

TEST_F(FolderColumns, DeepTreesAndLongNamesAreCountedTimedAndReadLikeAnyOther) {
    TempDir dir;
    // Four nested folders with 255-character names: the deepest path passes 1,000
    // characters. Each level holds a file of its own size, so a missing level shows.
    std::wstring path = dir.Path();
    const std::uint64_t sizes[] = {10, 200, 3000, 40000};
    std::uint64_t total = 0;
    for (int level = 0; level < 4; ++level) {
        path += L"\\" + std::wstring(255, static_cast<wchar_t>(L'a' + level));
        ASSERT_TRUE(MakeDeepDir(path)) << level;
        ASSERT_TRUE(
            rbtest::WriteBytes(L"\\\\?\\" + path + L"\\f.bin", std::string(sizes[level], 'x')));
        total += sizes[level];
    }
    ASSERT_GT(path.size(), 1000u);
    std::wstring image = path + L"\\" + std::wstring(251, L'i') + L".bmp";
    ASSERT_TRUE(rbtest::WriteBytes(L"\\\\?\\" + image, rbtest::MakeBmp(17, 5, 24, 3780)));
    total += rbtest::MakeBmp(17, 5, 24, 3780).size();
    std::int64_t files = 0, folders = 0;
    EXPECT_EQ(rb::WalkFolder(dir.Path().c_str(), files, folders), total);
    EXPECT_EQ(files, 5);
    EXPECT_EQ(folders, 4);

    // The producers take such paths whole, also where the shell's 260 would cut them.
    std::wstring deepFile = path + L"\\f.bin";
    ASSERT_TRUE(
        rbtest::SetTimes(L"\\\\?\\" + deepFile, rbtest::TimeAt(3, 456), rbtest::TimeAt(7, 45)));
    rb::Options().groesseTyp = rb::kUnitBytes;
    rb::Options().dateiGroesse = 1;
    rb::ImageLibrary images;
    auto value = [&](unsigned column, const std::wstring& item, DWORD attributes) {
        return rb::ComputeColumnValue(column, item.c_str(), attributes, nullptr, images).text;
    };
    EXPECT_EQ(value(0, deepFile, 0), L"  40.000");
    EXPECT_EQ(value(9, deepFile, 0), L"07.045");
    EXPECT_EQ(value(11, deepFile, 0), L"03.456");
    EXPECT_EQ(value(3, image, 0), L"96 x 96");
    EXPECT_EQ(value(5, image, 0), L"17 x 5");
    EXPECT_EQ(value(2, path, FILE_ATTRIBUTE_DIRECTORY), L" 2");
    EXPECT_EQ(value(1, dir.Path(), FILE_ATTRIBUTE_DIRECTORY), L" 4");
}

TEST_F(FolderColumns, FilesPastFourGibibytesAreSummedWithAllTheirBits) {
    TempDir dir;
    std::wstring big = dir / L"big.bin";
    HANDLE file = CreateFileW(big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = 5000000123LL; // 0x1_2A05_F27B: the high half is 1
    DWORD ignored = 0;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    ASSERT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
    dir.WriteFile(L"small.bin", std::string(77, 's'));
    std::int64_t files = 0, folders = 0;
    EXPECT_EQ(rb::WalkFolder(dir.Path().c_str(), files, folders), 5000000200u);
    rbtest::Provider provider;
    rb::Options().groesseTyp = rb::kUnitBytes;
    EXPECT_EQ(Text(provider.p, 0, dir.Path()), L"    5.000.000.200");
    rb::Options().dateiGroesse = 1;
    EXPECT_EQ(Text(provider.p, 0, big), L"    5.000.000.123");
    EXPECT_EQ(rb::FileSize(big.c_str()), 5000000123u);
}

TEST_F(FolderColumns, AThousandRequestsLeaveNoHandleBehind) {
    TempDir dir;
    dir.MakeDir(L"sub");
    dir.WriteFile(L"sub\\a.txt", "abc");
    std::wstring file = dir.WriteFile(L"t.txt", "t");
    std::wstring image = dir.WriteFile(L"i.bmp", rbtest::MakeBmp(3, 2, 24, 2835));
    std::wstring sub = dir / L"sub";
    rb::ImageLibrary images;
    auto value = [&](unsigned column, const std::wstring& item, DWORD attributes) {
        return rb::ComputeColumnValue(column, item.c_str(), attributes, nullptr, images).text;
    };
    // Each path once first: the system's own first-use handles are not ours.
    value(9, file, 0);
    value(10, sub, FILE_ATTRIBUTE_DIRECTORY);
    value(3, image, 0);
    value(3, file, 0);
    const int before = rbtest::OpenHandleCount();
    const int blocks = rbtest::ProcessHeapBlocks();
    for (int i = 0; i < 1000; ++i) {
        switch (i % 5) {
        case 0:
            ASSERT_EQ(value(9, file, 0).size(), 6u); // the file opened for its times
            break;
        case 1:
            ASSERT_EQ(value(10, sub, FILE_ATTRIBUTE_DIRECTORY).size(), 6u); // the lookup
            break;
        case 2: {
            std::int64_t files = 0, folders = 0;
            ASSERT_EQ(rb::WalkFolder(dir.Path().c_str(), files, folders),
                      4u + rbtest::MakeBmp(3, 2, 24, 2835).size()); // listings
            break;
        }
        case 3:
            ASSERT_EQ(value(5, image, 0), L"3 x 2"); // a decoded image
            break;
        default:
            ASSERT_EQ(value(3, file, 0), L""); // a file that does not decode
            break;
        }
    }
    EXPECT_EQ(rbtest::OpenHandleCount(), before);
    // Wine's lookup of one name keeps no handle of its own, only a block of memory: a
    // find left open shows there.
    EXPECT_LT(rbtest::ProcessHeapBlocks(), blocks + 50);
}

TEST_F(FolderColumns, AFolderNamedLikeHiddenOnUnixIsWalked) {
    TempDir dir;
    dir.MakeDir(L".git");
    dir.MakeDir(L".git\\objects");
    dir.WriteFile(L".git\\objects\\pack", std::string(70, 'p'));
    std::int64_t files = 0, folders = 0;
    EXPECT_EQ(rb::WalkFolder(dir.Path().c_str(), files, folders), 70u);
    EXPECT_EQ(files, 1);
    EXPECT_EQ(folders, 2);
}

TEST_F(FolderColumns, EmptyAndRelativePathsGiveNoValueAndListNothing) {
    TempDir dir;
    dir.MakeDir(L"sub");
    dir.WriteFile(L"sub\\a.txt", "abc");
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(dir.Path().c_str()));
    rbtest::Provider provider;
    std::uint64_t listed = rb::FolderListingCount();
    for (const wchar_t* path : {L"", L".", L"sub", L"\\", L"C:"}) {
        for (DWORD column : {0u, 1u, 2u, 3u, 9u, 10u, 11u}) {
            rbtest::Answer a = rbtest::Ask(provider.p, column,
                                           rbtest::Item(path, FILE_ATTRIBUTE_DIRECTORY, nullptr));
            EXPECT_EQ(a.hr, S_FALSE) << "path '" << rbtest::Narrow(path) << "' column " << column;
            EXPECT_EQ(a.vt, VT_EMPTY);
        }
    }
    EXPECT_EQ(rb::FolderListingCount(), listed);
    std::int64_t files = 0, folders = 0;
    EXPECT_EQ(rb::WalkFolder(L"", files, folders), 0u);
    EXPECT_EQ(rb::WalkFolder(L"sub", files, folders), 0u);
    EXPECT_EQ(files + folders, 0);
    SetCurrentDirectoryW(previous);
}

TEST_F(FolderColumns, ThreeColumnsOfOneFolderWalkItOnce) {
    TempDir dir;
    for (const wchar_t* name : {L"a", L"b", L"c"}) {
        dir.MakeDir(name);
        dir.WriteFile(std::wstring(name) + L"\\x", "12");
    }
    rbtest::Provider provider;
    std::uint64_t before = rb::FolderListingCount();
    EXPECT_EQ(Text(provider.p, 0, dir.Path()), L" 0,00 MB");
    EXPECT_EQ(Text(provider.p, 1, dir.Path()), L" 3");
    EXPECT_EQ(Text(provider.p, 2, dir.Path()), L" 3");
    // The folder and its three subfolders, listed once each.
    EXPECT_EQ(rb::FolderListingCount() - before, 4u);
}

TEST_F(FolderColumns, ConcurrentRequestsForOneFolderShareOneWalk) {
    TempDir dir;
    for (int i = 0; i < 150; ++i) {
        std::wstring sub = dir.MakeDir(L"d" + std::to_wstring(i));
        rbtest::WriteBytes(sub + L"\\one", "1");
        rbtest::WriteBytes(sub + L"\\two", "22");
    }
    rbtest::Provider provider;
    rb::Options().groesseTyp = rb::kUnitBytes;
    const int threads = 9;
    std::vector<std::wstring> got(threads);
    HANDLE start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::uint64_t before = rb::FolderListingCount();
    {
        std::vector<rbtest::Thread> workers;
        for (int t = 0; t < threads; ++t)
            workers.emplace_back([&, t] {
                WaitForSingleObject(start, INFINITE);
                got[t] = Text(provider.p, static_cast<DWORD>(t % 3), dir.Path());
            });
        SetEvent(start);
    }
    CloseHandle(start);
    EXPECT_EQ(rb::FolderListingCount() - before, 151u);
    for (int t = 0; t < threads; ++t)
        EXPECT_EQ(got[t], t % 3 == 0 ? L" 450" : t % 3 == 1 ? L" 150" : L" 300") << t;
}

std::uint32_t testNow = 0;
std::uint32_t TestClock() {
    return testNow;
}

TEST_F(FolderColumns, AWalksResultServesTwoSecondsThenTheFolderIsWalkedAgain) {
    TempDir dir;
    dir.WriteFile(L"first", "1");
    rbtest::Provider provider;
    rb::WalkClock previous = rb::SetWalkClock(&TestClock);
    testNow = 0xFFFFF000u; // the tick count wraps within the two seconds
    EXPECT_EQ(Text(provider.p, 2, dir.Path()), L" 1");
    dir.WriteFile(L"second", "2");
    testNow += rb::kWalkResultMilliseconds - 1;
    EXPECT_EQ(Text(provider.p, 2, dir.Path()), L" 1");
    testNow += 1;
    EXPECT_EQ(Text(provider.p, 2, dir.Path()), L" 2");
    EXPECT_EQ(Text(provider.p, 0, dir.Path()), L" 0,00 MB");
    rb::SetWalkClock(previous);
}

TEST(SystemLister, TwoFoldersAreOneOnlyWhenBothAreIdentifiedAsOne) {
    TempDir dir;
    const std::wstring a = rb::ExtendedPath(dir.MakeDir(L"a")), b = rb::ExtendedPath(dir.MakeDir(L"b"));
    const struct {
        std::wstring first, second;
        bool same;
    } rows[] = {
        {a, a, true},
        {a, b, false},
        {a, a + L"\\gone", false}, // cannot be identified: cannot tell
        {a + L"\\gone", a + L"\\gone", false},
    };
    rb::SystemLister lister;
    for (const auto& row : rows)
        EXPECT_EQ(lister.SameFolder(row.first, row.second), row.same) << rbtest::Narrow(row.second);
#ifdef RB_XP_PATHS
    // The walks of this program went through the fallback that real XP takes: the basic
    // listing level was refused once, and then never asked for again.
    rb::WalkFolderStoppable(a, std::atomic<bool>{false});
    EXPECT_EQ(rb::RefusedBasicListings(), 1ul);
#endif
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
    // The folder itself cannot be listed: no value at all, not the numbers of nothing.
    Provider provider;
    for (DWORD column : {0u, 1u, 2u}) {
        rbtest::Answer a =
            rbtest::Ask(provider.p, column,
                        rbtest::Item(root + L"\\locked", FILE_ATTRIBUTE_DIRECTORY, nullptr));
        EXPECT_EQ(a.hr, S_FALSE) << column;
        EXPECT_EQ(a.vt, VT_EMPTY) << column;
    }
    EXPECT_EQ(Text(provider.p, 2, root), L" 1");
}

// A listing that waits to be told what to do: go on, or fail as a walk out of memory does.
struct HeldListing {
    static std::wstring folder; // extended form with its trailing "\"
    static HANDLE entered, release;
    static bool fail;
    static void Hook(const std::wstring& path) {
        if (path != folder)
            return;
        SetEvent(entered);
        WaitForSingleObject(release, 60000);
        if (fail)
            throw std::bad_alloc();
    }
};
std::wstring HeldListing::folder;
HANDLE HeldListing::entered, HeldListing::release;
bool HeldListing::fail;

TEST_F(FolderColumns, AFailedWalkGivesNoValueToItsRequestAndToEveryWaitingOneAndIsNotKept) {
    TempDir dir;
    dir.MakeDir(L"sub");
    dir.WriteFile(L"sub\\a.txt", "abc");
    dir.WriteFile(L"b.txt", "12");
    HeldListing::folder = rb::ExtendedPath(dir.Path()) + L"\\";
    HeldListing::entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HeldListing::release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HeldListing::fail = true;
    rb::ListingHook previous = rb::SetListingHook(&HeldListing::Hook);
    Provider provider;
    rbtest::Answer answers[3];
    {
        rbtest::Thread first([&] {
            answers[0] = rbtest::Ask(provider.p, 0,
                                     rbtest::Item(dir.Path(), FILE_ATTRIBUTE_DIRECTORY, nullptr));
        });
        ASSERT_EQ(WaitForSingleObject(HeldListing::entered, 60000), WAIT_OBJECT_0);
        rbtest::Thread second([&] {
            answers[1] = rbtest::Ask(provider.p, 1,
                                     rbtest::Item(dir.Path(), FILE_ATTRIBUTE_DIRECTORY, nullptr));
        });
        rbtest::Thread third([&] {
            answers[2] = rbtest::Ask(provider.p, 2,
                                     rbtest::Item(dir.Path(), FILE_ATTRIBUTE_DIRECTORY, nullptr));
        });
        rbtest::WaitUntil([] { return rb::RequestsWaitingForAWalk() >= 2; });
        EXPECT_EQ(rb::RequestsWaitingForAWalk(), 2u);
        SetEvent(HeldListing::release);
    }
    for (const rbtest::Answer& a : answers) {
        EXPECT_EQ(a.hr, S_FALSE);
        EXPECT_EQ(a.vt, VT_EMPTY);
    }
    EXPECT_EQ(rb::RequestsWaitingForAWalk(), 0u);
    // Forgotten at once: the next request walks again, and this time it succeeds.
    HeldListing::fail = false;
    std::uint64_t before = rb::FolderListingCount();
    EXPECT_EQ(Text(provider.p, 2, dir.Path()), L" 2");
    EXPECT_EQ(rb::FolderListingCount() - before, 2u);
    rb::SetListingHook(previous);
    CloseHandle(HeldListing::entered);
    CloseHandle(HeldListing::release);
}

TEST_F(FolderColumns, DirectoryLinkLoopsAnswerAtOnceWithEveryFileOnce) {
    if (UnixFixtures().empty())
        GTEST_SKIP() << "needs RB_UNIX_FIXTURES";
    // cycle/ holds a.txt (3 bytes) and loop -> "."; cycle2/ holds a.txt and two such
    // links, which doubled the work at every level of a walk that followed them.
    for (const char* name : {"cycle", "cycle2"}) {
        std::wstring root = rbtest::UnixToWindowsPath(UnixFixtures() + "/" + name);
        ULONGLONG start = GetTickCount64();
        std::int64_t files = 0, folders = 0;
        std::uint64_t size = rb::WalkFolder(root.c_str(), files, folders);
        EXPECT_LT(GetTickCount64() - start, 5000u) << name;
        EXPECT_EQ(files, 1) << name;
        EXPECT_EQ(folders, name[5] ? 2 : 1) << name;
        EXPECT_EQ(size, 3u) << name;
    }
    Provider provider;
    std::wstring cycle2 = rbtest::UnixToWindowsPath(UnixFixtures() + "/cycle2");
    EXPECT_EQ(Text(provider.p, 2, cycle2), L" 1");
    EXPECT_EQ(Text(provider.p, 1, cycle2), L" 2");
}

TEST_F(FolderColumns, NamesEndingInADotOrASpaceAreTheirOwnItems) {
    if (UnixFixtures().empty())
        GTEST_SKIP() << "needs RB_UNIX_FIXTURES";
    // names/ holds dot./x.bin (7 bytes), dup./in.txt (5), dup/b (1), f. (2) and "g " (3).
    std::wstring names = rbtest::UnixToWindowsPath(UnixFixtures() + "/names");
    Provider provider;
    rb::Options().groesseTyp = rb::kUnitBytes;
    rb::Options().dateiGroesse = 1;
    auto folder = [&](DWORD column, const std::wstring& name) {
        return rbtest::Ask(provider.p, column,
                           rbtest::Item(names + L"\\" + name, FILE_ATTRIBUTE_DIRECTORY, nullptr))
            .text;
    };
    auto file = [&](DWORD column, const std::wstring& name) {
        return rbtest::Ask(provider.p, column, rbtest::Item(names + L"\\" + name, 0, nullptr)).text;
    };
    EXPECT_EQ(folder(0, L"dup."), L" 5");
    EXPECT_EQ(folder(0, L"dup"), L" 1");
    EXPECT_EQ(folder(0, L"dot."), L" 7");
    EXPECT_EQ(folder(2, L"dup."), L" 1");
    EXPECT_EQ(folder(0, L""), L" 18");
    EXPECT_EQ(folder(1, L""), L" 3");
    EXPECT_EQ(folder(2, L""), L" 5");
    EXPECT_EQ(file(0, L"f."), L" 2");
    EXPECT_EQ(file(0, L"g "), L" 3");
    EXPECT_EQ(file(9, L"f."), L"07.089");
    EXPECT_EQ(file(11, L"f."), L"09.321");
    EXPECT_EQ(file(9, L"g "), L"11.250");
    EXPECT_EQ(folder(9, L"dup."), L"13.500");
}

} // namespace
