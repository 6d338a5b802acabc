// Shell-extension initialisation, the context menu and the property sheet handler.
#include <gtest/gtest.h>

#include "com/guids.h"
#include "module/handler.h"
#include "shell/context_menu.h"
#include "shell/id_lists.h"
#include "shell/shell_selection.h"
#include "shell_objects.h"
#include "support.h"
#include "thread.h"

#include <commctrl.h>
#include <shlobj.h>
#include <atomic>
#include <cstring>
#include <vector>

namespace {

using rbtest::AllocationCounter;
using rbtest::MediumOwner;
using rbtest::Parse;
using rbtest::SelectionData;

struct HandlerRef {
    rb::RubrikatorHandler* handler = nullptr;
    IShellExtInit* init = nullptr;
    IContextMenu* menu = nullptr;
    IShellPropSheetExt* sheet = nullptr;
    HandlerRef() {
        EXPECT_EQ(rb::RubrikatorHandler::Create(nullptr, rb::kIidIShellExtInit,
                                                reinterpret_cast<void**>(&init)),
                  S_OK);
        init->QueryInterface(rb::kIidIContextMenu, reinterpret_cast<void**>(&menu));
        init->QueryInterface(rb::kIidIShellPropSheetExt, reinterpret_cast<void**>(&sheet));
        handler = static_cast<rb::RubrikatorHandler*>(init);
    }
    ~HandlerRef() {
        sheet->Release();
        menu->Release();
        init->Release();
    }
};

int pageCalls = 0;
BOOL CALLBACK AddPage(HPROPSHEETPAGE, LPARAM) {
    ++pageCalls;
    return TRUE;
}

class Selection : public testing::Test {
protected:
    void SetUp() override {
        folder.reset(Parse(dir.Path()));
        a.reset(Parse(dir.WriteFile(L"a.txt", "a")));
        b.reset(Parse(dir.WriteFile(L"b.txt", "bb")));
        ASSERT_TRUE(folder && a && b);
    }
    void TearDown() override { rb::TheShellSelection().Release(); }

    rbtest::TempDir dir;
    rb::UniqueIdList folder, a, b;
};

TEST_F(Selection, InitializeRecordsFolderAndSelection) {
    SelectionData data(folder.get(), {ILFindLastID(a.get()), ILFindLastID(b.get())}, true);
    HandlerRef handler;
    EXPECT_EQ(handler.init->Initialize(folder.get(), &data, nullptr), S_OK);
    rb::SelectionCopy copy = rb::TheShellSelection().Copy();
    ASSERT_TRUE(copy.folder);
    EXPECT_TRUE(ILIsEqual(copy.folder.get(), folder.get()));
    EXPECT_NE(copy.folder.get(), folder.get()); // a clone
    EXPECT_EQ(copy.Count(), 2u);
    ASSERT_GE(copy.cida.size(), data.Bytes().size());
    EXPECT_EQ(std::vector<BYTE>(copy.cida.begin(), copy.cida.begin() + data.Bytes().size()),
              data.Bytes());
    EXPECT_TRUE(ILIsEqual(copy.At(0), folder.get()));
    EXPECT_EQ(ILGetSize(copy.At(1)), ILGetSize(ILFindLastID(a.get())));
    EXPECT_EQ(std::memcmp(copy.At(2), ILFindLastID(b.get()), ILGetSize(ILFindLastID(b.get()))), 0);
    EXPECT_EQ(copy.At(3), nullptr);
}

// A block as another program may hand it over: 32-bit words, then ID list bytes.
rb::SelectionCopy Block(const std::vector<UINT>& words, const std::vector<BYTE>& tail) {
    rb::SelectionCopy copy;
    copy.cida.resize(words.size() * sizeof(UINT));
    std::memcpy(copy.cida.data(), words.data(), copy.cida.size());
    copy.cida.insert(copy.cida.end(), tail.begin(), tail.end());
    return copy;
}

TEST(SelectionCopy, EntriesOutsideTheBlockAreSkippedWhateverTheCount) {
    // Count 0xFFFFFFFF: the folder fits, item 1 is an 8-byte item that ends in time,
    // item 2 claims 64 bytes in a block of 30.
    rb::SelectionCopy huge =
        Block({0xFFFFFFFFu, 16, 16, 26}, {6, 0, 'a', 'b', 'c', 'd', 0, 0, 0, 0, 64, 0, 'x', 'y'});
    ASSERT_EQ(huge.cida.size(), 30u);
    EXPECT_EQ(huge.Count(), 0xFFFFFFFFu);
    ASSERT_NE(huge.At(0), nullptr);
    EXPECT_EQ(huge.At(0)->mkid.cb, 6u);
    EXPECT_EQ(huge.At(1), huge.At(0));
    EXPECT_EQ(huge.At(2), nullptr);           // would run past the end
    EXPECT_EQ(huge.At(3), nullptr);           // its offset lies beyond the block
    EXPECT_EQ(huge.At(0xFFFFFFFEu), nullptr); // no bound wraps round
    EXPECT_EQ(huge.At(0xFFFFFFFFu), nullptr);
    // Offsets that point outside, and an item shorter than its own length field.
    rb::SelectionCopy outside = Block({2, 16, 5000, 16}, {1, 0, 0, 0});
    EXPECT_EQ(outside.At(1), nullptr);
    EXPECT_EQ(outside.At(2), nullptr);
    EXPECT_EQ(Block({0}, {}).At(0), nullptr);
    EXPECT_EQ(Block({}, {}).Count(), 0u);
}

TEST_F(Selection, TheMediumIsReleasedInInitializeAndTheUnloadReleasesNothingOfIt) {
    SelectionData data(folder.get(), {ILFindLastID(a.get())}, true);
    HandlerRef handler;
    int released = MediumOwner::released;
    ASSERT_EQ(handler.init->Initialize(folder.get(), &data, nullptr), S_OK);
    // On the thread that called, in its apartment; the selection is the record's own copy.
    EXPECT_EQ(MediumOwner::released, released + 1);
    EXPECT_EQ(rb::TheShellSelection().Copy().Count(), 1u);
    // The unload, here on a worker thread, has nothing of the data object's to release.
    rbtest::Thread([] { rb::ReleaseShellSelection(); }).Join();
    EXPECT_EQ(MediumOwner::released, released + 1);
    EXPECT_EQ(rb::TheShellSelection().Copy().Count(), 0u);
    ASSERT_EQ(handler.init->Initialize(folder.get(), &data, nullptr), S_OK);
    rb::UniqueIdList other(Parse(rbtest::ProgramDir()));
    EXPECT_EQ(handler.init->Initialize(other.get(), nullptr, nullptr), S_OK);
    EXPECT_EQ(MediumOwner::released, released + 2);
    rb::SelectionCopy copy = rb::TheShellSelection().Copy();
    EXPECT_TRUE(copy.cida.empty());
    EXPECT_EQ(copy.Count(), 0u);
    ASSERT_TRUE(copy.folder);
    EXPECT_TRUE(ILIsEqual(copy.folder.get(), other.get()));
    // No folder at all.
    EXPECT_EQ(handler.init->Initialize(nullptr, nullptr, nullptr), S_OK);
    EXPECT_FALSE(rb::TheShellSelection().Copy().folder);
}

TEST_F(Selection, DataWithoutTheFormatLeavesNoSelection) {
    SelectionData data(folder.get(), {ILFindLastID(a.get())}, false);
    HandlerRef handler;
    EXPECT_EQ(handler.init->Initialize(folder.get(), &data, nullptr), S_OK);
    EXPECT_EQ(data.getDataCalls, 0); // asked with QueryGetData first
    rb::SelectionCopy copy = rb::TheShellSelection().Copy();
    EXPECT_TRUE(copy.cida.empty());
    EXPECT_TRUE(copy.folder);
}

TEST_F(Selection, PropertySheetAddsNoPageAndRecordsTheSelection) {
    SelectionData data(folder.get(), {ILFindLastID(b.get())}, true);
    HandlerRef handler;
    ASSERT_EQ(handler.init->Initialize(folder.get(), &data, nullptr), S_OK);
    pageCalls = 0;
    EXPECT_EQ(handler.sheet->AddPages(&AddPage, 0), 1);
    EXPECT_EQ(pageCalls, 0);
    EXPECT_EQ(handler.sheet->ReplacePage(0, &AddPage, 0), E_NOTIMPL);
    EXPECT_EQ(rb::TheShellSelection().Copy().Count(), 1u);
}

TEST_F(Selection, InitializeOnOneThreadWhileAnotherCopiesNeitherCrashesNorLeaks) {
    SelectionData data(folder.get(), {ILFindLastID(a.get()), ILFindLastID(b.get())}, true);
    HandlerRef handler;
    AllocationCounter counter;
    ASSERT_EQ(CoRegisterMallocSpy(&counter), S_OK);
    int released = MediumOwner::released;
    std::atomic<bool> done{false};
    std::atomic<int> badCopies{0}, copies{0};
    rbtest::Thread reader([&] {
        while (!done) {
            rb::SelectionCopy copy = rb::TheShellSelection().Copy();
            ++copies;
            if (copy.Count() != 0 && copy.Count() != 2)
                ++badCopies;
            if (copy.Count() == 2 && (!copy.At(2) || ILGetSize(copy.At(2)) == 0))
                ++badCopies;
        }
    });
    const int rounds = 2000;
    for (int i = 0; i < rounds; ++i)
        handler.init->Initialize(folder.get(), i % 3 ? &data : nullptr, nullptr);
    done = true;
    reader.Join();
    rb::TheShellSelection().Release();
    long alive = counter.alive;
    ASSERT_EQ(CoRevokeMallocSpy(), S_OK);
    EXPECT_EQ(badCopies, 0);
    EXPECT_GT(copies, 0);
    EXPECT_EQ(alive, 0) << "task-allocator blocks left after " << rounds << " rounds";
    // Every medium that was taken was given back.
    EXPECT_EQ(MediumOwner::released - released, data.getDataCalls);
}

TEST(IdLists, SplitGivesParentAndLastElement) {
    rbtest::TempDir dir;
    std::wstring file = dir.WriteFile(L"x.txt", "x");
    rb::UniqueIdList full(Parse(file));
    rb::UniqueIdList expectedParent(Parse(dir.Path()));
    LPITEMIDLIST parent = nullptr, item = nullptr;
    ASSERT_TRUE(rb::SplitIdList(full.get(), &parent, &item));
    rb::UniqueIdList parentOwner(parent), itemOwner(item);
    EXPECT_TRUE(ILIsEqual(parent, expectedParent.get()));
    EXPECT_EQ(ILGetSize(item), ILGetSize(ILFindLastID(full.get())));
    LPITEMIDLIST onlyItem = nullptr;
    EXPECT_TRUE(rb::SplitIdList(full.get(), nullptr, &onlyItem));
    rb::UniqueIdList onlyItemOwner(onlyItem);
    EXPECT_NE(onlyItem, nullptr);
    rb::ShellAllocatorHolder allocator;
    EXPECT_NE(allocator.get(), nullptr);
}

// --- context menu -------------------------------------------------------------------

HWND invokedExplorer = nullptr;
HWND invokedOwner = nullptr;
int invocations = 0;
INT_PTR RecordDialog(HWND explorer, HWND owner) {
    invokedExplorer = explorer;
    invokedOwner = owner;
    ++invocations;
    return 0;
}

class ContextMenu : public testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls = {sizeof controls,
                                         ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        frame = CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400,
                                300, nullptr, nullptr, nullptr, nullptr);
        list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 200,
                               200, frame, nullptr, nullptr, nullptr);
        tree = CreateWindowExW(0, WC_TREEVIEWW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 200, 0,
                               200, 200, frame, nullptr, nullptr, nullptr);
        ASSERT_TRUE(frame && list && tree);
        menu = CreatePopupMenu();
        AppendMenuA(menu, MF_STRING, 1, "First");
        AppendMenuA(menu, MF_STRING, 2, "Second");
        previous = rb::SetMainDialogOpener(&RecordDialog);
    }
    void TearDown() override {
        rb::SetMainDialogOpener(previous);
        DestroyMenu(menu);
        DestroyWindow(frame);
    }
    std::string TextAt(int position) {
        char text[64] = {};
        GetMenuStringA(menu, static_cast<UINT>(position), text, sizeof text, MF_BYPOSITION);
        return text;
    }

    HWND frame = nullptr, list = nullptr, tree = nullptr;
    HMENU menu = nullptr;
    rb::MainDialogOpener previous = nullptr;
    HandlerRef handler;
};

TEST_F(ContextMenu, FileListFocusAddsTheEntryWithItsBitmap) {
    SetFocus(list);
    ASSERT_EQ(GetFocus(), list);
    EXPECT_EQ(handler.menu->QueryContextMenu(menu, 1, 100, 200, CMF_NORMAL), 1);
    ASSERT_EQ(GetMenuItemCount(menu), 3);
    EXPECT_EQ(TextAt(1), "&Rubrikator");
    EXPECT_EQ(GetMenuItemID(menu, 1), 100u);
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_CHECKMARKS;
    ASSERT_TRUE(GetMenuItemInfoA(menu, 1, TRUE, &info));
    ASSERT_NE(handler.handler->MenuBitmap(), nullptr);
    EXPECT_EQ(info.hbmpUnchecked, handler.handler->MenuBitmap());
    EXPECT_EQ(info.hbmpChecked, nullptr);
    BITMAP bitmap = {};
    ASSERT_TRUE(GetObjectA(info.hbmpUnchecked, sizeof bitmap, &bitmap));
    EXPECT_EQ(bitmap.bmWidth, 14);
    EXPECT_EQ(bitmap.bmHeight, 14);
    // The resource itself is a 16-colour bitmap.
    HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(201), MAKEINTRESOURCEA(2));
    ASSERT_NE(resource, nullptr);
    auto* header =
        static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(nullptr, resource)));
    EXPECT_EQ(header->biBitCount, 4);
    EXPECT_EQ(header->biWidth, 14);
    EXPECT_EQ(header->biHeight, 14);
}

TEST_F(ContextMenu, IndexMinusOneInsertsAtTheTop) {
    SetFocus(list);
    EXPECT_EQ(handler.menu->QueryContextMenu(menu, 0xFFFFFFFF, 7, 9, CMF_EXPLORE), 1);
    EXPECT_EQ(TextAt(0), "&Rubrikator");
    EXPECT_EQ(GetMenuItemID(menu, 0), 7u);
    EXPECT_EQ(TextAt(1), "First");
}

TEST_F(ContextMenu, TreeViewFocusAddsNothing) {
    SetFocus(tree);
    ASSERT_EQ(GetFocus(), tree);
    EXPECT_EQ(handler.menu->QueryContextMenu(menu, 0, 100, 200, CMF_NORMAL), 0);
    EXPECT_EQ(GetMenuItemCount(menu), 2);
}

TEST_F(ContextMenu, NoFocusWindowAddsTheEntry) {
    SetFocus(nullptr);
    ASSERT_EQ(GetFocus(), nullptr);
    EXPECT_EQ(handler.menu->QueryContextMenu(menu, 2, 100, 200, CMF_NORMAL), 1);
    EXPECT_EQ(TextAt(2), "&Rubrikator");
}

TEST_F(ContextMenu, DefaultOnlyAddsNothing) {
    SetFocus(list);
    EXPECT_EQ(handler.menu->QueryContextMenu(menu, 0, 100, 200, CMF_DEFAULTONLY), 0);
    EXPECT_EQ(GetMenuItemCount(menu), 2);
}

TEST_F(ContextMenu, CountIsOneEvenWhenInsertingFails) {
    SetFocus(list);
    HMENU gone = CreatePopupMenu();
    DestroyMenu(gone);
    EXPECT_EQ(handler.menu->QueryContextMenu(gone, 0, 100, 200, CMF_NORMAL), 1);
}

TEST_F(ContextMenu, VerbZeroHandsTheWindowToTheDialog) {
    invocations = 0;
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof info;
    info.hwnd = frame;
    info.lpVerb = MAKEINTRESOURCEA(0);
    SetActiveWindow(frame);
    EXPECT_EQ(handler.menu->InvokeCommand(&info), S_OK);
    EXPECT_EQ(invocations, 1);
    EXPECT_EQ(invokedExplorer, frame);
    EXPECT_EQ(invokedOwner, GetActiveWindow());

    info.lpVerb = MAKEINTRESOURCEA(1);
    EXPECT_EQ(handler.menu->InvokeCommand(&info), E_INVALIDARG);
    info.lpVerb = "open";
    EXPECT_EQ(handler.menu->InvokeCommand(&info), E_INVALIDARG);
    info.lpVerb = "";
    EXPECT_EQ(handler.menu->InvokeCommand(&info), E_INVALIDARG);
    EXPECT_EQ(invocations, 1);
}

TEST_F(ContextMenu, CommandStringInBothCharacterSets) {
    char ansi[64];
    EXPECT_EQ(handler.menu->GetCommandString(0, GCS_HELPTEXTA, nullptr, ansi, sizeof ansi), S_OK);
    EXPECT_STREQ(ansi, "Deine Liebste Spalte");
    EXPECT_EQ(handler.menu->GetCommandString(0, GCS_VERBA, nullptr, ansi, sizeof ansi), S_OK);
    EXPECT_STREQ(ansi, "Deine Liebste Spalte");
    wchar_t wide[64];
    EXPECT_EQ(handler.menu->GetCommandString(0, GCS_HELPTEXTW, nullptr,
                                             reinterpret_cast<CHAR*>(wide), 64),
              S_OK);
    EXPECT_STREQ(wide, L"Deine Liebste Spalte");
    wchar_t small[12];
    for (wchar_t& c : small)
        c = L'#';
    EXPECT_EQ(handler.menu->GetCommandString(0, GCS_HELPTEXTW, nullptr,
                                             reinterpret_cast<CHAR*>(small), 10),
              S_OK);
    EXPECT_EQ(std::wstring(small, 10), std::wstring(L"Deine Lie") + L'\0');
    EXPECT_EQ(small[10], L'#');
    char untouched[8] = "xxxxxxx";
    EXPECT_EQ(handler.menu->GetCommandString(1, GCS_HELPTEXTA, nullptr, untouched, 8),
              E_INVALIDARG);
    EXPECT_STREQ(untouched, "xxxxxxx");
}

TEST_F(ContextMenu, ValidationNeedsNoBufferAndTheOtherRequestsDo) {
    for (UINT type : {UINT(GCS_VALIDATEA), UINT(GCS_VALIDATEW)}) {
        EXPECT_EQ(handler.menu->GetCommandString(0, type, nullptr, nullptr, 0), S_OK) << type;
        EXPECT_EQ(handler.menu->GetCommandString(1, type, nullptr, nullptr, 0), E_INVALIDARG)
            << type;
    }
    for (UINT type : {UINT(GCS_HELPTEXTA), UINT(GCS_HELPTEXTW), UINT(GCS_VERBA), UINT(GCS_VERBW)})
        EXPECT_EQ(handler.menu->GetCommandString(0, type, nullptr, nullptr, 64), E_POINTER) << type;
}

} // namespace
