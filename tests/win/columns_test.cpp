// The IColumnProvider answers of a handler object made directly.
#include <gtest/gtest.h>

#include "columns/options.h"
#include "com/guids.h"
#include "module/handler.h"
#include "column_client.h"
#include "support.h"

#include <shlobj.h>

namespace {

using rb::kClsidRubrikatorHandler;

using rbtest::Answer;
using rbtest::Ask;
using rbtest::Item;
using rbtest::Provider;

TEST(GetColumnInfo, DescribesEveryColumn) {
    Provider provider;
    const wchar_t* titles[] = {
        L"Ordnergr\u00f6\u00dfe (RB)",
        L"Ordneranzahl (RB)",
        L"Dateienanzahl (RB)",
        L"DPI (RB)",
        L"Bittiefe (RB)",
        L"Bildaufl\u00f6sung (RB)",
        L"Kompletter-Path (RB)",
        L"Dateierweiterung (RB)",
        L"Content-Type (RB)",
        L"\u00c4nderungssek. (RB)",
        L"Erstellsek. (RB)",
        L"Zugriffssek. (RB)",
    };
    for (DWORD i = 0; i < 12; ++i) {
        SHCOLUMNINFO info;
        memset(&info, 0xCC, sizeof info);
        ASSERT_EQ(provider->GetColumnInfo(i, &info), S_OK) << i;
        EXPECT_TRUE(IsEqualGUID(info.scid.fmtid, kClsidRubrikatorHandler));
        EXPECT_EQ(info.scid.pid, i);
        EXPECT_EQ(info.vt, VT_BSTR);
        EXPECT_EQ(info.fmt, (i >= 6 && i <= 8) ? DWORD(LVCFMT_LEFT) : DWORD(LVCFMT_RIGHT)) << i;
        EXPECT_EQ(info.cChars, 25u);
        EXPECT_EQ(info.csFlags, 0x3Fu);
        EXPECT_EQ(std::wstring(info.wszTitle), titles[i]);
        EXPECT_EQ(std::wstring(info.wszDescription), titles[i]);
    }
}

TEST(GetColumnInfo, PastTheLastColumnIsFalseAndLeavesInfoAlone) {
    Provider provider;
    SHCOLUMNINFO info;
    memset(&info, 0xAB, sizeof info);
    EXPECT_EQ(provider->GetColumnInfo(12, &info), S_FALSE);
    EXPECT_EQ(provider->GetColumnInfo(0xFFFFFFFF, &info), S_FALSE);
    EXPECT_EQ(reinterpret_cast<unsigned char*>(&info)[0], 0xAB);
    EXPECT_EQ(info.cChars, 0xABABABABu);
}

TEST(GetItemData, FullPathIsTheShellsPathForFilesAndFolders) {
    Provider provider;
    rbtest::TempDir dir;
    std::wstring file = dir.WriteFile(L"a.txt", "x");
    Answer a = Ask(provider.p, 6, Item(file, FILE_ATTRIBUTE_ARCHIVE, L".txt"));
    EXPECT_EQ(a.hr, S_OK);
    EXPECT_EQ(a.vt, VT_BSTR);
    EXPECT_EQ(a.text, file);
    Answer b = Ask(provider.p, 6, Item(dir.Path(), FILE_ATTRIBUTE_DIRECTORY, nullptr));
    EXPECT_EQ(b.hr, S_OK);
    EXPECT_EQ(b.text, dir.Path());
    // Characters outside the ANSI code page come back unchanged.
    Answer c = Ask(provider.p, 6, Item(L"C:\\\u0416\u4e2d.txt", 0, L".txt"));
    EXPECT_EQ(c.text, L"C:\\\u0416\u4e2d.txt");
}

TEST(GetItemData, ExtensionOfFilesNoValueForFolders) {
    Provider provider;
    Answer file = Ask(provider.p, 7, Item(L"C:\\x\\a.TxT", 0, L".TxT"));
    EXPECT_EQ(file.hr, S_OK);
    EXPECT_EQ(file.vt, VT_BSTR);
    EXPECT_EQ(file.text, L".TxT");
    Answer none = Ask(provider.p, 7, Item(L"C:\\x\\README", 0, nullptr));
    EXPECT_EQ(none.hr, S_OK);
    EXPECT_EQ(none.vt, VT_BSTR);
    EXPECT_EQ(none.text, L"");
    Answer folder = Ask(provider.p, 7, Item(L"C:\\x\\sub.d", FILE_ATTRIBUTE_DIRECTORY, L".d"));
    EXPECT_EQ(folder.hr, S_FALSE);
    EXPECT_EQ(folder.vt, VT_EMPTY);
}

TEST(GetItemData, UnknownColumnGivesFalseWithAnEmptyString) {
    Provider provider;
    for (DWORD pid : {12u, 100u, 0xFFFFFFFFu}) {
        Answer a = Ask(provider.p, pid, Item(L"C:\\x\\a.txt", 0, L".txt"));
        EXPECT_EQ(a.hr, S_FALSE) << pid;
        EXPECT_EQ(a.vt, VT_BSTR) << pid;
        EXPECT_EQ(a.text, L"") << pid;
    }
}

TEST(GetItemData, OnlyThePropertyIdSelectsTheColumn) {
    Provider provider;
    const GUID other = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    Answer a = Ask(provider.p, 6, Item(L"C:\\x\\a.txt", 0, L".txt"), other);
    EXPECT_EQ(a.hr, S_OK);
    EXPECT_EQ(a.text, L"C:\\x\\a.txt");
}

TEST(GetItemData, CountsOfAFileAreEmpty) {
    Provider provider;
    rbtest::TempDir dir;
    std::wstring file = dir.WriteFile(L"a.txt", "hello");
    for (DWORD pid : {1u, 2u}) {
        Answer a = Ask(provider.p, pid, Item(file, FILE_ATTRIBUTE_ARCHIVE, L".txt"));
        EXPECT_EQ(a.hr, S_OK);
        EXPECT_EQ(a.vt, VT_BSTR);
        EXPECT_EQ(a.text, L"");
    }
}

TEST(GetItemData, NullArgumentsAreRefusedWithFalse) {
    Provider provider;
    SHCOLUMNID column = {kClsidRubrikatorHandler, 6};
    SHCOLUMNDATA item = Item(L"C:\\a", 0, nullptr);
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(provider->GetItemData(nullptr, &item, &result), S_FALSE);
    EXPECT_EQ(provider->GetItemData(&column, nullptr, &result), S_FALSE);
    EXPECT_EQ(provider->GetItemData(&column, &item, nullptr), S_FALSE);
    EXPECT_EQ(result.vt, VT_EMPTY);
}

TEST(GetItemData, UnterminatedShellPathIsReadUpToItsArraySize) {
    Provider provider;
    SHCOLUMNDATA item = {};
    for (wchar_t& c : item.wszFile)
        c = L'q';
    Answer a = Ask(provider.p, 6, item);
    EXPECT_EQ(a.hr, S_OK);
    EXPECT_EQ(a.text, std::wstring(MAX_PATH, L'q'));
}

TEST(ColumnProvider, InitializeKeepsNothing) {
    Provider provider;
    SHCOLUMNINIT init = {};
    EXPECT_EQ(provider->Initialize(&init), S_OK);
    EXPECT_EQ(provider->Initialize(nullptr), S_OK);
}

} // namespace
