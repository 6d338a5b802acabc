// The details page and the "I-net ?!" search menu inside the real main dialog.
#include <gtest/gtest.h>

#include "browse/image_reader.h"
#include "browse/tree_shelf.h"
#include "columns/folder_walk.h"
#include "columns/option_store.h"
#include "common/name_order.h"
#include "common/shell_open.h"
#include "export/export_command.h"
#include "dialog_driver.h"
#include "images.h"
#include "process_counts.h"
#include "resource_ids.h"
#include "shell/id_lists.h"
#include "shell/shell_selection.h"
#include "shell_objects.h"
#include "support.h"
#include "thread.h"
#include "ui/details_page.h"
#include "ui/item_actions.h"
#include "ui/ui_scale.h"
#include "ui/menu_renderer.h"
#include "ui/search_menu.h"
#include "web/links.h"
#include "windows_found.h"

#include <commctrl.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <functional>
#include <atomic>
#include <cstring>
#include <map>
#include <new>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using rbtest::OpenStandalone;
using rbtest::WaitUntil;
using rbtest::PageWithItem;

// Cell texts by row name: the name, then the twelve columns.
using Rows = std::vector<std::vector<std::wstring>>;

std::wstring Cell(HWND list, int row, int column) {
    wchar_t text[1024] = {};
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 1024;
    SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

Rows ReadRows(HWND list) {
    Rows rows;
    int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        std::vector<std::wstring> cells;
        for (int column = 0; column <= 13; ++column) // the twelve and the growth
            cells.push_back(Cell(list, row, column));
        rows.push_back(cells);
    }
    return rows;
}

const std::vector<std::wstring>* Find(const Rows& rows, const std::wstring& name) {
    for (const auto& row : rows)
        if (row[0] == name)
            return &row;
    return nullptr;
}

HWND DetailsList(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (GetDlgItem(child, IDC_LIST) && !GetDlgItem(child, IDC_UNIT))
            return GetDlgItem(child, IDC_LIST);
    return nullptr;
}

// The digits of a number cell, without its spaces and thousands' points.
std::wstring Digits(const std::wstring& cell) {
    std::wstring digits;
    for (wchar_t c : cell)
        if (c >= L'0' && c <= L'9')
            digits += c;
    return digits;
}

std::wstring StateText(HWND page) {
    wchar_t state[256] = {};
    GetDlgItemTextW(page, IDC_DETAILS_STATE, state, 256);
    return state;
}

// Waits until the walk that `row`'s cells asked for has ended (its numbers, or nothing for
// a walk that failed; not numbers saved before, which the line tells of); the number of
// polls it took.
int WaitForStatistics(HWND list, int row) {
    int polls = 0;
    rbtest::WaitUntil([&] {
        return (Cell(list, row, 3) != rb::DetailsPage::kWalkRunningText &&
                StateText(GetParent(list)).compare(0, 6, L"Stand ") != 0) ||
               (++polls, false);
    });
    return polls;
}

bool Done(HWND page) {
    return StateText(page).compare(0, 7, L"Fertig:") == 0;
}

class DetailsPageTest : public rbtest::CleanOptions {
protected:
    void SetUp() override {
        CleanOptions::SetUp();
        rb::WriteIntOption("tab_id", 3);
        rb::ClearShelf(); // nothing saved by a test before
    }
    void TearDown() override {
        rb::TheShellSelection().Release();
        CleanOptions::TearDown();
    }
    void SelectFolder(const std::wstring& path) {
        rb::UniqueIdList folder(rbtest::Parse(path));
        rb::TheShellSelection().Replace(folder.get(), nullptr);
    }
    // Opens the dialog on the details page and reads the list (its texts come on request).
    Rows OpenAndRead() {
        Rows rows;
        OpenStandalone([&](HWND dialog) { rows = ReadRows(DetailsList(dialog)); });
        return rows;
    }
    rbtest::TempDir dir;
};

TEST_F(DetailsPageTest, ListsEveryItemSortedWithFoldersStatisticsArrivingInTheirCells) {
    // Made in an order other than the sorted one; "m-ordner" would sit between the files
    // by name, but the folder's own comparison puts folders first.
    dir.WriteFile(L"c.txt", "ccc");
    dir.WriteFile(L"a.txt", "a");
    std::wstring ordner = dir.MakeDir(L"m-ordner");
    dir.WriteFile(L"m-ordner\\eins.bin", std::string(1000, '1'));
    dir.WriteFile(L"m-ordner\\zwei.bin", std::string(234, '2'));
    dir.MakeDir(L"m-ordner\\innen");
    std::wstring hidden = dir.WriteFile(L"x-versteckt.txt", "h");
    SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
    dir.WriteFile(L"B.txt", "bb");
    rb::WriteIntOption("groesse_typ", 2);
    SelectFolder(dir.Path());
    Rows rows;
    int polls = -1;
    OpenStandalone([&](HWND dialog) {
        HWND list = DetailsList(dialog);
        Cell(list, 0, 1); // the folder's row asks for its numbers
        polls = WaitForStatistics(list, 0);
        rows = ReadRows(list);
    });
    std::vector<std::wstring> names;
    for (const auto& row : rows)
        names.push_back(row[0]);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"m-ordner", L"a.txt", L"B.txt", L"c.txt",
                                                L"x-versteckt.txt"}));
    ASSERT_EQ(rows.size(), 5u);
    const auto& folder = rows[0];
    EXPECT_EQ(folder[1], L"  1.234");
    EXPECT_EQ(folder[2], L" 1");
    EXPECT_EQ(folder[3], L" 2");
    EXPECT_EQ(folder[7], ordner);
    EXPECT_EQ(folder[8], L"[Ordner]");
    EXPECT_EQ(folder[9], L"");
    EXPECT_GE(polls, 0);
    // Files show their size whatever datei_groesse says (off here), and no counts.
    EXPECT_EQ(rows[3][1], L" 3");
    EXPECT_EQ(rows[1][2], L"");
    EXPECT_EQ(rows[1][8], L"txt");
}

TEST_F(DetailsPageTest, TheExtensionIsTheFileNamesAndTheContentTypeItsRegisteredOne) {
    std::wstring folder = dir.MakeDir(L"my.dir");
    dir.WriteFile(L"my.dir\\readme", "r");
    rbtest::WriteBytes(L"\\\\?\\" + folder + L"\\notes.", "n");
    dir.WriteFile(L"my.dir\\Photo.JPG", "j");
    dir.WriteFile(L"my.dir\\Seite.RbTst", "t");
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, ".rbtst", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    const char type[] = "text/x-rubrikator-probe";
    RegSetValueExA(key, "Content Type", 0, REG_SZ, reinterpret_cast<const BYTE*>(type),
                   sizeof type);
    RegCloseKey(key);
    rb::WriteIntOption("datei_groesse", 1);
    SelectFolder(folder);
    Rows rows = OpenAndRead();
    RegDeleteKeyA(HKEY_CLASSES_ROOT, ".rbtst");
    std::map<std::wstring, std::pair<std::wstring, std::wstring>> seen;
    for (const auto& row : rows) {
        std::wstring path = row[7];
        seen[path.substr(path.find_last_of(L'\\') + 1)] = {row[8], row[9]};
    }
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[L"readme"].first, L"");
    EXPECT_EQ(seen[L"notes."].first, L"");
    EXPECT_EQ(seen[L"Photo.JPG"].first, L"jpg");
    EXPECT_EQ(seen[L"Seite.RbTst"].first, L"rbtst");
    EXPECT_EQ(seen[L"Seite.RbTst"].second, L"text/x-rubrikator-probe");
    EXPECT_EQ(seen[L"readme"].second, L"");
}

TEST_F(DetailsPageTest, TimesShowUnderTheTitlesThatNameThemAndNamesOutsideTheCodePageWork) {
    std::wstring text = dir.WriteFile(L"zeit.txt", "1");
    ASSERT_TRUE(rbtest::SetTimes(text, rbtest::TimeAt(4, 56), rbtest::TimeAt(33, 250)));
    const std::wstring photo = L"\u0424\u043e\u0442\u043e.bmp";
    std::wstring image = dir.WriteFile(photo, rbtest::MakeBmp(17, 5, 24, 3780));
    ASSERT_TRUE(rbtest::SetTimes(image, rbtest::TimeAt(9, 999), rbtest::TimeAt(7, 45)));
    SelectFolder(dir.Path());
    Rows rows = OpenAndRead();
    const auto* zeit = Find(rows, L"zeit.txt");
    ASSERT_NE(zeit, nullptr);
    // Column 10 is titled "Änderungssek. (RB)", column 12 "Zugriffssek. (RB)".
    EXPECT_EQ((*zeit)[10], L"33.250");
    EXPECT_EQ((*zeit)[12], L"04.056");
    const auto* cyrillic = Find(rows, photo);
    ASSERT_NE(cyrillic, nullptr) << "the name must come through whole";
    EXPECT_EQ((*cyrillic)[4], L"96 x 96");
    EXPECT_EQ((*cyrillic)[5], L"24");
    EXPECT_EQ((*cyrillic)[6], L"17 x 5");
    EXPECT_EQ((*cyrillic)[7], image);
    EXPECT_EQ((*cyrillic)[8], L"bmp");
    EXPECT_EQ((*cyrillic)[10], L"07.045");
    EXPECT_EQ((*cyrillic)[12], L"09.999");
    // A text file does not load as an image.
    EXPECT_EQ((*zeit)[4], L"");
    EXPECT_EQ((*zeit)[6], L"");
}

std::string UnixFixtures() {
    const char* dir = getenv("RB_UNIX_FIXTURES");
    return dir ? dir : "";
}

int ThreadsOfThisProcess() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId())
            ++count;
    CloseHandle(snapshot);
    return count;
}

// Clicks the title of list column `column`, as the mouse does, scrolled into view first.
void ClickTitle(HWND list, int column) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    RECT rect = {}, shown = {};
    SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&rect));
    GetClientRect(header, &shown);
    if (rect.right > shown.right || rect.left < shown.left) {
        SendMessageW(list, LVM_SCROLL, static_cast<WPARAM>(rect.left - shown.left), 0);
        SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&rect));
    }
    LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(header, WM_LBUTTONUP, 0, at);
}

std::vector<std::wstring> Names(HWND list) {
    std::vector<std::wstring> names;
    for (const auto& row : ReadRows(list))
        names.push_back(row[0]);
    return names;
}

TEST_F(DetailsPageTest, AClickOnAColumnTitleSortsByItsValuesAndASecondReverses) {
    // Sizes, counts and times that each put the four items in another order.
    dir.WriteFile(L"b9.bin", std::string(200, '9'));
    dir.WriteFile(L"b10.bin", std::string(3000, '1'));
    dir.MakeDir(L"ordner2");
    dir.MakeDir(L"ordner10");
    dir.WriteFile(L"ordner2\\eins", std::string(2621440, 'e')); // 2,5 MB
    dir.WriteFile(L"ordner10\\eins", std::string(500000, 'e'));
    dir.WriteFile(L"ordner10\\zwei", std::string(421600, 'z')); // 900 KB
    const struct {
        const wchar_t* name;
        WORD second;
    } times[] = {{L"b10.bin", 1}, {L"ordner2", 2}, {L"b9.bin", 3}, {L"ordner10", 4}};
    for (const auto& t : times)
        ASSERT_TRUE(rbtest::SetTimes(dir / t.name, rbtest::TimeAt(t.second, 0), rbtest::TimeAt(t.second, 0)));
    SelectFolder(dir.Path());
    using Order = std::vector<std::wstring>;
    const Order bySize = {L"ordner2", L"ordner10", L"b10.bin", L"b9.bin"};
    const Order byName = {L"ordner2", L"ordner10", L"b9.bin", L"b10.bin"};
    const Order byTime = {L"b10.bin", L"ordner2", L"b9.bin", L"ordner10"};
    const struct {
        int column;
        Order first, second; // after one click and after a second one
    } rows[] = {
        {1, bySize, Order(bySize.rbegin(), bySize.rend())},
        // Files have no file count: last, whichever way.
        {3, {L"ordner10", L"ordner2", L"b9.bin", L"b10.bin"}, {L"ordner2", L"ordner10", L"b9.bin", L"b10.bin"}},
        {0, byName, Order(byName.rbegin(), byName.rend())},
        {10, byTime, Order(byTime.rbegin(), byTime.rend())},
    };
    std::vector<Order> seen;
    OpenStandalone([&](HWND dialog) {
        HWND list = DetailsList(dialog);
        seen.push_back(Names(list));
        for (const auto& row : rows)
            for (int click = 0; click < 2; ++click) {
                ClickTitle(list, row.column);
                // Sorted by a folder number, the list sorts once more when the walks end.
                WaitUntil([&] {
                    for (const auto& cells : ReadRows(list))
                        if (cells[1] == rb::DetailsPage::kWalkRunningText)
                            return false;
                    return true;
                });
                seen.push_back(Names(list));
            }
    });
    ASSERT_EQ(seen.size(), 9u);
    EXPECT_EQ(seen[0], byName); // as Explorer lists them
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(seen[1 + 2 * i], rows[i].first) << rows[i].column;
        EXPECT_EQ(seen[2 + 2 * i], rows[i].second) << rows[i].column;
    }
    // The sort is kept: list column 10, latest first.
    EXPECT_EQ(rb::ReadIntOption("details_spalte", -1), 10);
    EXPECT_EQ(rb::ReadIntOption("details_absteigend", -1), 1);
}

std::vector<std::wstring> openedItems;
HWND refillWhileOpening = nullptr; // as a change may in the shell's message loop
bool RecordOpenedItem(HWND, LPCITEMIDLIST item) {
    if (refillWhileOpening)
        SendMessageW(refillWhileOpening, WM_KEYDOWN, VK_F5, 0);
    wchar_t path[MAX_PATH] = {};
    SHGetPathFromIDListW(item, path);
    openedItems.push_back(path);
    return true;
}

TEST_F(DetailsPageTest, FoldersOpenInThePageAndBackspaceOrAltUpGoBackWithTheFolderFocused) {
    dir.MakeDir(L"ordner2");
    dir.MakeDir(L"ordner2\\innen");
    dir.WriteFile(L"ordner2\\innen\\x.txt", "x");
    dir.WriteFile(L"b9.bin", "9");
    SelectFolder(dir.Path());
    openedItems.clear();
    rb::ShellOpenItemFunction previous = rb::SetShellOpenItemFunction(&RecordOpenedItem);
    const struct {
        const char* action; // on the row named `row`
        const wchar_t* row;
        std::wstring path;    // the path line after it
        std::wstring focused; // the row focused after it, when one is expected
    } steps[] = {
        {"double-click", L"ordner2", dir / L"ordner2", L""},
        {"enter", L"innen", dir / L"ordner2\\innen", L""},
        {"backspace", L"", dir / L"ordner2", L"innen"},
        {"alt+up", L"", dir.Path(), L"ordner2"},
        {"enter", L"b9.bin", dir.Path(), L"b9.bin"}, // a file opens as Explorer opens it
    };
    std::wstring start;
    std::vector<std::pair<std::wstring, std::wstring>> seen; // path line, focused row
    OpenStandalone([&](HWND dialog) {
        HWND list = DetailsList(dialog);
        HWND page = GetParent(list);
        auto pathLine = [&] {
            wchar_t text[MAX_PATH] = {};
            GetDlgItemTextW(page, IDC_DETAILS_PATH, text, MAX_PATH);
            return std::wstring(text);
        };
        start = pathLine();
        refillWhileOpening = list;
        SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list), TRUE);
        for (const auto& step : steps) {
            std::vector<std::wstring> names = Names(list);
            int index = static_cast<int>(std::find(names.begin(), names.end(), step.row) - names.begin());
            LVITEMW state = {};
            state.stateMask = state.state = LVIS_FOCUSED | LVIS_SELECTED;
            SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&state));
            RECT rect = {LVIR_LABEL, 0, 0, 0};
            SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rect));
            LPARAM at = MAKELPARAM(rect.left + 2, (rect.top + rect.bottom) / 2);
            const std::string action = step.action;
            const std::wstring before = pathLine();
            if (action == "double-click") {
                PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
                PostMessageW(list, WM_LBUTTONUP, 0, at);
                PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
                PostMessageW(list, WM_LBUTTONUP, 0, at);
            } else if (action == "enter") {
                PostMessageW(list, WM_KEYDOWN, VK_RETURN, 0);
            } else if (action == "backspace") {
                PostMessageW(list, WM_KEYDOWN, VK_BACK, 0);
            } else {
                PostMessageW(list, WM_SYSKEYDOWN, VK_UP, 1 << 29);
            }
            if (step.path == before)
                WaitUntil([&] { return !openedItems.empty(); });
            else
                WaitUntil([&] { return pathLine() == step.path; });
            int focused = static_cast<int>(
                SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
            names = Names(list);
            seen.push_back({pathLine(), focused >= 0 ? names[focused] : L""});
        }
    });
    rb::SetShellOpenItemFunction(previous);
    refillWhileOpening = nullptr;
    EXPECT_EQ(start, dir.Path());
    ASSERT_EQ(seen.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(seen[i].first, steps[i].path) << i;
        if (!steps[i].focused.empty()) {
            EXPECT_EQ(seen[i].second, steps[i].focused) << i;
        }
    }
    EXPECT_EQ(openedItems, std::vector<std::wstring>{dir / L"b9.bin"});
}

TEST_F(DetailsPageTest, AWalkedTreeIsBrowsedWithoutListingAgainAndGoingUpListsOnlyWhatIsNotKnown) {
    dir.MakeDir(L"a");
    dir.MakeDir(L"a\\x");
    dir.MakeDir(L"a\\y");
    dir.MakeDir(L"a\\y\\z");
    dir.MakeDir(L"b");
    dir.WriteFile(L"a\\x\\1", "1");
    dir.WriteFile(L"a\\y\\z\\2", "2");
    dir.WriteFile(L"a\\y\\z\\3", "3");
    dir.WriteFile(L"b\\4", "4");
    SelectFolder(dir / L"a");
    const struct {
        UINT key;          // on the row named `row`; 0: none (the first listing)
        const wchar_t* row;
        std::wstring path; // listed after it
        std::wstring seen; // each folder row's file count, and the folders listed for it
    } steps[] = {
        {0, L"", dir / L"a", L"x 1, y 2; 4 listed"},             // x, y, y\z, then a itself
        {VK_BACK, L"", dir.Path(), L"a 3, b 1; 2 listed"},       // a by itself, and b
        {VK_RETURN, L"a", dir / L"a", L"x 1, y 2; 0 listed"},
        {VK_RETURN, L"y", dir / L"a\\y", L"z 2; 0 listed"},
        {VK_BACK, L"", dir / L"a", L"x 1, y 2; 0 listed"},
    };
    std::vector<std::wstring> seen;
    std::uint64_t before = rb::FolderListingCount(); // the first listing starts as it opens
    OpenStandalone([&](HWND dialog) {
        HWND list = DetailsList(dialog);
        HWND page = GetParent(list);
        for (const auto& step : steps) {
            if (step.key) {
                std::vector<std::wstring> names = Names(list);
                LVITEMW state = {};
                state.stateMask = state.state = LVIS_FOCUSED | LVIS_SELECTED;
                SendMessageW(list, LVM_SETITEMSTATE,
                             std::find(names.begin(), names.end(), step.row) - names.begin(),
                             reinterpret_cast<LPARAM>(&state));
                PostMessageW(list, WM_KEYDOWN, step.key, 0);
            }
            std::wstring text;
            WaitUntil([&] {
                wchar_t path[MAX_PATH] = {};
                GetDlgItemTextW(page, IDC_DETAILS_PATH, path, MAX_PATH);
                if (path != step.path)
                    return false;
                text.clear();
                if (!Done(page) || rb::WalkWorker::Busy() != 0)
                    return false;
                for (const auto& cells : ReadRows(list)) {
                    if (cells[3] == rb::DetailsPage::kWalkRunningText)
                        return false;
                    text += (text.empty() ? L"" : L", ") + cells[0] + L" " +
                            cells[3].substr(cells[3].find_first_not_of(L' '));
                }
                return true;
            });
            const std::uint64_t now = rb::FolderListingCount();
            seen.push_back(text + L"; " + std::to_wstring(now - before) + L" listed");
            before = now;
        }
    });
    ASSERT_EQ(seen.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(seen[i], steps[i].seen) << i;
}

// What the shell tells its listeners after a change (under Wine, programs that change
// files do not make it tell them).
void Notify(LONG event, const std::wstring& path, const std::wstring& to = L"") {
    SHChangeNotify(event, SHCNF_PATHW | SHCNF_FLUSH, path.c_str(), to.empty() ? nullptr : to.c_str());
}

TEST_F(DetailsPageTest, ChangesAtDepthFiveShowInTheTotalsAboveWithOnlyTheChangedFoldersListedAgain) {
    const std::wstring d4 = L"top\\d1\\d2\\d3\\d4", d5 = d4 + L"\\d5";
    dir.MakeDir(L"top");
    for (const wchar_t* d : {L"top\\d1", L"top\\d1\\d2", L"top\\d1\\d2\\d3", d4.c_str(), d5.c_str()})
        dir.MakeDir(d);
    dir.WriteFile(d5 + L"\\alt", std::string(1000, 'a'));
    rb::WriteIntOption("groesse_typ", 2); // bytes
    SelectFolder(dir.Path());
    const struct {
        const char* what;
        std::function<void()> change;
        std::wstring top;  // the row's size, folders and files after it
        std::uint64_t listed;
    } steps[] = {
        {"nothing yet", [] {}, L"1000 5 1", 7}, // the listed folder itself last
        {"a file comes", [&] { Notify(SHCNE_CREATE, dir.WriteFile(d5 + L"\\neu", std::string(100, 'n'))); },
         L"1100 5 2", 1},
        {"it grows", [&] { Notify(SHCNE_UPDATEITEM, dir.WriteFile(d5 + L"\\neu", std::string(5000, 'n'))); },
         L"6000 5 2", 1},
        {"it goes", [&] { DeleteFileW((dir / (d5 + L"\\neu")).c_str()); Notify(SHCNE_DELETE, dir / (d5 + L"\\neu")); },
         L"1000 5 1", 1},
        {"d5 moves out of top", [&] {
             MoveFileW((dir / d5).c_str(), (dir / L"raus").c_str());
             Notify(SHCNE_RENAMEFOLDER, dir / d5, dir / L"raus");
         }, L"0 4 0", 3}, // d4, the listed folder, and the walk of raus
        {"and back in", [&] {
             MoveFileW((dir / L"raus").c_str(), (dir / d5).c_str());
             Notify(SHCNE_RENAMEFOLDER, dir / L"raus", dir / d5);
         }, L"1000 5 1", 3},
        {"the shell lost track below d1", [&] {
             dir.WriteFile(L"top\\d1\\d2\\x", std::string(7, 'x'));
             Notify(SHCNE_UPDATEDIR, dir / L"top\\d1");
         }, L"1007 5 2", 5}, // d1 and the four below walked again
    };
    std::vector<std::wstring> seen;
    std::uint64_t before = rb::FolderListingCount();
    OpenStandalone([&](HWND dialog) {
        HWND list = DetailsList(dialog);
        HWND page = GetParent(list);
        for (const auto& step : steps) {
            step.change();
            std::wstring top;
            WaitUntil([&] {
                wchar_t state[256] = {};
                GetDlgItemTextW(page, IDC_DETAILS_STATE, state, 256);
                top.clear();
                for (const auto& cells : ReadRows(list))
                    if (cells[0] == L"top")
                        for (int column : {1, 2, 3})
                            top += (column > 1 ? L" " : L"") + Digits(cells[column]);
                // Idle: no walk queued, under way or answered and not yet taken.
                return rb::FolderListingCount() - before >= step.listed && top == step.top &&
                       std::wstring(state).compare(0, 7, L"Fertig:") == 0 &&
                       rb::WalkWorker::Busy() == 0;
            }, 20000);
            const std::uint64_t now = rb::FolderListingCount();
            seen.push_back(top + L"; " + std::to_wstring(now - before) + L" listed");
            before = now;
        }
    });
    ASSERT_EQ(seen.size(), std::size(steps));
    for (std::size_t i = 0; i < std::size(steps); ++i)
        EXPECT_EQ(seen[i], steps[i].top + L"; " + std::to_wstring(steps[i].listed) + L" listed")
            << steps[i].what;
}

TEST_F(DetailsPageTest, TheShownFoldersParentRenamedShowsItUnderItsNewPathWithItsNumbersKept) {
    dir.MakeDir(L"top");
    dir.MakeDir(L"top\\d1");
    dir.MakeDir(L"top\\d1\\d2");
    dir.WriteFile(L"top\\d1\\d2\\f", "f");
    SelectFolder(dir / L"top\\d1");
    std::wstring path, cells;
    std::uint64_t listed = 0;
    OpenStandalone([&](HWND dialog) {
        HWND list = DetailsList(dialog);
        HWND page = GetParent(list);
        WaitUntil([&] { return Cell(list, 0, 3) == L" 1"; });
        const std::uint64_t before = rb::FolderListingCount();
        ASSERT_TRUE(MoveFileW((dir / L"top").c_str(), (dir / L"oben").c_str()));
        Notify(SHCNE_RENAMEFOLDER, dir / L"top", dir / L"oben");
        WaitUntil([&] {
            wchar_t text[MAX_PATH] = {};
            GetDlgItemTextW(page, IDC_DETAILS_PATH, text, MAX_PATH);
            cells = Cell(list, 0, 0) + L" " + Cell(list, 0, 3);
            return (path = text) == dir / L"oben\\d1" && cells == L"d2  1";
        }, 20000);
        listed = rb::FolderListingCount() - before;
    });
    EXPECT_EQ(path, dir / L"oben\\d1");
    EXPECT_EQ(cells, L"d2  1");
    EXPECT_EQ(listed, 0u);
}

// The folder rows of the list as "name bytes folders files", and the same from a fresh
// walk of each: equal once the page has followed every change (sizes shown in bytes).
struct RowsAndWalks {
    std::wstring shown, walked;
};
RowsAndWalks FolderRowsAgainstWalks(HWND list, const std::wstring& folder) {
    RowsAndWalks seen;
    for (const auto& cells : ReadRows(list)) {
        if (cells[8] != L"[Ordner]")
            continue;
        std::int64_t files = 0, folders = 0;
        const std::uint64_t size = rb::WalkFolder((folder + L"\\" + cells[0]).c_str(), files, folders);
        seen.shown += cells[0] + L" " + Digits(cells[1]) + L" " + Digits(cells[2]) + L" " +
                      Digits(cells[3]) + L"; ";
        seen.walked += cells[0] + L" " + std::to_wstring(size) + L" " + std::to_wstring(folders) +
                       L" " + std::to_wstring(files) + L"; ";
    }
    return seen;
}

void ClearClipboard() {
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
}

// Once the clipboard holds text: that text.
std::wstring ClipboardText() {
    std::wstring text;
    WaitUntil([] { return IsClipboardFormatAvailable(CF_UNICODETEXT) != FALSE; });
    if (OpenClipboard(nullptr)) {
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            text = static_cast<const wchar_t*>(GlobalLock(data));
            GlobalUnlock(data);
        }
        CloseClipboard();
    }
    return text;
}

TEST_F(DetailsPageTest, RandomChangesToldAsTheShellTellsThemLeaveEveryRowEqualToAFreshWalk) {
    for (const wchar_t* folder : {L"a", L"a\\a1", L"b", L"c", L"c\\c1", L"c\\c1\\c2"})
        dir.MakeDir(folder);
    for (const wchar_t* file : {L"a\\f", L"a\\a1\\f", L"b\\f", L"c\\c1\\c2\\f"})
        dir.WriteFile(file, std::string(100, 'x'));
    rb::WriteIntOption("groesse_typ", 2); // bytes
    SelectFolder(dir.Path());
    OpenStandalone([&](HWND dialog) {
        HWND list = DetailsList(dialog);
        HWND page = GetParent(list);
        int made = 0;
        for (unsigned seed : {7u, 8u, 9u}) {
            std::mt19937 random(seed);
            auto pick = [&](std::size_t count) { return count ? random() % count : 0; };
            std::string steps;
            for (int step = 0; step < 24; ++step) {
                std::vector<std::wstring> folders{L""}, files;
                rbtest::ForEachBelow(dir.Path(), [&](const std::wstring& child, bool folder) {
                    (folder ? folders : files).push_back(child.substr(dir.Path().size()));
                });
                const std::wstring at = folders[pick(folders.size())];
                const std::wstring file = files.empty() ? L"" : files[pick(files.size())];
                const std::wstring fresh = at + L"\\n" + std::to_wstring(++made);
                LONG event = 0;
                std::wstring first, second;
                switch (pick(8)) {
                case 0: // a file made, grown or removed
                case 1:
                    event = SHCNE_CREATE;
                    rbtest::WriteBytes(dir.Path() + (first = fresh), std::string(pick(3000), 'm'));
                    break;
                case 2:
                case 3:
                    if (file.empty())
                        continue;
                    event = pick(2) ? SHCNE_UPDATEITEM : SHCNE_DELETE;
                    if (event == SHCNE_DELETE)
                        DeleteFileW((dir.Path() + (first = file)).c_str());
                    else
                        rbtest::WriteBytes(dir.Path() + (first = file), std::string(pick(3000), 'g'));
                    break;
                case 4: // a folder made, renamed, moved or removed
                    event = SHCNE_MKDIR;
                    CreateDirectoryW((dir.Path() + (first = fresh)).c_str(), nullptr);
                    break;
                case 5:
                case 6: {
                    if (at.empty())
                        continue;
                    const std::wstring into = folders[pick(folders.size())];
                    second = (pick(2) || into.compare(0, at.size(), at) == 0
                                  ? at.substr(0, at.find_last_of(L'\\'))
                                  : into) + L"\\n" + std::to_wstring(made);
                    event = SHCNE_RENAMEFOLDER;
                    if (!MoveFileW((dir.Path() + (first = at)).c_str(), (dir.Path() + second).c_str()))
                        continue;
                    break;
                }
                default:
                    if (at.empty())
                        continue;
                    event = SHCNE_RMDIR;
                    rbtest::DeleteTree(dir.Path() + (first = at));
                    break;
                }
                // Told as the shell tells it (how else it may come is the model test's).
                steps += std::to_string(event) + " " + rbtest::Narrow(first) + "; ";
                Notify(event, dir.Path() + first, second.empty() ? L"" : dir.Path() + second);
                if (step % 4 != 3)
                    continue;
                // A quiet moment: every row as a fresh walk has it.
                RowsAndWalks seen;
                ASSERT_TRUE(WaitUntil([&] {
                    seen = FolderRowsAgainstWalks(list, dir.Path());
                    return seen.shown == seen.walked && Done(page);
                }, 30000)) << "seed " << seed << ": " << steps << "\n" << rbtest::Narrow(seen.shown)
                           << " / " << rbtest::Narrow(seen.walked);
            }
        }
    });
}

TEST_F(DetailsPageTest, AStreamOfChangesTheRootsLostTrackAndTheListedFolderRemovedShowAsTheDiskIs) {
    dir.MakeDir(L"top");
    dir.MakeDir(L"top\\sub");
    dir.MakeDir(L"top\\sub\\stream");
    dir.WriteFile(L"top\\sub\\stream\\0", "0");
    rb::WriteIntOption("groesse_typ", 2); // bytes
    SelectFolder(dir / L"top\\sub");
    std::wstring path;
    int written = 1;
    bool streamShown = false, rootWalked = false;
    OpenStandalone([&](HWND dialog) {
        HWND list = DetailsList(dialog);
        HWND page = GetParent(list);
        WaitUntil([&] { return Digits(Cell(list, 0, 3)) == L"1"; });
        // A file every moment: the values move while the stream goes on, at most the
        // gathering's time behind it.
        streamShown = WaitUntil([&] {
            const std::wstring file = dir / (L"top\\sub\\stream\\" + std::to_wstring(written++));
            rbtest::WriteBytes(file, "s");
            Notify(SHCNE_CREATE, file);
            return std::stoi(L"0" + Digits(Cell(list, 0, 3))) >= 3;
        }, 30000);
        // Changes the shell did not tell, and then that it lost track of the followed folder.
        dir.MakeDir(L"top\\sub\\stream\\still");
        dir.WriteFile(L"top\\sub\\stream\\still\\x", std::string(500, 'x'));
        Notify(SHCNE_UPDATEDIR, dir / L"top\\sub");
        rootWalked = WaitUntil([&] {
            const RowsAndWalks seen = FolderRowsAgainstWalks(list, dir / L"top\\sub");
            return seen.shown == seen.walked && Done(page);
        }, 30000);
        // The listed folder removed: the nearest folder above it that is there is listed.
        rbtest::DeleteTree(dir / L"top\\sub");
        Notify(SHCNE_RMDIR, dir / L"top\\sub");
        WaitUntil([&] {
            wchar_t text[MAX_PATH] = {};
            GetDlgItemTextW(page, IDC_DETAILS_PATH, text, MAX_PATH);
            return (path = text) == dir / L"top" && SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == 0;
        }, 30000);
    });
    EXPECT_TRUE(streamShown) << written << " files written";
    EXPECT_TRUE(rootWalked);
    EXPECT_EQ(path, dir / L"top");
}

TEST_F(DetailsPageTest, FiveHundredPagesThatFollowedChangesLeaveNoThreadHandleOrMemoryBehind) {
    dir.MakeDir(L"a");
    dir.MakeDir(L"a\\b");
    dir.WriteFile(L"a\\b\\f", "f");
    rb::UniqueIdList folder(rbtest::Parse(dir.Path()));
    // One page window (its picture library starts once); each round lists, walks,
    // follows and closes as the dialog does.
    rb::DetailsPage page;
    ASSERT_TRUE(page.Create(nullptr));
    auto cycle = [&](int times) {
        for (int i = 0; i < times; ++i) {
            page.Fill(folder.get());
            page.CellOf(0, 3); // a walk starts
            // A change below, and the shell losing track, followed while the walk may
            // still run.
            Notify(SHCNE_CREATE, dir / L"a\\b\\f");
            Notify(SHCNE_UPDATEDIR, dir / L"a");
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&message);
            page.OnClosing();
        }
        WaitUntil([] { return rb::WalkWorker::LiveThreads() == 0 && rb::DetailsPage::SavesPending() == 0; });
    };
    cycle(20);
    const int threads = ThreadsOfThisProcess(), handles = rbtest::OpenHandleCount();
    const int blocks = rbtest::ProcessHeapBlocks();
    const std::size_t bytes = rbtest::CommittedPrivateBytes();
    cycle(500);
    // The system ends a thread a moment after the thread says so.
    EXPECT_TRUE(WaitUntil([&] { return ThreadsOfThisProcess() == threads; })) << ThreadsOfThisProcess();
    EXPECT_TRUE(WaitUntil([&] { return rbtest::OpenHandleCount() == handles; })) << rbtest::OpenHandleCount();
    EXPECT_LE(rbtest::ProcessHeapBlocks(), blocks + 50);
    EXPECT_LE(rbtest::CommittedPrivateBytes(), bytes + 256 * 1024);
    DestroyWindow(page.Window());
}

TEST_F(DetailsPageTest, NotificationsStillQueuedWhenThePageClosesAreTakenAndLetGo) {
    // The shell posts each notification with a block of shared memory, which stays until
    // the page locks and lets go of it. (Wine delivers them at once; here they are posted
    // as Windows posts them.)
    rb::UniqueIdList folder(rbtest::Parse(dir.Path()));
    rb::DetailsPage page;
    ASSERT_TRUE(page.Create(nullptr));
    page.Fill(folder.get());
    // Exported by their numbers only (7 and 10) on older systems, and so by Wine.
    HMODULE shlwapi = LoadLibraryW(L"shlwapi.dll");
    auto allocShared = reinterpret_cast<HANDLE(WINAPI*)(const void*, DWORD, DWORD)>(
        GetProcAddress(shlwapi, MAKEINTRESOURCEA(7)));
    auto freeShared = reinterpret_cast<BOOL(WINAPI*)(HANDLE, DWORD)>(
        GetProcAddress(shlwapi, MAKEINTRESOURCEA(10)));
    ASSERT_TRUE(allocShared && freeShared);
    std::vector<HANDLE> blocks;
    for (UINT message : {rb::DetailsPage::kShellChanged, rb::DetailsPage::kAboveChanged,
                         rb::DetailsPage::kShellChanged}) {
        const std::vector<BYTE> zeros(64);
        blocks.push_back(allocShared(zeros.data(), static_cast<DWORD>(zeros.size()),
                                     GetCurrentProcessId()));
        PostMessageW(page.Window(), message, reinterpret_cast<WPARAM>(blocks.back()),
                     static_cast<LPARAM>(GetCurrentProcessId()));
    }
    PostMessageW(page.Window(), WM_USER + 77, 0, 0); // someone else's: stays
    page.OnClosing();
    MSG left;
    EXPECT_FALSE(PeekMessageW(&left, page.Window(), rb::DetailsPage::kShellChanged,
                              rb::DetailsPage::kAboveChanged, PM_NOREMOVE));
    EXPECT_TRUE(PeekMessageW(&left, page.Window(), WM_USER + 77, WM_USER + 77, PM_REMOVE));
    for (HANDLE block : blocks)
        freeShared(block, GetCurrentProcessId());
    FreeLibrary(shlwapi);
    DestroyWindow(page.Window());
}

TEST_F(DetailsPageTest, F5ListsTheFolderAnewAndCtrlCCopiesTheSelectedRowsWithTheirTitles) {
    dir.WriteFile(L"a.txt", "aa");
    dir.WriteFile(L"b.txt", "bbb");
    SelectFolder(dir.Path());
    std::vector<std::wstring> before, after;
    std::wstring copied;
    OpenStandalone([&](HWND dialog) {
        HWND list = DetailsList(dialog);
        before = Names(list);
        dir.WriteFile(L"c.txt", "c");
        PostMessageW(list, WM_KEYDOWN, VK_F5, 0);
        WaitUntil([&] { return Names(list).size() == 3; });
        after = Names(list);
        LVITEMW state = {};
        state.stateMask = state.state = LVIS_SELECTED;
        for (int row : {0, 2})
            SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
        ClearClipboard();
        PostMessageW(list, WM_CHAR, 3, 0); // Ctrl+C
        copied = ClipboardText();
    });
    EXPECT_EQ(before, (std::vector<std::wstring>{L"a.txt", L"b.txt"}));
    EXPECT_EQ(after, (std::vector<std::wstring>{L"a.txt", L"b.txt", L"c.txt"}));
    // Titles, then a.txt and c.txt: 14 cells each between tabs (the growth last), the path
    // in the eighth.
    std::vector<std::wstring> lines;
    for (std::size_t start = 0, end; (end = copied.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
        lines.push_back(copied.substr(start, end - start));
    ASSERT_EQ(lines.size(), 3u) << rbtest::Narrow(copied);
    EXPECT_EQ(lines[0].substr(0, 23), L"Name\tOrdnergr\u00f6\u00dfe (RB)\tO");
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(std::count(lines[i].begin(), lines[i].end(), L'\t'), 13) << i;
    EXPECT_EQ(lines[1].substr(0, 6), L"a.txt\t");
    EXPECT_NE(lines[2].find(L"\t" + (dir / L"c.txt") + L"\t"), std::wstring::npos);
}

// The rows' actions: the context menu, Delete and F2.

// Selects exactly the rows named `names`, the first focused.
void SelectNamed(HWND list, const std::vector<std::wstring>& names) {
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    const std::vector<std::wstring> shown = Names(list);
    for (std::size_t i = 0; i < names.size(); ++i) {
        state.state = LVIS_SELECTED | (i == 0 ? LVIS_FOCUSED : 0);
        const auto row = std::find(shown.begin(), shown.end(), names[i]) - shown.begin();
        SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
    }
}

// The open menu's entries ("-" a separator; true: the shell's id), and the one at `wanted`
// chosen with the keys once the menu follows them.
std::vector<std::pair<std::wstring, bool>> ReadAndChoose(HWND popup, const std::wstring& wanted) {
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
    std::vector<std::pair<std::wstring, bool>> entries;
    int chosen = 0;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[128] = {};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_STRING | MIIM_FTYPE;
        info.dwTypeData = text;
        info.cch = 128;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        entries.push_back({info.fType & MFT_SEPARATOR ? L"-" : text, info.wID >= 1 && info.wID <= 0x7FFF});
        chosen = entries.back().first == wanted ? i : chosen;
    }
    auto marked = [&] {
        for (int i = 0; i < GetMenuItemCount(menu); ++i)
            if (GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_HILITE)
                return i;
        return -1;
    };
    for (int before; (before = marked()) != chosen;) {
        PostMessageW(popup, WM_KEYDOWN, VK_DOWN, 0);
        if (!WaitUntil([&] { return marked() != before; }))
            break;
    }
    PostMessageW(popup, WM_KEYDOWN, VK_RETURN, 0);
    WaitUntil([] { return rbtest::FindOwnWindow("#32768", nullptr) == nullptr; });
    return entries;
}

// The keys of the list's thread as the user holds them.
void HoldShift(HWND window, bool held) {
    rbtest::RunInThreadOf(window, [held] {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[VK_SHIFT] = held ? 0x80 : 0;
        SetKeyboardState(keys);
    });
}

std::vector<std::wstring> shownInExplorer; // the folder, then its items
HRESULT WINAPI RecordShowInExplorer(LPCITEMIDLIST folder, UINT count, LPCITEMIDLIST* children, DWORD) {
    for (UINT i = 0; i <= count; ++i) {
        rb::UniqueIdList full(i ? ILCombine(folder, children[i - 1]) : ILClone(folder));
        wchar_t path[MAX_PATH] = {};
        SHGetPathFromIDListW(full.get(), path);
        shownInExplorer.push_back(path);
    }
    return S_OK;
}

TEST_F(DetailsPageTest, TheContextMenuShowsOurEntriesAboveTheShellsAndDoesWhatIsChosen) {
    dir.WriteFile(L"a.txt", "a");
    dir.WriteFile(L"b.txt", "b");
    dir.MakeDir(L"ordner");
    SelectFolder(dir.Path());
    shownInExplorer.clear();
    auto previous = rb::SetOpenFolderAndSelectFunction(&RecordShowInExplorer);
    const struct {
        std::vector<std::wstring> rows;
        const char* how;
        const wchar_t* chosen;
    } cases[] = {
        {{L"a.txt", L"b.txt"}, "shift+f10", L"Im Explorer zeigen"},
        {{L"b.txt", L"a.txt"}, "right-click", L"Pfad kopieren"},
        {{L"ordner"}, "menu key", L"\u00D6ffnen"},
    };
    std::vector<std::vector<std::pair<std::wstring, bool>>> seen;
    std::wstring copied;
    OpenStandalone([&](HWND dialog) {
        HWND list = DetailsList(dialog);
        for (const auto& step : cases) {
            SelectNamed(list, step.rows);
            ClearClipboard();
            const std::string how = step.how;
            if (how == "right-click") { // what the list sends after the click on the focused row
                RECT rect = {LVIR_LABEL, 0, 0, 0};
                SendMessageW(list, LVM_GETITEMRECT, SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_FOCUSED),
                             reinterpret_cast<LPARAM>(&rect));
                POINT point = {rect.left + 2, rect.top + 2};
                ClientToScreen(list, &point);
                PostMessageW(list, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(point.x, point.y));
            } else if (how == "shift+f10") {
                HoldShift(list, true);
                PostMessageW(list, WM_SYSKEYDOWN, VK_F10, 0);
            } else {
                PostMessageW(list, WM_KEYUP, VK_APPS, 0);
            }
            HWND popup = rbtest::WaitForWindow("#32768", nullptr);
            ASSERT_NE(popup, nullptr);
            seen.push_back(ReadAndChoose(popup, step.chosen));
            HoldShift(list, false);
            if (how == "right-click")
                copied = ClipboardText();
        }
        WaitUntil([&] { return Names(list).empty(); }); // "ordner" listed
    });
    rb::SetOpenFolderAndSelectFunction(previous);
    ASSERT_EQ(seen.size(), 3u);
    for (std::size_t i = 0; i < seen.size(); ++i) {
        // "Öffnen" only for the folder; then a separator and the shell's own entries.
        std::vector<std::wstring> own = {L"Im Explorer zeigen", L"Pfad kopieren", L"-"};
        if (i == 2)
            own.insert(own.begin(), L"\u00D6ffnen");
        ASSERT_GT(seen[i].size(), own.size()) << i;
        for (std::size_t e = 0; e < own.size(); ++e)
            EXPECT_EQ(seen[i][e], std::make_pair(own[e], false)) << i << " " << e;
        EXPECT_TRUE(seen[i][own.size()].second) << i;
    }
    // One window for one folder, with both selected.
    EXPECT_EQ(shownInExplorer, (std::vector<std::wstring>{dir.Path(), dir / L"a.txt", dir / L"b.txt"}));
    EXPECT_EQ(copied, (dir / L"a.txt") + L"\r\n" + (dir / L"b.txt"));
}

std::vector<std::tuple<UINT, FILEOP_FLAGS, std::wstring, HWND>> fileOperations; // the list whole
std::atomic<int> fileOperationCount{0};
int RecordFileOperation(SHFILEOPSTRUCTW* operation) {
    const wchar_t* end = operation->pFrom;
    while (end[0] || end[1])
        ++end;
    fileOperations.emplace_back(operation->wFunc, operation->fFlags, std::wstring(operation->pFrom, end + 2),
                                operation->hwnd);
    fileOperationCount.fetch_add(1);
    return 0;
}

TEST_F(DetailsPageTest, DeleteGoesToTheBinShiftDeleteForGoodAfterTheShellsOwnConfirmation) {
    dir.WriteFile(L"a.txt", "a");
    dir.WriteFile(L"b.txt", "b");
    const std::wstring c = dir.WriteFile(L"c.txt", "c");
    SelectFolder(dir.Path());
    fileOperations.clear();
    auto previous = rb::SetFileOperationFunction(&RecordFileOperation);
    const struct {
        bool shift;
        FILEOP_FLAGS flags;
    } cases[] = {{false, FOF_ALLOWUNDO | FOF_WANTNUKEWARNING}, {true, FOF_WANTNUKEWARNING}};
    HWND owner = nullptr, confirmOwner = nullptr;
    std::vector<std::wstring> left;
    OpenStandalone([&](HWND dialog) {
        owner = dialog;
        HWND list = DetailsList(dialog);
        for (const auto& step : cases) {
            SelectNamed(list, {L"a.txt", L"b.txt"});
            const int before = fileOperationCount;
            HoldShift(list, step.shift);
            PostMessageW(list, WM_KEYDOWN, VK_DELETE, 0);
            WaitUntil([&] { return fileOperationCount > before; });
            HoldShift(list, false);
        }
        // The real one: the shell asks, owned by the dialog; the row goes as the file does.
        rb::SetFileOperationFunction(nullptr);
        SelectNamed(list, {L"c.txt"});
        PostMessageW(list, WM_KEYDOWN, VK_DELETE, 0);
        HWND confirm = rbtest::WaitForWindow("#32770", nullptr, dialog);
        ASSERT_NE(confirm, nullptr);
        confirmOwner = GetWindow(confirm, GW_OWNER);
        SendMessageW(GetDlgItem(confirm, IDYES), BM_CLICK, 0, 0);
        WaitUntil([&] { return Names(list).size() == 2; });
        left = Names(list);
    });
    rb::SetFileOperationFunction(previous);
    ASSERT_EQ(fileOperations.size(), 2u);
    const std::wstring ab = (dir / L"a.txt") + L'\0' + (dir / L"b.txt") + L'\0' + L'\0';
    for (std::size_t i = 0; i < 2; ++i)
        EXPECT_EQ(fileOperations[i], std::make_tuple(UINT(FO_DELETE), cases[i].flags, ab, owner)) << i;
    EXPECT_EQ(confirmOwner, owner);
    EXPECT_EQ(GetFileAttributesW(c.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(left, (std::vector<std::wstring>{L"a.txt", L"b.txt"}));
}

TEST_F(DetailsPageTest, F2RenamesTheFocusedRowInPlaceThroughTheShell) {
    dir.WriteFile(L"a.txt", "a");
    dir.MakeDir(L"ordner");
    SelectFolder(dir.Path());
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {{L"a.txt", L"neu.txt"}, {L"ordner", L"umbenannt"}};
    std::vector<std::wstring> editing, names;
    int refused = 0;
    OpenStandalone([&](HWND dialog) {
        HWND list = DetailsList(dialog);
        for (const auto& step : cases) {
            SelectNamed(list, {step.first});
            // Editing as a click on the selected name starts it: refused.
            refused += SendMessageW(list, LVM_EDITLABELW, SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_FOCUSED), 0) == 0;
            PostMessageW(list, WM_KEYDOWN, VK_F2, 0);
            HWND edit = nullptr;
            WaitUntil([&] { return (edit = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETEDITCONTROL, 0, 0))); });
            wchar_t text[MAX_PATH] = {};
            GetWindowTextW(edit, text, MAX_PATH);
            editing.push_back(text);
            SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(step.second));
            PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
            WaitUntil([&] { return (names = Names(list)), std::count(names.begin(), names.end(), step.second) == 1; });
        }
    });
    EXPECT_EQ(refused, 2);
    EXPECT_EQ(editing, (std::vector<std::wstring>{L"a.txt", L"ordner"}));
    EXPECT_EQ(names, (std::vector<std::wstring>{L"umbenannt", L"neu.txt"}));
    EXPECT_NE(GetFileAttributesW((dir / L"neu.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesW((dir / L"umbenannt").c_str()), INVALID_FILE_ATTRIBUTES);
}

// Listings of the big tree are counted; the one of its folder "d00100" waits for `release`.
struct CountedWalks {
    static std::atomic<int> listed;
    static HANDLE entered, release;
    static void Hook(const std::wstring& path) {
        ++listed;
        if (path.size() > 8 && path.compare(path.size() - 8, 8, L"\\d00100\\") == 0) {
            SetEvent(entered);
            WaitForSingleObject(release, 60000);
        }
    }
};
std::atomic<int> CountedWalks::listed{0};
HANDLE CountedWalks::entered, CountedWalks::release;

// Pixels of the highlight colour along the middle of row `row`'s folder-size cell, as
// the list draws itself.
int BarPixels(HWND list, int row) {
    RECT cell = {};
    cell.top = 1;
    cell.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell));
    RECT client;
    GetClientRect(list, &client);
    HDC screen = GetDC(list);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP picture = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ old = SelectObject(memory, picture);
    SendMessageW(list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT | PRF_ERASEBKGND);
    int count = 0;
    const int y = cell.top + 1; // above the text, which is drawn over the bar
    for (int x = cell.left; x < cell.right; ++x)
        count += GetPixel(memory, x, y) == GetSysColor(COLOR_HIGHLIGHT);
    SelectObject(memory, old);
    DeleteObject(picture);
    DeleteDC(memory);
    ReleaseDC(list, screen);
    return count;
}

TEST_F(DetailsPageTest, TheStateLineCountsTheBarShowsEachFoldersShareAndTypingFindsAName) {
    dir.MakeDir(L"gross");
    dir.WriteFile(L"gross\\drei.bin", std::string(3000, '3'));
    dir.MakeDir(L"klein");
    dir.WriteFile(L"klein\\eins.bin", std::string(1000, '1'));
    dir.MakeDir(L"kaputt"); // its listing fails: a folder that cannot be read
    struct Failing {
        static void Hook(const std::wstring& path) {
            if (path.find(L"kaputt") != std::wstring::npos)
                throw std::bad_alloc();
        }
    };
    rb::ListingHook previous = rb::SetListingHook(&Failing::Hook);
    rb::WriteIntOption("groesse_typ", 2);
    rb::WriteIntOption("details_spalte", 1);
    rb::WriteIntOption("details_absteigend", 1);
    SelectFolder(dir.Path());
    std::wstring state;
    std::vector<std::wstring> names, found;
    std::vector<int> bars;
    int cellWidth = 0;
    OpenStandalone([&](HWND dialog) {
        HWND list = DetailsList(dialog);
        HWND page = GetParent(list);
        WaitUntil([&] {
            wchar_t now[16] = {};
            GetDlgItemTextW(page, IDC_DETAILS_STATE, now, 16);
            return std::wstring(now).compare(0, 7, L"Fertig:") == 0;
        });
        wchar_t text[200] = {};
        GetDlgItemTextW(page, IDC_DETAILS_STATE, text, 200);
        state = text;
        names = Names(list);
        for (int row : {0, 1})
            bars.push_back(BarPixels(list, row));
        cellWidth = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0));
        // Typing picks the row whose name begins with the letters, case aside.
        SetFocus(list);
        for (const wchar_t* c = L"KA"; *c; ++c)
            SendMessageW(list, WM_CHAR, *c, 1); // repeat count 1, as a real key gives
        int focused = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_FOCUSED));
        found.push_back(focused >= 0 ? Cell(list, focused, 0) : L"");
    });
    rb::SetListingHook(previous);
    // Largest first, the folder without numbers last; it is counted as not readable.
    EXPECT_EQ(names, (std::vector<std::wstring>{L"gross", L"klein", L"kaputt"}));
    EXPECT_EQ(state, L"Fertig: 2 Dateien, 3,9 KB, 1 Ordner nicht lesbar");
    // 3000 and 1000 of 4000 bytes: three quarters and a quarter of the cell inside its
    // margins (2 pixels each side at 100 %).
    const int inside = cellWidth - 2 * rb::ScaleForDpi(2);
    ASSERT_EQ(bars.size(), 2u);
    EXPECT_NEAR(bars[0], inside * 3 / 4, 1);
    EXPECT_NEAR(bars[1], inside / 4, 1);
    EXPECT_EQ(found, (std::vector<std::wstring>{L"kaputt"}));
}

// The cells of a BIFF2 file: labels as their text, numbers as "=" and the value.
std::map<std::pair<int, int>, std::string> XlsCells(const std::string& bytes) {
    std::map<std::pair<int, int>, std::string> cells;
    auto word = [&](std::size_t at) {
        return static_cast<int>(static_cast<unsigned char>(bytes[at]) |
                                static_cast<unsigned char>(bytes[at + 1]) << 8);
    };
    for (std::size_t at = 0; at + 4 <= bytes.size();) {
        const int id = word(at), length = word(at + 2);
        const std::size_t data = at + 4;
        if (data + static_cast<std::size_t>(length) > bytes.size())
            break;
        if (id == 0x0004 && length >= 8)
            cells[{word(data), word(data + 2)}] =
                bytes.substr(data + 8, static_cast<unsigned char>(bytes[data + 7]));
        if (id == 0x0003 && length == 15) {
            double value = 0;
            std::memcpy(&value, bytes.data() + data + 7, sizeof value);
            char text[32];
            snprintf(text, sizeof text, "=%.10g", value);
            cells[{word(data), word(data + 2)}] = text;
        }
        at = data + static_cast<std::size_t>(length);
    }
    return cells;
}

std::atomic<int> shellOpens{0};
bool CountOpen(HWND, const std::wstring&, int) {
    ++shellOpens;
    return true;
}

TEST_F(DetailsPageTest, ListeExportsThePagesRowsInItsOrderWithSizesAndCountsAsNumberCells) {
    dir.MakeDir(L"gross");
    dir.WriteFile(L"gross\\drei.bin", std::string(3000, '3'));
    dir.MakeDir(L"klein");
    dir.WriteFile(L"klein\\eins.bin", std::string(1000, '1'));
    dir.WriteFile(L"c.txt", std::string(10, 'c'));
    rb::WriteIntOption("groesse_typ", 0); // kilobytes
    rb::WriteIntOption("datei_groesse", 1);
    rb::WriteIntOption("details_spalte", 1);
    rb::WriteIntOption("details_absteigend", 1);
    rbtest::TempDir out;
    const std::wstring target = out / L"Seite.xls";
    shellOpens = 0;
    rb::ShellOpenFunction previous = rb::SetShellOpenFunction(&CountOpen);
    SelectFolder(dir.Path());
    OpenStandalone([&](HWND dialog) {
        HWND page = GetParent(DetailsList(dialog));
        WaitUntil([&] {
            wchar_t now[16] = {};
            GetDlgItemTextW(page, IDC_DETAILS_STATE, now, 16);
            return std::wstring(now).compare(0, 7, L"Fertig:") == 0;
        });
        // "Liste", the save dialog: type XLS (the fourth), the name, OK.
        PostMessageW(dialog, WM_COMMAND, ID_EXPORT_LIST, 0);
        HWND save = rbtest::WaitForWindow("#32770", rb::kExportTitle);
        if (!save)
            return;
        HWND types = GetDlgItem(save, 0x470);
        SendMessageA(types, CB_SETCURSEL, 3, 0);
        for (WORD notification : {WORD(CBN_SELCHANGE), WORD(CBN_SELENDOK)})
            SendMessageA(save, WM_COMMAND, MAKEWPARAM(0x470, notification),
                         reinterpret_cast<LPARAM>(types));
        SetDlgItemTextW(save, GetDlgItem(save, 0x47c) ? 0x47c : 0x480, target.c_str());
        PostMessageA(save, WM_COMMAND, IDOK, 0);
        WaitUntil([] { return shellOpens > 0; });
    });
    rb::SetShellOpenFunction(previous);
    auto cells = XlsCells(rbtest::ReadBytes(target));
    // The header holds all thirteen titles; the rows come in the page's order, largest
    // first, sizes in kilobytes and counts as numbers, the other cells as text.
    EXPECT_EQ(cells[std::make_pair(0, 0)], "Name");
    EXPECT_FALSE(cells[std::make_pair(0, 12)].empty());
    struct Expected {
        int row;
        std::vector<std::string> first, ninth; // columns 0 to 3; column 8
    } rows[] = {
        {1, {"gross", "=2.9296875", "=0", "=1"}, {"[Ordner]"}},
        {2, {"klein", "=0.9765625", "=0", "=1"}, {"[Ordner]"}},
        {3, {"c.txt", "=0.009765625", "", ""}, {"txt"}},
    };
    for (const Expected& row : rows) {
        std::vector<std::string> seen;
        for (int column = 0; column < 4; ++column)
            seen.push_back(cells[std::make_pair(row.row, column)]);
        EXPECT_EQ(seen, row.first) << row.row;
        EXPECT_EQ(std::vector<std::string>{cells[std::make_pair(row.row, 8)]}, row.ninth);
    }
    EXPECT_EQ(shellOpens, 1);
}

TEST_F(DetailsPageTest, TheDialogAnswersWhileAHugeFolderIsWalkedAndClosingEndsTheWalk) {
    if (UnixFixtures().empty() || !getenv("RB_BIG_TREE"))
        GTEST_SKIP() << "needs RB_UNIX_FIXTURES with RB_BIG_TREE";
    SelectFolder(rbtest::UnixToWindowsPath(UnixFixtures() + "/big"));
    CountedWalks::listed = 0;
    CountedWalks::entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CountedWalks::release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    rb::ListingHook previous = rb::SetListingHook(&CountedWalks::Hook);
    bool answered = false;
    std::wstring files, folders, whileHeld;
    OpenStandalone([&](HWND dialog) {
        HWND list = DetailsList(dialog);
        Cell(list, 0, 1);
        // The walk held inside one of its listings: a dialog thread that waited for it
        // would not answer.
        WaitForSingleObject(CountedWalks::entered, 60000);
        DWORD_PTR result = 0;
        answered = SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result) != 0;
        whileHeld = Cell(list, 0, 3);
        SetEvent(CountedWalks::release);
        WaitForStatistics(list, 0);
        files = Cell(list, 0, 3);
        folders = Cell(list, 0, 2);
    });
    EXPECT_TRUE(answered);
    EXPECT_EQ(whileHeld, rb::DetailsPage::kWalkRunningText);
    EXPECT_EQ(files, L"  100.000");
    EXPECT_EQ(folders, L"  2.040");

    // Closing while the walk runs: the dialog goes without waiting for it, and the walk
    // ends at its next listing instead of going through the tree.
    const int threads = ThreadsOfThisProcess();
    CountedWalks::listed = 0;
    ResetEvent(CountedWalks::entered);
    ResetEvent(CountedWalks::release);
    OpenStandalone([&](HWND dialog) {
        Cell(DetailsList(dialog), 0, 1);
        WaitForSingleObject(CountedWalks::entered, 60000);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    const int listedWhenClosed = CountedWalks::listed;
    SetEvent(CountedWalks::release);
    rbtest::WaitUntil([] { return rb::WalkWorker::LiveThreads() == 0; });
    rb::SetListingHook(previous);
    EXPECT_EQ(CountedWalks::listed, listedWhenClosed);
    EXPECT_LT(listedWhenClosed, 2041);
    // The worker's thread has said it ends; the system takes it a moment later.
    EXPECT_TRUE(rbtest::WaitUntil([&] { return ThreadsOfThisProcess() == threads; }))
        << ThreadsOfThisProcess() << " threads, " << threads << " before";
    CloseHandle(CountedWalks::entered);
    CloseHandle(CountedWalks::release);
}

// The first image read, and the walk of "ordner", wait until the test lets them go.
struct Held {
    static std::atomic<int> images;
    static HANDLE release;
    static void Image(std::size_t) {
        if (++images == 1)
            WaitForSingleObject(release, 60000);
    }
    static void Listing(const std::wstring& path) {
        if (path.size() > 8 && path.compare(path.size() - 8, 8, L"\\ordner\\") == 0)
            WaitForSingleObject(release, 60000);
    }
};
std::atomic<int> Held::images{0};
HANDLE Held::release;

TEST_F(DetailsPageTest, ManyImagesAreReadBesideWithTheirProgressEscCancelsAndACopyWaitsForTheWalks) {
    // Widths falling with the names: sorted by size, the last name comes first. Those the
    // list shows are read as they are painted; the others, past the bound, on a thread.
    const int images = 4 * static_cast<int>(rb::FolderRows::kReadImagesBesideFrom);
    for (int i = 0; i < images; ++i)
        dir.WriteFile(L"b" + std::to_wstring(100 + i) + L".bmp", rbtest::MakeBmp(images - i, 1, 24, 2835));
    dir.MakeDir(L"ordner");
    dir.WriteFile(L"ordner\\f", "12345");
    SelectFolder(dir.Path());
    Held::images = 0;
    Held::release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    rb::ImageReadHook previousImages = rb::SetImageReadHook(&Held::Image);
    std::wstring progress, afterEsc, copied;
    std::vector<std::wstring> cancelled, sorted;
    OpenStandalone([&](HWND dialog) {
        HWND list = DetailsList(dialog);
        HWND page = GetParent(list);
        auto state = [&] { return StateText(page); };
        WaitUntil([&] { return Done(page); });
        ClickTitle(list, 1 + rb::ImageSize);
        WaitUntil([&] { return Held::images == 1 && (progress = state()).compare(0, 4, L"Lese") == 0; });
        PostMessageW(list, WM_KEYDOWN, VK_ESCAPE, 0); // not the dialog's: it stays
        WaitUntil([&] { return (afterEsc = state()).compare(0, 4, L"Lese") != 0; });
        cancelled = Names(list);
        ClickTitle(list, 1 + rb::ImageSize); // read anew, sorted (the other way) once read
        WaitUntil([&] { return (sorted = Names(list)).size() > 1 && sorted[0] == L"b100.bmp"; });
        // Ctrl+C of every row while the walk of "ordner" is held: copied once it has its
        // numbers.
        rb::ListingHook previous = rb::SetListingHook(&Held::Listing);
        ResetEvent(Held::release);
        PostMessageW(list, WM_KEYDOWN, VK_F5, 0);
        rbtest::RunInThreadOf(dialog, [] {}); // listed anew
        LVITEMW selected = {};
        selected.stateMask = selected.state = LVIS_SELECTED;
        SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&selected));
        ClearClipboard();
        PostMessageW(list, WM_CHAR, 3, 0);
        rbtest::RunInThreadOf(dialog, [] {}); // Ctrl+C taken
        // The pictures read while the walk is held: still nothing copied.
        WaitUntil([&] { return state().compare(0, 10, L"Durchsuche") == 0; });
        const bool early = IsClipboardFormatAvailable(CF_UNICODETEXT) != FALSE;
        SetEvent(Held::release);
        copied = early ? L"early" : ClipboardText();
        rb::SetListingHook(previous);
    });
    rb::SetImageReadHook(previousImages);
    CloseHandle(Held::release);
    EXPECT_EQ(progress.substr(0, 20), L"Lese Bilder \u2026 0 von ");
    EXPECT_EQ(afterEsc.compare(0, 7, L"Fertig:"), 0) << rbtest::Narrow(afterEsc);
    ASSERT_EQ(cancelled.size(), static_cast<std::size_t>(images) + 1);
    EXPECT_EQ(cancelled[1], L"b100.bmp"); // not sorted
    ASSERT_EQ(sorted.size(), cancelled.size());
    EXPECT_EQ(sorted[images - 1] + sorted[images], L"b" + std::to_wstring(99 + images) + L".bmpordner"); // no value: last
    // The folder's row with its numbers, never the running walk's mark.
    const std::size_t row = copied.find(L"\r\nordner\t");
    ASSERT_NE(row, std::wstring::npos) << rbtest::Narrow(copied);
    const std::wstring size = copied.substr(row + 9, copied.find(L'\t', row + 9) - row - 9);
    EXPECT_TRUE(!size.empty() && size.find(L'\u2026') == std::wstring::npos) << rbtest::Narrow(size);
}

TEST_F(DetailsPageTest, TheTimesOfALargeFolderAreReadOnTheirOwnThreadAndLandOnTheirOwnRows) {
    // Written and accessed times that differ for every file and run against each other
    // and against the names, past the size from which a thread reads them.
    const int files = static_cast<int>(rb::DetailsPage::kReadTimesBesideFrom) + 76;
    auto time = [](int i) {
        return rbtest::TimeAt(static_cast<WORD>(i % 60), static_cast<WORD>(i % 1000),
                              static_cast<WORD>(i / 60));
    };
    auto text = [](int i) {
        wchar_t cell[16];
        wsprintfW(cell, L"%02d.%03d", i % 60, i % 1000);
        return std::wstring(cell);
    };
    std::vector<std::wstring> expected, seen;
    for (int i = 0; i < files; ++i) {
        wchar_t name[16];
        wsprintfW(name, L"z%04d.txt", i);
        const int accessed = files - 1 - i, written = (i * 7) % files;
        ASSERT_TRUE(rbtest::SetTimes(dir.WriteFile(name, ""), time(accessed), time(written)));
        expected.insert(expected.begin(), name + (L" " + text(written)) + L" " + text(accessed));
    }
    // Names descending: rows shown in another order than the shell enumerates them.
    rb::WriteIntOption("details_absteigend", 1);
    SelectFolder(dir.Path());
    OpenStandalone([&](HWND dialog) {
        HWND list = DetailsList(dialog);
        ASSERT_TRUE(WaitUntil([] { return rb::TimesReader::LiveThreads() == 0; }));
        // Posted after the times: run once the page has taken them.
        rbtest::RunInThreadOf(dialog, [&] {
            for (int row = 0; row < files; ++row)
                seen.push_back(Cell(list, row, 0) + L" " + Cell(list, row, 10) + L" " +
                               Cell(list, row, 12));
        });
    });
    EXPECT_EQ(seen, expected);
}

// Listings of a folder named "held" wait for `release`; those of one named "broken" fail
// as a walk out of memory does.
struct HeldWalks {
    static HANDLE entered, release;
    static std::atomic<int> inside; // walks held in the listing now
    static bool EndsWith(const std::wstring& path, const std::wstring& tail) {
        return path.size() >= tail.size() &&
               path.compare(path.size() - tail.size(), tail.size(), tail) == 0;
    }
    static void Hook(const std::wstring& path) {
        if (EndsWith(path, L"\\held\\")) {
            ++inside;
            SetEvent(entered);
            WaitForSingleObject(release, 60000);
            --inside;
        } else if (EndsWith(path, L"\\broken\\")) {
            throw std::bad_alloc();
        }
    }
};
HANDLE HeldWalks::entered, HeldWalks::release;
std::atomic<int> HeldWalks::inside{0};

TEST_F(DetailsPageTest, AWalkStuckInAListingHoldsUpNeitherRefillingNorClosingAndEndsAfterIt) {
    for (const char* name : {"broken", "fine", "held"}) {
        std::wstring folder = dir.MakeDir(rbtest::Widen(name));
        rbtest::WriteBytes(folder + L"\\f", "22");
    }
    SelectFolder(dir.Path());
    // What the first opening and the first exception of a thread make stays for good
    // (its saved tree aside: the walks are watched, not saved numbers).
    OpenStandalone([](HWND) {});
    WaitUntil([] { return rb::DetailsPage::SavesPending() == 0; });
    rb::ClearShelf();
    rbtest::Thread([] {
        try {
            throw std::bad_alloc();
        } catch (...) {
        }
    }).Join();
    HeldWalks::entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HeldWalks::release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const int handles = rbtest::OpenHandleCount();
    rb::ListingHook previous = rb::SetListingHook(&HeldWalks::Hook);
    std::vector<std::wstring> broken, fine;
    std::wstring held, heldAfterRefill;
    int heldAtRefill = 0;
    OpenStandalone([&](HWND dialog) {
        HWND list = DetailsList(dialog);
        for (int row = 0; row < 3; ++row) // broken, fine, held: each asks for its walk
            Cell(list, row, 1);
        ASSERT_EQ(WaitForSingleObject(HeldWalks::entered, 60000), WAIT_OBJECT_0);
        WaitForStatistics(list, 0);
        WaitForStatistics(list, 1);
        for (int column = 1; column <= 3; ++column) {
            broken.push_back(Cell(list, 0, column));
            fine.push_back(Cell(list, 1, column));
        }
        held = Cell(list, 2, 3);
        // Refilled: the walk of a row that is still there goes on, and is not asked again.
        SendMessageW(dialog, WM_COMMAND, ID_SHOW_DETAILS, 0);
        heldAtRefill = HeldWalks::inside;
        heldAfterRefill = Cell(list, 2, 1);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    const int heldAtClose = HeldWalks::inside;
    // The walk that failed leaves its cells empty; the others go on.
    EXPECT_EQ(broken, (std::vector<std::wstring>{L"", L"", L""}));
    EXPECT_EQ(fine, (std::vector<std::wstring>{L" 0,00 MB", L" 0", L" 1"}));
    EXPECT_EQ(held, rb::DetailsPage::kWalkRunningText);
    EXPECT_EQ(heldAfterRefill, rb::DetailsPage::kWalkRunningText);
    // Refilling and closing went on while the walk was still stuck in its listing.
    EXPECT_EQ(heldAtRefill, 1);
    EXPECT_EQ(heldAtClose, 1);
    EXPECT_EQ(rb::WalkWorker::LiveThreads(), 1);
    SetEvent(HeldWalks::release);
    EXPECT_TRUE(WaitUntil([] { return rb::WalkWorker::LiveThreads() == 0; }));
    rb::SetListingHook(previous);
    EXPECT_TRUE(WaitUntil([&] { return rbtest::OpenHandleCount() == handles; }));
    CloseHandle(HeldWalks::entered);
    CloseHandle(HeldWalks::release);
}

TEST_F(DetailsPageTest, TheDesktopIsListedAndAFolderThatCannotBeBoundLeavesTheListEmpty) {
    rb::TheShellSelection().Release(); // no folder at all: the desktop
    int desktopRows = -1;
    OpenStandalone([&](HWND dialog) {
        desktopRows = static_cast<int>(SendMessageW(DetailsList(dialog), LVM_GETITEMCOUNT, 0, 0));
    });
    EXPECT_GE(desktopRows, 0);
    std::wstring gone = dir.MakeDir(L"weg");
    SelectFolder(gone);
    RemoveDirectoryW(gone.c_str());
    EXPECT_TRUE(OpenAndRead().empty());
}

TEST_F(DetailsPageTest, TheItemsIdListsAreFreedOnEveryFillAndAtTheEnd) {
    for (const wchar_t* name : {L"a", L"b", L"c"})
        dir.WriteFile(name, "x");
    SelectFolder(dir.Path());
    // Kept alive when blocks remain: the system keeps calling a spy it cannot revoke.
    auto* counter = new rbtest::AllocationCounter;
    ASSERT_EQ(CoRegisterMallocSpy(counter), S_OK);
    int rowsSeen = 0;
    OpenStandalone([&](HWND dialog) {
        for (int fill = 0; fill < 5; ++fill)
            SendMessageW(dialog, WM_COMMAND, ID_SHOW_DETAILS, 0); // each fills anew
        rowsSeen = static_cast<int>(SendMessageW(DetailsList(dialog), LVM_GETITEMCOUNT, 0, 0));
        ReadRows(DetailsList(dialog));
    });
    long alive = counter->alive;
    if (CoRevokeMallocSpy() == S_OK)
        delete counter;
    EXPECT_EQ(rowsSeen, 3);
    EXPECT_EQ(alive, 0) << "task-allocator blocks left after five fills";
}

TEST(DetailsPage, ExtensionsAreTakenFromTheFileName) {
    EXPECT_EQ(rb::ExtensionOfName(L"C:\\my.dir\\readme"), L"");
    EXPECT_EQ(rb::ExtensionOfName(L"C:\\Data\\notes."), L"");
    EXPECT_EQ(rb::ExtensionOfName(L"C:\\Data\\Photo.JPG"), L"jpg");
    EXPECT_EQ(rb::ExtensionOfName(L"C:\\a.b\\c.tar.GZ"), L"gz");
    EXPECT_EQ(rb::ExtensionOfName(L""), L"");
}

TEST_F(DetailsPageTest, RowsSortAndAreTypedByTheNameTheListShows) {
    // Shown as "m" (links hide their extension), the link comes first; by the names on disk
    // it would come last.
    dir.WriteFile(L"m.lnk", "");
    dir.WriteFile(L"m1.txt", "");
    dir.WriteFile(L"m-2.txt", "");
    SelectFolder(dir.Path());
    std::vector<std::wstring> names;
    int found = -2;
    OpenStandalone([&](HWND dialog) {
        HWND list = DetailsList(dialog);
        names = Names(list);
        LVFINDINFOW typed = {};
        typed.flags = LVFI_STRING; // the whole name, whatever the case
        typed.psz = L"M";
        found = static_cast<int>(SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(-1),
                                              reinterpret_cast<LPARAM>(&typed)));
    });
    EXPECT_EQ(names, (std::vector<std::wstring>{L"m", L"m1.txt", L"m-2.txt"}));
    EXPECT_EQ(found, 0);
}

// Names in Explorer's order, the system's StrCmpLogicalW being the reference: rows of one
// line are equal, each line comes before the next.
TEST(DetailsPage, NamesAreInTheOrderOfStrCmpLogicalW) {
    const std::vector<std::vector<std::wstring>> lines = {
        {L"1", L"01"}, {L"2"}, {L"10"}, {L"a", L"A"}, {L"a1", L"a01"}, {L"a9"}, {L"a10"},
        {L"a-9"}, {L"a-10"}, {L"a 1"}, {L"a.b"}, {L"ab", L"AB"}, {L"az"},
        {L"\u00e4", L"\u00c4"}, {L"\u00e4b"}, {L"b"}, {L"strasse"}, {L"stra\u00dfe"}, {L"t"}};
    std::vector<std::wstring> names;
    std::vector<std::size_t> line;
    for (std::size_t i = 0; i < lines.size(); ++i)
        for (const std::wstring& name : lines[i]) {
            names.push_back(name);
            line.push_back(i);
        }
    rb::NameOrder order;
    order.Make(std::vector<std::wstring_view>(names.begin(), names.end()));
    for (std::size_t a = 0; a < names.size(); ++a)
        for (std::size_t b = 0; b < names.size(); ++b) {
            const int expected = line[a] < line[b] ? -1 : line[a] > line[b] ? 1 : 0;
            EXPECT_EQ(order.Compare(a, b), expected) << names[a] << L" | " << names[b];
            EXPECT_EQ(StrCmpLogicalW(names[a].c_str(), names[b].c_str()), expected)
                << names[a] << L" | " << names[b];
        }
}

// ---------------------------------------------------------------- search menu

struct MenuItem {
    std::string text;
    UINT id;
    bool greyed;
    std::vector<std::pair<UINT, std::string>> submenu; // id, text
};
std::vector<MenuItem> shownMenu;
UINT choice = 0;

std::vector<std::pair<UINT, std::string>> Entries(HMENU menu) {
    std::vector<std::pair<UINT, std::string>> entries;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[256] = {};
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        entries.emplace_back(GetMenuItemID(menu, i), text);
    }
    return entries;
}

UINT RecordAndChoose(HMENU menu, POINT, HWND) {
    shownMenu.clear();
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        MenuItem item;
        char text[256] = {};
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        item.text = text;
        item.id = GetMenuItemID(menu, i);
        item.greyed = (GetMenuState(menu, i, MF_BYPOSITION) & MF_GRAYED) != 0;
        if (HMENU sub = GetSubMenu(menu, i))
            item.submenu = Entries(sub);
        shownMenu.push_back(item);
    }
    return choice;
}

struct Opened {
    HWND owner;
    std::string target;
    int show;
};
std::vector<Opened> opened;
bool RecordOpen(HWND owner, const std::wstring& wide, int show) {
    const std::string target = rbtest::Narrow(wide);
    opened.push_back({owner, target, show});
    return true;
}

class SearchMenuTest : public DetailsPageTest {
protected:
    void SetUp() override {
        DetailsPageTest::SetUp();
        rb::WriteIntOption("tab_id", 2);
        shownMenu.clear();
        opened.clear();
        choice = 0;
        previousChooser = rb::SetPopupChooser(&RecordAndChoose);
        previousOpen = rb::SetShellOpenFunction(&RecordOpen);
    }
    void TearDown() override {
        rb::SetPopupChooser(previousChooser);
        rb::SetShellOpenFunction(previousOpen);
        DetailsPageTest::TearDown();
    }

    // Selects `names` of the test folder through the shell's own data object.
    void SelectItems(const std::vector<std::wstring>& names) {
        rb::UniqueIdList folder(rbtest::Parse(dir.Path()));
        ComPtrDesktop desktop;
        IShellFolder* shellFolder = nullptr;
        ASSERT_EQ(desktop.p->BindToObject(folder.get(), nullptr, IID_IShellFolder,
                                          reinterpret_cast<void**>(&shellFolder)),
                  S_OK);
        std::vector<LPITEMIDLIST> children;
        for (const std::wstring& name : names) {
            LPITEMIDLIST child = nullptr;
            shellFolder->ParseDisplayName(nullptr, nullptr, const_cast<LPWSTR>(name.c_str()),
                                          nullptr, &child, nullptr);
            children.push_back(child);
        }
        IDataObject* data = nullptr;
        ASSERT_EQ(shellFolder->GetUIObjectOf(
                      nullptr, static_cast<UINT>(children.size()),
                      const_cast<LPCITEMIDLIST*>(reinterpret_cast<LPITEMIDLIST*>(children.data())),
                      IID_IDataObject, nullptr, reinterpret_cast<void**>(&data)),
                  S_OK);
        rb::TheShellSelection().Replace(folder.get(), data);
        data->Release();
        for (LPITEMIDLIST child : children)
            ILFree(child);
        shellFolder->Release();
    }
    void PressSearch() {
        OpenStandalone([](HWND dialog) { SendMessageW(dialog, WM_COMMAND, ID_SEARCH_MENU, 0); });
    }

    struct ComPtrDesktop {
        IShellFolder* p = nullptr;
        ComPtrDesktop() { SHGetDesktopFolder(&p); }
        ~ComPtrDesktop() { p->Release(); }
    };

    rb::PopupChooser previousChooser = nullptr;
    rb::ShellOpenFunction previousOpen = nullptr;
};

bool Holds(const std::vector<std::pair<UINT, std::string>>& entries, const std::string& text) {
    for (const auto& entry : entries)
        if (entry.second == text)
            return true;
    return false;
}

TEST_F(SearchMenuTest, TheFolderAndEachSelectedItemGetASubmenuOfTheirDetailTexts) {
    dir.WriteFile(L"abc", "1");
    dir.WriteFile(L"ab", "22");
    dir.WriteFile(L"erste.txt", "333");
    SelectItems({L"erste.txt", L"abc", L"ab"});
    choice = 0;
    PressSearch();
    ASSERT_EQ(shownMenu.size(), 4u);
    std::wstring folderName = dir.Path().substr(dir.Path().find_last_of(L'\\') + 1);
    EXPECT_EQ(shownMenu[0].text, rbtest::Narrow(folderName));
    EXPECT_EQ(shownMenu[1].text, "erste.txt");
    EXPECT_EQ(shownMenu[2].text, "abc");
    EXPECT_EQ(shownMenu[3].text, "ab");
    EXPECT_TRUE(Holds(shownMenu[0].submenu, rbtest::Narrow(folderName)));
    EXPECT_TRUE(Holds(shownMenu[1].submenu, "erste.txt"));
    EXPECT_TRUE(Holds(shownMenu[2].submenu, "abc")); // three characters: an item
    EXPECT_FALSE(Holds(shownMenu[3].submenu, "ab")); // two: none
    // Ids run 1, 2, 3 ... across all submenus; texts of two characters or less are left out.
    UINT expected = 1;
    for (const MenuItem& item : shownMenu)
        for (const auto& entry : item.submenu) {
            EXPECT_EQ(entry.first, expected++);
            EXPECT_GT(entry.second.size(), 2u);
        }
    EXPECT_TRUE(opened.empty()); // dismissed
}

TEST_F(SearchMenuTest, AChosenTextOpensItsSearchAndTheSameTextHasAnIdInEachSubmenu) {
    dir.WriteFile(L"eins.txt", std::string(3000, 'x'));
    dir.WriteFile(L"zwei.txt", std::string(3000, 'y'));
    SelectItems({L"eins.txt", L"zwei.txt"});
    PressSearch();
    ASSERT_EQ(shownMenu.size(), 3u);
    // Both files have the same size text and type text: two ids for one text.
    std::string shared;
    UINT first = 0, second = 0;
    for (const auto& a : shownMenu[1].submenu)
        for (const auto& b : shownMenu[2].submenu)
            if (a.second == b.second && shared.empty()) {
                shared = a.second;
                first = a.first;
                second = b.first;
            }
    ASSERT_FALSE(shared.empty());
    EXPECT_NE(first, second);
    choice = second;
    PressSearch();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].target, rb::MakeSearchLink(shared));
    EXPECT_EQ(opened[0].show, SW_SHOW);
    EXPECT_NE(opened[0].owner, nullptr);
}

TEST_F(SearchMenuTest, ThirtyItemsGiveTheFolderTwentyOneItemsAndAGreyedMore) {
    std::vector<std::wstring> names;
    for (int i = 0; i < 30; ++i) {
        wchar_t name[16];
        wsprintfW(name, L"f%02d.txt", i);
        dir.WriteFile(name, "x");
        names.push_back(name);
    }
    SelectItems(names);
    PressSearch();
    ASSERT_EQ(shownMenu.size(), 23u);
    EXPECT_EQ(shownMenu[1].text, "f00.txt");
    EXPECT_EQ(shownMenu[21].text, "f20.txt");
    EXPECT_EQ(shownMenu[22].text, ".......");
    EXPECT_EQ(shownMenu[22].id, 0u);
    EXPECT_TRUE(shownMenu[22].greyed);
    EXPECT_TRUE(shownMenu[22].submenu.empty());
}

TEST_F(SearchMenuTest, WithoutASelectionTheFoldersOwnTextsAreListedDirectly) {
    SelectFolder(dir.Path());
    choice = 1;
    PressSearch();
    ASSERT_FALSE(shownMenu.empty());
    std::wstring folderName = dir.Path().substr(dir.Path().find_last_of(L'\\') + 1);
    EXPECT_EQ(shownMenu[0].text, rbtest::Narrow(folderName));
    EXPECT_EQ(shownMenu[0].id, 1u);
    EXPECT_TRUE(shownMenu[0].submenu.empty());
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].target, rb::MakeSearchLink(rbtest::Narrow(folderName)));
}

TEST_F(SearchMenuTest, AMalformedBlockBuildsNoEntryForWhatDoesNotFit) {
    dir.WriteFile(L"echt.txt", "x");
    rb::UniqueIdList folder(rbtest::Parse(dir.Path()));
    rb::UniqueIdList item(rbtest::Parse(dir / L"echt.txt"));
    // Count 0xFFFFFFFF with the folder and one real item; every further offset is junk.
    std::vector<BYTE> block(12, 0);
    UINT words[3] = {0xFFFFFFFFu, 12, 0};
    UINT folderSize = ILGetSize(folder.get());
    words[2] = 12 + folderSize;
    std::memcpy(block.data(), words, sizeof words);
    const BYTE* f = reinterpret_cast<const BYTE*>(folder.get());
    block.insert(block.end(), f, f + folderSize);
    const BYTE* i = reinterpret_cast<const BYTE*>(ILFindLastID(item.get()));
    block.insert(block.end(), i, i + ILGetSize(ILFindLastID(item.get())));
    rbtest::SelectionData data(block);
    rb::TheShellSelection().Replace(folder.get(), &data);
    PressSearch();
    // The folder and the one item; the rest of the count builds no entry, then "......".
    ASSERT_GE(shownMenu.size(), 2u);
    EXPECT_EQ(shownMenu[1].text, "echt.txt");
    EXPECT_LE(shownMenu.size(), 23u);
    EXPECT_EQ(shownMenu.back().text, ".......");

    // Offsets that point outside the block: no entries at all, nothing shown from them.
    std::vector<BYTE> outside(12, 0);
    UINT bad[3] = {2, 900, 77777};
    std::memcpy(outside.data(), bad, sizeof bad);
    rbtest::SelectionData outsideData(outside);
    rb::TheShellSelection().Replace(folder.get(), &outsideData);
    PressSearch();
    EXPECT_TRUE(shownMenu.empty());
}

// A folder that answers details the three ways a shell folder may: a text at an offset
// inside the item it was asked about, a wide text, an 8-bit text.
class DetailsFolder : public IShellFolder2, public IShellDetails {
public:
    explicit DetailsFolder(bool folder2) : folder2_(folder2) {}
    std::vector<LPCITEMIDLIST> asked;
    std::wstring parsing; // what GetDisplayNameOf answers, when set

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IShellFolder) ||
            (folder2_ && IsEqualIID(iid, IID_IShellFolder2)))
            *out = static_cast<IShellFolder2*>(this);
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP ParseDisplayName(HWND, IBindCtx*, LPWSTR, ULONG*, LPITEMIDLIST*, ULONG*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP EnumObjects(HWND, SHCONTF, IEnumIDList**) override { return E_NOTIMPL; }
    STDMETHODIMP BindToObject(LPCITEMIDLIST, IBindCtx*, REFIID, void**) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP BindToStorage(LPCITEMIDLIST, IBindCtx*, REFIID, void**) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP CompareIDs(LPARAM, LPCITEMIDLIST, LPCITEMIDLIST) override { return E_NOTIMPL; }
    STDMETHODIMP CreateViewObject(HWND, REFIID iid, void** out) override {
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IShellDetails))
            return E_NOINTERFACE;
        *out = static_cast<IShellDetails*>(this);
        return S_OK;
    }
    STDMETHODIMP GetAttributesOf(UINT, LPCITEMIDLIST*, SFGAOF*) override { return E_NOTIMPL; }
    STDMETHODIMP GetUIObjectOf(HWND, UINT, LPCITEMIDLIST*, REFIID, UINT*, void**) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP GetDisplayNameOf(LPCITEMIDLIST, SHGDNF, STRRET* name) override {
        if (parsing.empty())
            return E_NOTIMPL;
        name->uType = STRRET_WSTR;
        name->pOleStr = static_cast<LPWSTR>(CoTaskMemAlloc((parsing.size() + 1) * sizeof(wchar_t)));
        lstrcpyW(name->pOleStr, parsing.c_str());
        return S_OK;
    }
    STDMETHODIMP SetNameOf(HWND, LPCITEMIDLIST, LPCWSTR, SHGDNF, LPITEMIDLIST*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP GetDefaultSearchGUID(GUID*) override { return E_NOTIMPL; }
    STDMETHODIMP EnumSearches(IEnumExtraSearch**) override { return E_NOTIMPL; }
    STDMETHODIMP GetDefaultColumn(DWORD, ULONG*, ULONG*) override { return E_NOTIMPL; }
    STDMETHODIMP GetDefaultColumnState(UINT, SHCOLSTATEF*) override { return E_NOTIMPL; }
    STDMETHODIMP GetDetailsEx(LPCITEMIDLIST, const SHCOLUMNID*, VARIANT*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP MapColumnToSCID(UINT, SHCOLUMNID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetDetailsOf(LPCITEMIDLIST item, UINT column, SHELLDETAILS* details) override {
        asked.push_back(item);
        switch (column) {
        case 0: // the text after the item's length field
            details->str.uType = STRRET_OFFSET;
            details->str.uOffset = 2;
            return S_OK;
        case 1:
            details->str.uType = STRRET_WSTR;
            details->str.pOleStr = static_cast<LPWSTR>(CoTaskMemAlloc(32));
            lstrcpyW(details->str.pOleStr, L"Breit");
            return S_OK;
        case 5:
            details->str.uType = STRRET_CSTR;
            lstrcpyA(details->str.cStr, "Schmal");
            return S_OK;
        default:
            return E_FAIL;
        }
    }
    STDMETHODIMP ColumnClick(UINT) override { return E_NOTIMPL; }

private:
    bool folder2_;
};

TEST(DetailTexts, AnOffsetTextIsReadInsideTheItemThatWasAskedAbout) {
    // One item: its length, then "Versatz" and a zero, then the list's end.
    std::vector<BYTE> item = {11, 0, 'V', 'e', 'r', 's', 'a', 't', 'z', 0, 0, 0, 0};
    auto* list = reinterpret_cast<LPCITEMIDLIST>(item.data());
    for (bool folder2 : {true, false}) {
        DetailsFolder folder(folder2);
        std::vector<std::string> texts = rb::DetailTexts(&folder, list, nullptr);
        EXPECT_EQ(texts, (std::vector<std::string>{"Versatz", "Breit", "Schmal"})) << folder2;
        ASSERT_EQ(folder.asked.size(), 32u) << "every column is tried";
        EXPECT_EQ(folder.asked[0], list);
    }
}

} // namespace

TEST(DetailTexts, ANotifiedPathPastTheOldLimitComesWhole) {
    // The shell names a changed item by its ID list; the page reads its path through the
    // desktop, whatever its length.
    DetailsFolder desktop(false);
    desktop.parsing = L"C:";
    for (int level = 0; level < 60; ++level)
        desktop.parsing += L"\\ordner" + std::to_wstring(level);
    const BYTE item[] = {3, 0, 'x', 0, 0};
    EXPECT_EQ(rb::ParsingNameOf(&desktop, reinterpret_cast<LPCITEMIDLIST>(item)), desktop.parsing);
}


// A key as the list gets it, with `held` down in the dialog thread's keyboard state.
void KeyWith(HWND target, WPARAM key, std::initializer_list<int> held) {
    const DWORD own = GetCurrentThreadId(), theirs = GetWindowThreadProcessId(target, nullptr);
    AttachThreadInput(own, theirs, TRUE);
    BYTE state[256] = {};
    GetKeyboardState(state);
    for (int down : held)
        state[down] |= 0x80;
    SetKeyboardState(state);
    SendMessageW(target, WM_KEYDOWN, key, 0);
    for (int down : held)
        state[down] &= ~0x80;
    SetKeyboardState(state);
    AttachThreadInput(own, theirs, FALSE);
}

// The titles of a header's columns, or of a tab control's tabs.
std::vector<std::wstring> TitlesOf(HWND control) {
    wchar_t kind[32] = {};
    GetClassNameW(control, kind, 32);
    const bool tabs = lstrcmpW(kind, WC_TABCONTROLW) == 0;
    std::vector<std::wstring> titles;
    const int count = tabs ? TabCtrl_GetItemCount(control) : Header_GetItemCount(control);
    for (int at = 0; at < count; ++at) {
        wchar_t title[64] = {};
        if (tabs) {
            TCITEMW item = {};
            item.mask = TCIF_TEXT;
            item.pszText = title;
            item.cchTextMax = 64;
            SendMessageW(control, TCM_GETITEMW, at, reinterpret_cast<LPARAM>(&item));
        } else {
            HDITEMW item = {};
            item.mask = HDI_TEXT;
            item.pszText = title;
            item.cchTextMax = 64;
            SendMessageW(control, HDM_GETITEMW, at, reinterpret_cast<LPARAM>(&item));
        }
        titles.push_back(title);
    }
    return titles;
}

TEST_F(DetailsPageTest, TheTabsListTheTreesLargestFilesAndItsTypesAndADeletedFileLeavesThem) {
    const std::wstring unter = dir.MakeDir(L"unter"), tief = dir.MakeDir(L"unter\\tief");
    dir.WriteFile(L"gross.bin", std::string(5000, 'g'));
    dir.WriteFile(L"E.BIN", std::string(1200, 'e'));
    dir.WriteFile(L"unter\\b.TXT", std::string(3000, 'b'));
    dir.WriteFile(L"unter\\c.txt", std::string(100, 'c'));
    dir.WriteFile(L"unter\\tief\\ohne", std::string(700, 'o'));
    rb::WriteIntOption("groesse_typ", 2); // bytes
    SelectFolder(dir.Path());
    using Texts = std::vector<std::wstring>;
    struct Step {
        std::function<void(HWND page, HWND files)> act;
        int tab; // the tab control's
        Texts titles, first, second, names;
        std::wstring state;
    };
    const std::wstring root = dir.Path();
    const Step steps[] = {
        {[](HWND page, HWND) { KeyWith(GetDlgItem(page, IDC_LIST), VK_TAB, {VK_CONTROL}); }, 1, {L"Name", L"Gr\u00F6\u00DFe", L"Ordner", L"Ge\u00E4ndert"},
         {L"gross.bin", L"  5.000", root}, {L"b.TXT", L"  3.000", unter},
         {L"gross.bin", L"b.TXT", L"E.BIN", L"ohne", L"c.txt"}, L"Die 5 gr\u00F6\u00DFten von 5 Dateien"},
        {[](HWND, HWND files) { KeyWith(files, VK_TAB, {VK_CONTROL}); }, 2,
         {L"Erweiterung", L"Content-Type", L"Gr\u00F6\u00DFe", L"Dateien"},
         {L".bin", L"", L"  6.200", L" 2"}, {L".txt", L"", L"  3.100", L" 2"},
         {L".bin", L".txt", L"(ohne)"}, L"5 Dateien in 3 Typen"},
        // Enter on a type: its largest files.
        {[](HWND, HWND files) {
             ListView_SetItemState(files, 1, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
             SendMessageW(files, WM_KEYDOWN, VK_RETURN, 0);
         }, 1, {L"Name", L"Gr\u00F6\u00DFe", L"Ordner", L"Ge\u00E4ndert"}, {L"b.TXT", L"  3.000", unter},
         {L"c.txt", L" 100", unter}, {L"b.TXT", L"c.txt"}, L"Die gr\u00F6\u00DFten Dateien vom Typ .txt"},
        // Delete takes the files of many folders; a file deleted leaves the list at once; a
        // click on a title sorts by it.
        {[&](HWND page, HWND files) {
             KeyWith(files, VK_TAB, {VK_CONTROL, VK_SHIFT});
             KeyWith(GetDlgItem(page, IDC_LIST), VK_TAB, {VK_CONTROL});
             for (int row : {0, 1})
                 ListView_SetItemState(files, row, LVIS_SELECTED, LVIS_SELECTED);
             auto previous = rb::SetFileOperationFunction(&RecordFileOperation);
             fileOperations.clear();
             const int before = fileOperationCount;
             PostMessageW(files, WM_KEYDOWN, VK_DELETE, 0);
             WaitUntil([&] { return fileOperationCount > before; });
             rb::SetFileOperationFunction(previous);
             NMLISTVIEW click = {};
             click.hdr = {files, IDC_DETAILS_FILES, static_cast<UINT>(LVN_COLUMNCLICK)};
             click.iItem = -1;
             SendMessageW(page, WM_NOTIFY, IDC_DETAILS_FILES, reinterpret_cast<LPARAM>(&click));
             // Told gone, though still on the disk: only the telling takes it out.
             Notify(SHCNE_DELETE, dir / L"gross.bin");
             WaitUntil([&] { return ListView_GetItemCount(files) == 4; });
         }, 1, {L"Name", L"Gr\u00F6\u00DFe", L"Ordner", L"Ge\u00E4ndert"}, {L"b.TXT", L"  3.000", unter},
         {L"c.txt", L" 100", unter}, {L"b.TXT", L"c.txt", L"E.BIN", L"ohne"}, L"Die 4 gr\u00F6\u00DFten von 4 Dateien"},
    };
    std::vector<Step> seen;
    int tabBack = -1;
    bool folderListBack = false;
    std::vector<std::wstring> tabTitles;
    std::wstring copied;
    std::vector<std::wstring> stillSelected; // the rows chosen before the sort and the removal
    OpenStandalone([&](HWND dialog) {
        HWND list = DetailsList(dialog), page = GetParent(list);
        HWND files = GetDlgItem(page, IDC_DETAILS_FILES), tabs = GetDlgItem(page, IDC_DETAILS_TABS);
        for (const Step& step : steps) {
            step.act(page, files);
            WaitUntil([&] { return StateText(page).compare(0, 6, L"Sammle") != 0 && ListView_GetItemCount(files) > 0; });
            Step now;
            now.tab = TabCtrl_GetCurSel(tabs);
            now.titles = TitlesOf(ListView_GetHeader(files));
            for (int column = 0; column < static_cast<int>(step.first.size()); ++column) {
                now.first.push_back(Cell(files, 0, column));
                now.second.push_back(Cell(files, 1, column));
            }
            for (int row = 0; row < ListView_GetItemCount(files); ++row)
                now.names.push_back(Cell(files, row, 0));
            now.state = StateText(page);
            seen.push_back(now);
            if (&step == &steps[1]) { // Ctrl+C takes the shown tab
                ListView_SetItemState(files, 0, LVIS_SELECTED, LVIS_SELECTED);
                ClearClipboard();
                PostMessageW(files, WM_CHAR, 3, 0);
                copied = ClipboardText();
            }
        }
        for (int row = -1; (row = ListView_GetNextItem(files, row, LVNI_SELECTED)) >= 0;)
            stillSelected.push_back(Cell(files, row, 0));
        KeyWith(files, VK_TAB, {VK_CONTROL, VK_SHIFT});
        tabBack = TabCtrl_GetCurSel(tabs);
        tabTitles = TitlesOf(tabs);
        folderListBack = IsWindowVisible(list) && !IsWindowVisible(files);
    });
    ASSERT_EQ(seen.size(), std::size(steps));
    for (std::size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].tab, steps[i].tab) << i;
        EXPECT_EQ(seen[i].titles, steps[i].titles) << i;
        EXPECT_EQ(seen[i].first, steps[i].first) << i;
        EXPECT_EQ(seen[i].second, steps[i].second) << i;
        EXPECT_EQ(seen[i].names, steps[i].names) << i;
        EXPECT_EQ(seen[i].state, steps[i].state) << i;
    }
    EXPECT_EQ(copied, L"Erweiterung\tContent-Type\tGr\u00F6\u00DFe\tDateien\r\n.bin\t\t  6.200\t 2\r\n");
    ASSERT_EQ(fileOperations.size(), 1u);
    EXPECT_EQ(std::get<2>(fileOperations[0]), (dir / L"gross.bin") + L'\0' + unter + L"\\b.TXT" + L'\0' + L'\0');
    EXPECT_EQ(stillSelected, (std::vector<std::wstring>{L"b.TXT"}));
    EXPECT_EQ(tabBack, 0);
    EXPECT_EQ(tabTitles, (std::vector<std::wstring>{L"Ordner", L"Gr\u00F6\u00DFte Dateien", L"Dateitypen"}));
    EXPECT_TRUE(folderListBack);
}

std::wstring openedTarget;
bool RecordFileOpen(HWND, const std::wstring& target, int) {
    openedTarget = target;
    return true;
}

TEST_F(DetailsPageTest, ATypeBeyondTheThousandLargestIsGatheredAloneAndAFileOpensAsExplorerOpensIt) {
    for (int i = 0; i < 1000; ++i)
        dir.WriteFile(L"g" + std::to_wstring(i) + L".bin", "gg");
    dir.WriteFile(L"a.txt", "a");
    dir.WriteFile(L"b.txt", "b");
    SelectFolder(dir.Path());
    std::vector<std::wstring> types, txt;
    std::wstring state;
    auto previous = rb::SetShellOpenFunction(&RecordFileOpen);
    openedTarget.clear();
    OpenStandalone([&](HWND dialog) {
        HWND list = DetailsList(dialog), page = GetParent(list), files = GetDlgItem(page, IDC_DETAILS_FILES);
        KeyWith(list, VK_TAB, {VK_CONTROL, VK_SHIFT}); // round to the last tab
        auto settled = [&](int rows) {
            return WaitUntil([&] {
                return ListView_GetItemCount(files) == rows && StateText(page).compare(0, 6, L"Sammle") != 0;
            });
        };
        settled(2);
        for (int row = 0; row < ListView_GetItemCount(files); ++row)
            types.push_back(Cell(files, row, 0) + L" " + Cell(files, row, 3));
        ListView_SetItemState(files, 1, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
        SendMessageW(files, WM_KEYDOWN, VK_RETURN, 0);
        settled(2);
        for (int row = 0; row < ListView_GetItemCount(files); ++row)
            txt.push_back(Cell(files, row, 0));
        state = StateText(page);
        NMITEMACTIVATE click = {};
        click.hdr = {files, IDC_DETAILS_FILES, static_cast<UINT>(NM_DBLCLK)};
        click.iItem = 1;
        SendMessageW(page, WM_NOTIFY, IDC_DETAILS_FILES, reinterpret_cast<LPARAM>(&click));
    });
    rb::SetShellOpenFunction(previous);
    EXPECT_EQ(types, (std::vector<std::wstring>{L".bin   1.000", L".txt  2"}));
    EXPECT_EQ(txt, (std::vector<std::wstring>{L"a.txt", L"b.txt"}));
    EXPECT_EQ(state, L"Die gr\u00F6\u00DFten Dateien vom Typ .txt");
    EXPECT_EQ(openedTarget, dir / L"b.txt");
}

// Holds the page's walks in their listings while `hold` is set; records the thread modes
// the worker asks for; gives each folder the volume serial `serial`.
struct Checks {
    static HANDLE release;
    static std::atomic<bool> hold;
    static std::atomic<int> firstMode; // the first mode asked since it was reset (-1)
    static std::uint32_t serial;
    static void Hook(const std::wstring&) {
        if (hold)
            WaitForSingleObject(release, 60000);
    }
    static BOOL WINAPI Priority(HANDLE, int mode) {
        int none = -1;
        firstMode.compare_exchange_strong(none, mode);
        return TRUE;
    }
    static bool Identity(const std::wstring&, std::uint32_t& volume, std::uint64_t& id) {
        volume = serial;
        id = 77;
        return true;
    }
};
HANDLE Checks::release;
std::atomic<bool> Checks::hold{false};
std::atomic<int> Checks::firstMode{-1};
std::uint32_t Checks::serial = 1;

TEST_F(DetailsPageTest, AClosedPagesTreeShowsAtOnceNextTimeIsCheckedInTheBackgroundAndShowsItsGrowth) {
    rb::FolderIdentityFunction identity = rb::SetFolderIdentityFunction(&Checks::Identity);
    rb::WalkWorker::PriorityFunction priority = rb::WalkWorker::SetPriorityFunction(&Checks::Priority);
    rb::ListingHook hook = rb::SetListingHook(&Checks::Hook);
    Checks::release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    rb::WriteIntOption("groesse_typ", 2);
    dir.MakeDir(L"grows");
    dir.MakeDir(L"same");
    dir.MakeDir(L"shrinks");
    dir.WriteFile(L"grows\\f", std::string(1000, 'g'));
    dir.WriteFile(L"same\\f", std::string(20, 's'));
    dir.WriteFile(L"shrinks\\f", std::string(300, 's'));
    SelectFolder(dir.Path());
    const std::wstring running = rb::DetailsPage::kWalkRunningText;
    const struct {
        const char* what;
        std::function<void()> before;
        // While the walks are held: each row's size cell, the line's start and end.
        std::vector<std::wstring> held;
        const wchar_t *heldStart, *heldEnd;
        // Once walked: each row's growth, and whether the line names the save's time.
        std::vector<std::wstring> growth;
        bool grown;
        std::size_t saved; // files on the shelf after closing
        bool recall;       // a saved tree is read (and taken or refused) before the walks
        std::function<void(HWND list)> finished; // once the walks are done
    } steps[] = {
        // Saved while it is shown: opening a folder in it does not read it back.
        {"first opening", [] {}, {running, running, running}, L"Durchsuche", L"", {L"", L"", L""}, false, 1, false,
         [&](HWND list) {
             SendMessageW(GetParent(list), WM_TIMER, rb::DetailsPage::kSaveTimer, 0);
             WaitUntil([] { return rb::DetailsPage::SavesPending() == 0; });
             const LONG before = rb::DetailsPage::RecallsAnswered();
             SelectNamed(list, {L"grows"});
             PostMessageW(list, WM_KEYDOWN, VK_RETURN, 0);
             WaitUntil([&] { return Names(list) == std::vector<std::wstring>{L"f"} && Done(GetParent(list)); });
             WaitUntil([] { return rb::WalkWorker::Busy() == 0; });
             EXPECT_EQ(rb::DetailsPage::RecallsAnswered(), before);
         }},
        {"grown and shrunk", [&] {
             dir.WriteFile(L"grows\\g", std::string(500, 'g'));
             DeleteFileW((dir / L"shrinks\\f").c_str());
         }, {L"  1.000", L" 20", L" 300"}, L"Stand ", L" \u2013 wird gepr\u00fcft \u2026",
         {L"+500", L"0", L"\u2212300"}, true, 1, true},
        // Another stick at the same letter: nothing of the other's is shown.
        {"another volume", [] { Checks::serial = 2; }, {running, running, running}, L"Durchsuche", L"",
         {L"", L"", L""}, false, 1, true},
        {"not remembered", [] {
             rb::WriteIntOption("ordner_merken", 0);
             rb::ClearShelf();
         }, {running, running, running}, L"Durchsuche", L"", {L"", L"", L""}, false, 0, false, nullptr},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        step.before();
        rb::WriteIntOption("details_spalte", 0); // a click on the growth sorts it largest first
        rb::WriteIntOption("details_absteigend", 0);
        Checks::hold = true;
        ResetEvent(Checks::release);
        Checks::firstMode = -1;
        std::vector<std::wstring> held, growth, order;
        std::wstring heldState, doneState, copied;
        bool early = true;
        const LONG recalls = rb::DetailsPage::RecallsAnswered();
        OpenStandalone([&](HWND dialog) {
            HWND list = DetailsList(dialog);
            HWND page = GetParent(list);
            for (int row = 0; row < 3; ++row)
                Cell(list, row, 1); // each asks for its walk
            if (step.recall)
                WaitUntil([&] { return rb::DetailsPage::RecallsAnswered() > recalls; });
            const std::size_t start = wcslen(step.heldStart);
            WaitUntil([&] { return StateText(page).compare(0, start, step.heldStart) == 0; });
            heldState = StateText(page);
            for (int row = 0; row < 3; ++row)
                held.push_back(Cell(list, row, 1));
            // Ctrl+C copies the walked numbers, not the saved ones: it waits for the walks.
            SelectNamed(list, {L"grows"});
            ClearClipboard();
            PostMessageW(list, WM_CHAR, 3, 0);
            rbtest::RunInThreadOf(dialog, [] {});
            early = IsClipboardFormatAvailable(CF_UNICODETEXT) != FALSE;
            Checks::hold = false;
            SetEvent(Checks::release);
            WaitUntil([&] { return Done(page); });
            copied = ClipboardText();
            doneState = StateText(page);
            for (int row = 0; row < 3; ++row)
                growth.push_back(Cell(list, row, 13));
            ClickTitle(list, 13); // the largest growth first
            order = Names(list);
            if (step.finished)
                step.finished(list);
        });
        WaitUntil([] { return rb::DetailsPage::SavesPending() == 0; });
        EXPECT_EQ(held, step.held);
        EXPECT_FALSE(early);
        const std::wstring walked = &step == &steps[0] ? L"1.000\t" : L"1.500\t";
        const std::size_t grows = copied.find(L"\r\ngrows\t");
        EXPECT_TRUE(grows != std::wstring::npos && copied.find(walked, grows) == copied.find(L'\t', grows + 8) - 5)
            << rbtest::Narrow(copied);
        // "Stand dd.mm.yyyy hh:mm – wird geprüft …", or the walks' line.
        EXPECT_EQ(heldState.compare(0, wcslen(step.heldStart), step.heldStart), 0) << rbtest::Narrow(heldState);
        EXPECT_TRUE(!*step.heldEnd || heldState.substr(22) == step.heldEnd) << rbtest::Narrow(heldState);
        EXPECT_EQ(growth, step.growth);
        const std::size_t at = doneState.find(L" \u2013 Zuwachs seit ");
        EXPECT_EQ(at != std::wstring::npos, step.grown) << rbtest::Narrow(doneState);
        if (step.grown) {
            // Both lines name the time of the save, as "dd.mm.yyyy hh:mm".
            EXPECT_EQ(doneState.substr(at + 16), heldState.substr(6, 16));
            EXPECT_EQ(order, (std::vector<std::wstring>{L"grows", L"same", L"shrinks"}));
            EXPECT_EQ(Checks::firstMode, 0x00010000); // the background mode
        }
        EXPECT_EQ(rb::ListShelf().size(), step.saved);
        EXPECT_EQ(rb::DetailsPage::RecallsAnswered() - recalls, step.recall ? 1 : 0);
    }
    rb::WriteIntOption("ordner_merken", 1);
    rb::SetListingHook(hook);
    rb::WalkWorker::SetPriorityFunction(priority);
    rb::SetFolderIdentityFunction(identity);
    CloseHandle(Checks::release);
}
