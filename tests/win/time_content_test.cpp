// Seconds and milliseconds of the file times, and the content type by extension.
#include <gtest/gtest.h>

#include "column_client.h"
#include "columns/producers.h"
#include "support.h"
#include "thread.h"

namespace {

using rbtest::Provider;
using rbtest::SetTimes;
using rbtest::TempDir;
using rbtest::Text;
using rbtest::TimeAt;

// Wine on Linux cannot set a creation time; the column shows what the system reports.
std::wstring CreationText(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return L"?";
    SYSTEMTIME t;
    FileTimeToSystemTime(&data.ftCreationTime, &t);
    wchar_t text[16];
    wsprintfW(text, L"%02d.%03d", t.wSecond, t.wMilliseconds);
    return text;
}

TEST(TimeColumns, EachColumnShowsItsOwnTime) {
    TempDir dir;
    std::wstring file = dir.WriteFile(L"t.txt", "abc");
    ASSERT_TRUE(SetTimes(file, TimeAt(59, 0), TimeAt(3, 999), TimeAt(7, 45)));
    Provider provider;
    EXPECT_EQ(Text(provider.p, 9, file), L"07.045");
    EXPECT_EQ(Text(provider.p, 10, file), CreationText(file));
    EXPECT_EQ(Text(provider.p, 11, file), L"03.999");
}

TEST(TimeColumns, EachColumnPicksItsOwnOfThreeDifferentTimes) {
    // Wine keeps no creation time of its own (it reports the last write): the choice of
    // the time is checked on three times that differ.
    rb::FileTimes times;
    times.created = TimeAt(11, 111);
    times.accessed = TimeAt(22, 222);
    times.written = TimeAt(33, 333);
    const wchar_t* expected[] = {L"33.333", L"11.111", L"22.222"};
    for (unsigned column = 9; column <= 11; ++column) {
        rb::ValueText value;
        rb::PrintColumnTime(column, times, value);
        EXPECT_EQ(rbtest::Widen(value.text), expected[column - 9]) << column;
    }
    rb::ValueText none;
    rb::PrintColumnTime(8, times, none);
    EXPECT_TRUE(none.Empty());

    // What is read is the system's three times, each in its place, from the file and,
    // for a folder, from its entry.
    TempDir dir;
    std::wstring file = dir.WriteFile(L"t.txt", "abc");
    std::wstring sub = dir.MakeDir(L"sub");
    for (const std::wstring& path : {file, sub}) {
        ASSERT_TRUE(SetTimes(path, TimeAt(59, 1), TimeAt(3, 999), TimeAt(7, 45)));
        WIN32_FILE_ATTRIBUTE_DATA system;
        ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &system));
        rb::FileTimes read;
        ASSERT_TRUE(rb::ReadFileTimes(path.c_str(), read));
        EXPECT_EQ(CompareFileTime(&read.written, &system.ftLastWriteTime), 0);
        EXPECT_EQ(CompareFileTime(&read.accessed, &system.ftLastAccessTime), 0);
        EXPECT_EQ(CompareFileTime(&read.created, &system.ftCreationTime), 0);
        EXPECT_NE(CompareFileTime(&read.written, &read.accessed), 0);
    }
}

TEST(TimeColumns, FolderShowsItsOwnTimes) {
    TempDir dir;
    std::wstring sub = dir.MakeDir(L"sub");
    ASSERT_TRUE(SetTimes(sub, TimeAt(11, 111), TimeAt(22, 222), TimeAt(33, 333)));
    Provider provider;
    EXPECT_EQ(Text(provider.p, 9, sub), L"33.333");
    EXPECT_EQ(Text(provider.p, 10, sub), CreationText(sub));
    EXPECT_EQ(Text(provider.p, 11, sub), L"22.222");
}

TEST(TimeColumns, FileHeldWithoutSharingStillShowsItsTimes) {
    TempDir dir;
    std::wstring file = dir.WriteFile(L"held.txt", "abc");
    ASSERT_TRUE(SetTimes(file, TimeAt(1, 2), TimeAt(3, 4), TimeAt(5, 6)));
    HANDLE held = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Provider provider;
    EXPECT_EQ(Text(provider.p, 9, file), L"05.006");
    EXPECT_EQ(Text(provider.p, 10, file), CreationText(file));
    EXPECT_EQ(Text(provider.p, 11, file), L"03.004");
    CloseHandle(held);
}

TEST(TimeColumns, ReadingTimesDoesNotLockTheFileForOthers) {
    TempDir dir;
    std::wstring file = dir.WriteFile(L"shared.txt", "abc");
    Provider provider;
    // While values are computed on another thread, a writer that allows read sharing
    // must always be able to open the file.
    rbtest::Thread reader([&] {
        for (int i = 0; i < 300; ++i)
            Text(provider.p, 9, file);
    });
    int failures = 0;
    for (int i = 0; i < 300; ++i) {
        HANDLE w = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               0, nullptr);
        if (w == INVALID_HANDLE_VALUE)
            ++failures;
        else
            CloseHandle(w);
    }
    reader.Join();
    EXPECT_EQ(failures, 0);
}

TEST(TimeColumns, NamesOutsideTheCodePageShowTheirTimes) {
    TempDir dir;
    std::wstring file = dir.WriteFile(L"\u0416\u4e2d.txt", "abc");
    ASSERT_TRUE(SetTimes(file, TimeAt(9, 8), TimeAt(7, 6), TimeAt(5, 4)));
    Provider provider;
    EXPECT_EQ(Text(provider.p, 9, file), L"05.004");
}

TEST(TimeColumns, MissingItemsAndDriveRootsShowNothing) {
    TempDir dir;
    Provider provider;
    EXPECT_EQ(rbtest::Ask(provider.p, 9, rbtest::Item(dir / L"gone.txt", 0, L".txt")).text, L"");
    EXPECT_EQ(
        rbtest::Ask(provider.p, 9, rbtest::Item(L"C:\\", FILE_ATTRIBUTE_DIRECTORY, nullptr)).text,
        L"");
    rbtest::Answer a = rbtest::Ask(provider.p, 10, rbtest::Item(dir / L"gone.txt", 0, L".txt"));
    EXPECT_EQ(a.hr, S_OK);
    EXPECT_EQ(a.vt, VT_BSTR);
}

class ContentType : public testing::Test {
protected:
    void TearDown() override {
        for (const char* key : {".rbtest48", ".rbtest49", ".rbtestnone"})
            RegDeleteKeyA(HKEY_CLASSES_ROOT, key);
    }
    static void Register(const char* extension, const char* value) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, extension, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        if (value)
            RegSetValueExA(key, "Content Type", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                           static_cast<DWORD>(strlen(value) + 1));
        RegCloseKey(key);
    }
};

TEST_F(ContentType, ShownUpToFortyEightCharacters) {
    std::string fits = "application/" + std::string(36, 'x');
    std::string tooLong = fits + "y";
    ASSERT_EQ(fits.size(), 48u);
    Register(".rbtest48", fits.c_str());
    Register(".rbtest49", tooLong.c_str());
    Provider provider;
    EXPECT_EQ(rbtest::Ask(provider.p, 8, rbtest::Item(L"C:\\a.rbtest48", 0, L".rbtest48")).text,
              rbtest::Widen(fits));
    rbtest::Answer cut =
        rbtest::Ask(provider.p, 8, rbtest::Item(L"C:\\a.rbtest49", 0, L".rbtest49"));
    EXPECT_EQ(cut.hr, S_OK);
    EXPECT_EQ(cut.text, L"");
}

TEST_F(ContentType, WithoutValueOrKeyNothingIsShown) {
    Register(".rbtestnone", nullptr);
    Provider provider;
    EXPECT_EQ(rbtest::Ask(provider.p, 8, rbtest::Item(L"C:\\a.rbtestnone", 0, L".rbtestnone")).text,
              L"");
    EXPECT_EQ(rbtest::Ask(provider.p, 8, rbtest::Item(L"C:\\a.nokey42", 0, L".nokey42")).text, L"");
    // No extension reads the class root itself, which has no content type.
    rbtest::Answer none = rbtest::Ask(provider.p, 8, rbtest::Item(L"C:\\README", 0, nullptr));
    EXPECT_EQ(none.hr, S_OK);
    EXPECT_EQ(none.text, L"");
}

TEST_F(ContentType, SameForFoldersAndFiles) {
    Register(".rbtest48", "text/x-rubrikator");
    Provider provider;
    EXPECT_EQ(rbtest::Ask(provider.p, 8,
                          rbtest::Item(L"C:\\d.rbtest48", FILE_ATTRIBUTE_DIRECTORY, L".rbtest48"))
                  .text,
              L"text/x-rubrikator");
}

} // namespace
