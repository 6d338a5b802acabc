// The main dialog, run for real on this thread and driven from a second one.
#include <gtest/gtest.h>

#include "columns/option_store.h"
#include "common/shell_open.h"
#include "dialog_driver.h"
#include "export/export_command.h"
#include "export/shell_view_source.h"
#include "fake_explorer.h"
#include "fake_shell_view.h"
#include "com/module.h"
#include "product_dll.h"
#include "resource_ids.h"
#include "support.h"
#include "thread.h"
#include "ui/file_type_icon.h"
#include "ui/info_page.h"
#include "ui/main_dialog.h"
#include "ui/main_dialog_entry.h"
#include "web/links.h"
#include "windows_found.h"

#include <commctrl.h>

#include <atomic>
#include <vector>

namespace {

using rbtest::RunDriven;
using rbtest::WaitForWindow;

struct Opened {
    HWND owner;
    std::string target;
    int show;
};
std::vector<Opened> opened;
bool refuseResourceLinks = false;

bool RecordOpen(HWND owner, const std::wstring& wide, int show) {
    const std::string target = rbtest::Narrow(wide);
    opened.push_back({owner, target, show});
    return !(refuseResourceLinks && target.compare(0, 6, "res://") == 0);
}

using rbtest::ButtonChecked;
using rbtest::PageWithItem;
using rbtest::VisiblePage;

HWND WaitForDialog() {
    return rbtest::WaitForMainDialog();
}

HWND Toolbar(HWND dialog) {
    return rbtest::MainToolbar(dialog);
}

bool Checked(HWND dialog, UINT command) {
    return ButtonChecked(dialog, command);
}

class MainDialogTest : public rbtest::CleanOptions {
protected:
    void SetUp() override {
        CleanOptions::SetUp();
        opened.clear();
        refuseResourceLinks = false;
        previous = rb::SetShellOpenFunction(&RecordOpen);
    }
    void TearDown() override {
        rb::SetShellOpenFunction(previous);
        CleanOptions::TearDown();
    }

    INT_PTR Standalone(const std::function<void(HWND)>& drive) {
        return rbtest::OpenStandalone(drive);
    }

    rb::ShellOpenFunction previous = nullptr;
};

TEST_F(MainDialogTest, ToolbarButtonsInOrderWithTextsChecksAndAListeThatNeedsExplorer) {
    struct Button {
        int command;
        const char* text;
    };
    const Button expected[] = {{ID_SHOW_COLUMNS, "Deine-Spalten"},
                               {ID_SHOW_NOTES, "Notiz"},
                               {ID_SHOW_DETAILS, "Details"},
                               {0, nullptr},
                               {ID_INFO_MENU, "Info ..."},
                               {ID_SEARCH_MENU, "I-net ?!"},
                               {0, nullptr},
                               {ID_EXPORT_LIST, "Liste"},
                               {0, nullptr},
                               {IDCANCEL, "Beenden"}};
    std::vector<int> commands;
    std::vector<std::string> texts;
    std::vector<bool> checked, enabled;
    INT_PTR result = Standalone([&](HWND dialog) {
        HWND toolbar = Toolbar(dialog);
        int count = static_cast<int>(SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            TBBUTTON button = {};
            SendMessageA(toolbar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
            commands.push_back(button.fsStyle & BTNS_SEP ? 0 : button.idCommand);
            char text[64] = {};
            if (!(button.fsStyle & BTNS_SEP))
                SendMessageA(toolbar, TB_GETBUTTONTEXTA, button.idCommand,
                             reinterpret_cast<LPARAM>(text));
            texts.push_back(text);
            checked.push_back(Checked(dialog, button.idCommand));
            enabled.push_back(SendMessageA(toolbar, TB_ISBUTTONENABLED, button.idCommand, 0) != 0);
        }
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0); // "Beenden"
    });
    EXPECT_EQ(result, 2);
    ASSERT_EQ(commands.size(), 10u);
    for (size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(commands[i], expected[i].command) << i;
        if (expected[i].text) {
            EXPECT_EQ(texts[i], expected[i].text) << i;
        }
        EXPECT_EQ(checked[i], i == 0) << i;
        EXPECT_EQ(enabled[i], expected[i].command != ID_EXPORT_LIST) << i;
    }
}

TEST_F(MainDialogTest, EscapeAndTheCloseBoxEndWithTwoAndEnterLeavesItOpen) {
    bool openAfterEnter = false;
    EXPECT_EQ(Standalone([&](HWND dialog) {
                  // Enter, and the command it stands for.
                  PostMessageA(rbtest::FocusOf(dialog), WM_KEYDOWN, VK_RETURN, 0);
                  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
                  // Taken in turn: once a command posted after them shows its page.
                  PostMessageA(dialog, WM_COMMAND, ID_SHOW_NOTES, 0);
                  rbtest::WaitUntil([&] { return VisiblePage(dialog) == 'n'; });
                  openAfterEnter = IsWindow(dialog) && IsWindowVisible(dialog);
                  PostMessageA(rbtest::FocusOf(dialog), WM_KEYDOWN, VK_ESCAPE, 0);
              }),
              2);
    EXPECT_TRUE(openAfterEnter);
    EXPECT_EQ(Standalone([](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }), 2);
}

TEST_F(MainDialogTest, TheExportedFunctionOpensTheDialogAndPassesItsResultOn) {
    rbtest::ProductDll dll(rbtest::ProductDllPath());
    ASSERT_TRUE(dll.Loaded());
    auto open = reinterpret_cast<int(WINAPI*)(DWORD)>(
        reinterpret_cast<void (*)()>(GetProcAddress(dll.Module(), "DoRubrikatorDlg")));
    ASSERT_NE(open, nullptr);
    int result = 0;
    bool listeEnabled = true;
    RunDriven([&] { result = open(0); },
              [&] {
                  HWND dialog = WaitForDialog();
                  listeEnabled =
                      SendMessageA(Toolbar(dialog), TB_ISBUTTONENABLED, ID_EXPORT_LIST, 0);
                  PostMessageA(rbtest::FocusOf(dialog), WM_KEYDOWN, VK_ESCAPE, 0);
              });
    EXPECT_EQ(result, 2);
    EXPECT_FALSE(listeEnabled);
    // A template that cannot be loaded gives -1, and the exported function passes it on.
    EXPECT_EQ(rb::RunMainDialogStandalone(4711), -1);
    rb::MainDialog dialog(nullptr);
    EXPECT_EQ(dialog.RunModal(nullptr, 4711), -1);
}

TEST_F(MainDialogTest, ListeExportsFromTheExplorerWindowAndSaysSoWhenItIsGone) {
    rbtest::FakeExplorer explorer;
    bool enabled = false;
    std::string message, caption;
    bool stillOpen = false;
    RunDriven([&] { rb::RunMainDialog(explorer.Frame(), nullptr); },
              [&] {
                  HWND dialog = WaitForDialog();
                  enabled = SendMessageA(Toolbar(dialog), TB_ISBUTTONENABLED, ID_EXPORT_LIST, 0);
                  // The Explorer window closes while the dialog is open.
                  SendMessageA(explorer.Frame(), WM_CLOSE, 0, 0);
                  PostMessageA(dialog, WM_COMMAND, ID_EXPORT_LIST, 0);
                  if (HWND box = WaitForWindow("#32770", nullptr, dialog)) {
                      message = rbtest::ItemText(box, 0xFFFF);
                      caption = rbtest::WindowText(box);
                      PostMessageA(box, WM_COMMAND, IDOK, 0);
                  }
                  PostMessageA(dialog, WM_COMMAND, ID_SHOW_NOTES, 0);
                  rbtest::WaitUntil([&] { return VisiblePage(dialog) == 'n'; });
                  stillOpen = IsWindowVisible(dialog);
              });
    EXPECT_TRUE(enabled);
    EXPECT_EQ(message, "Kein Explorerfenster");
    EXPECT_EQ(caption, "");
    EXPECT_TRUE(stillOpen);
}

// The shell view the test hands to the export for any window, and how often it was asked.
rbtest::FakeView* givenView = nullptr;
int viewsAsked = 0;
rb::ComPtr<IShellView> GiveView(HWND) {
    ++viewsAsked;
    rb::ComPtr<IShellView> view;
    if (givenView) {
        givenView->AddRef();
        *view.put() = givenView;
    }
    return view;
}

// Presses "Liste" in a dialog opened for `window`; what came up: the save dialog (then
// cancelled) or a message (then read).
std::string PressListe(HWND window) {
    std::string seen;
    RunDriven([&] { rb::RunMainDialog(window, nullptr); },
              [&] {
                  HWND dialog = WaitForDialog();
                  PostMessageA(dialog, WM_COMMAND, ID_EXPORT_LIST, 0);
                  HWND box = WaitForWindow("#32770", nullptr, dialog);
                  if (!box)
                      return;
                  std::string title = rbtest::WindowText(box);
                  seen = title == rb::kExportTitle ? "save dialog"
                                                   : "message: " + rbtest::ItemText(box, 0xFFFF);
                  PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
              });
    return seen;
}

TEST_F(MainDialogTest, ListeReadsTheListViewFirstThenTheShellViewElseSaysSo) {
    rb::ShellViewFinder previousFinder = rb::SetShellViewFinder(&GiveView);
    rbtest::FakeView view;
    view.columns = {{rbtest::NameKey(), L"Name", 100}};
    view.folder.detailColumns = {rbtest::NameKey()};
    view.items = {L"eins"};
    givenView = &view;
    viewsAsked = 0;
    // A window with a list view exports from it; the shell view is not asked.
    rbtest::FakeExplorer withList;
    EXPECT_EQ(PressListe(withList.Frame()), "save dialog");
    EXPECT_EQ(viewsAsked, 0);
    // A window without one (as current Explorers are) exports from its shell view.
    HWND plain = CreateWindowExA(0, "STATIC", "Explorer", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                 400, 300, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(PressListe(plain), "save dialog");
    EXPECT_EQ(viewsAsked, 1);
    // A view that lacks what the export reads, and no view at all: the message as before.
    view.withColumnManager = false;
    EXPECT_EQ(PressListe(plain), "message: Kein Explorerfenster");
    givenView = nullptr;
    EXPECT_EQ(PressListe(plain), "message: Kein Explorerfenster");
    DestroyWindow(plain);
    rb::SetShellViewFinder(previousFinder);
}

TEST_F(MainDialogTest, OpensOnTheRememberedPageWithItsButtonChecked) {
    const UINT buttons[] = {ID_SHOW_COLUMNS, ID_SHOW_NOTES, 0, ID_SHOW_DETAILS};
    const char pages[] = {'c', 'n', 'i', 'd'};
    for (int tab : {0, 1, 2, 3, 7}) {
        rb::WriteIntOption("tab_id", tab);
        char page = 0;
        std::vector<bool> checks;
        Standalone([&](HWND dialog) {
            page = VisiblePage(dialog);
            for (UINT b : {UINT(ID_SHOW_COLUMNS), UINT(ID_SHOW_NOTES), UINT(ID_SHOW_DETAILS)})
                checks.push_back(Checked(dialog, b));
        });
        int shownTab = tab == 7 ? 0 : tab;
        EXPECT_EQ(page, pages[shownTab]) << "tab_id " << tab;
        EXPECT_EQ(checks, (std::vector<bool>{buttons[shownTab] == ID_SHOW_COLUMNS,
                                             buttons[shownTab] == ID_SHOW_NOTES,
                                             buttons[shownTab] == ID_SHOW_DETAILS}))
            << "tab_id " << tab;
        EXPECT_EQ(rb::ReadIntOption("tab_id", -1), shownTab) << "tab_id " << tab;
    }
}

TEST_F(MainDialogTest, TheLastPageShownIsWhereTheNextOpeningStarts) {
    Standalone([](HWND dialog) { SendMessageA(dialog, WM_COMMAND, ID_SHOW_DETAILS, 0); });
    EXPECT_EQ(rb::ReadIntOption("tab_id", -1), 3);
    char page = 0;
    bool details = false, afterAbout[3] = {true, true, true};
    char aboutPage = 0;
    Standalone([&](HWND dialog) {
        page = VisiblePage(dialog);
        details = Checked(dialog, ID_SHOW_DETAILS);
        SendMessageA(dialog, WM_COMMAND, ID_SHOW_INFO, 0); // "Über..."
        aboutPage = VisiblePage(dialog);
        afterAbout[0] = Checked(dialog, ID_SHOW_COLUMNS);
        afterAbout[1] = Checked(dialog, ID_SHOW_NOTES);
        afterAbout[2] = Checked(dialog, ID_SHOW_DETAILS);
    });
    EXPECT_EQ(page, 'd');
    EXPECT_TRUE(details);
    EXPECT_EQ(aboutPage, 'i');
    EXPECT_FALSE(afterAbout[0] || afterAbout[1] || afterAbout[2]);
    EXPECT_EQ(rb::ReadIntOption("tab_id", -1), 2);
}

TEST_F(MainDialogTest, MenuCommandsOpenTheSiteLinksWithTheDialogAsOwner) {
    HWND seen = nullptr;
    Standalone([&](HWND dialog) {
        seen = dialog;
        for (UINT command : {UINT(ID_CONTACT), UINT(ID_MORE_FREEWARE), UINT(ID_REPORT_FAULT),
                             UINT(ID_SUGGEST_IMPROVEMENT), UINT(ID_SUGGEST_COLUMN), UINT(ID_FAQ)})
            SendMessageA(dialog, WM_COMMAND, command, 0);
    });
    const std::string site = "https://werkhaus.example/";
    const std::vector<std::string> links = {
        site + "?Kontakt",
        site + "?Freeware",
        site + "?Kontakt&Betreff=Fehler in Rubrikator",
        site + "?Kontakt&Betreff=Verbesserungsvorschlag f\xFCr Rubrikator",
        site + "?Kontakt&Betreff=Spatle empfehlen f\xFCr Rubrikator",
        site + "?Faq&SID=Rubrikator",
    };
    ASSERT_EQ(opened.size(), links.size());
    for (size_t i = 0; i < links.size(); ++i) {
        EXPECT_EQ(opened[i].target, links[i]);
        EXPECT_EQ(opened[i].owner, seen);
        EXPECT_EQ(opened[i].show, SW_SHOW);
    }
}

TEST_F(MainDialogTest, ContactButtonOfTheInfoPageOpensTheContactPageWithoutOwner) {
    Standalone([](HWND dialog) {
        SendMessageA(dialog, WM_COMMAND, ID_SHOW_INFO, 0);
        SendMessageA(GetDlgItem(PageWithItem(dialog, IDC_SYSTEM_TEXT), ID_CONTACT), BM_CLICK, 0, 0);
    });
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].target, "https://werkhaus.example/?Kontakt");
    EXPECT_EQ(opened[0].owner, nullptr);
    EXPECT_EQ(opened[0].show, SW_SHOW);
}

std::string HelpResource() {
    HRSRC found =
        FindResourceA(rb::ModuleInstance(), MAKEINTRESOURCEA(IDR_HELP_PAGE), MAKEINTRESOURCEA(23));
    return std::string(
        static_cast<const char*>(LockResource(LoadResource(rb::ModuleInstance(), found))),
        SizeofResource(rb::ModuleInstance(), found));
}

TEST_F(MainDialogTest, HelpOpensTheResourceLinkAndElseAFileWithTheSameBytes) {
    Standalone([](HWND dialog) { SendMessageA(dialog, WM_COMMAND, ID_HELP_PAGE, 0); });
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].target, "res://" + rb::ModuleFileNameA() + "/202");
    EXPECT_EQ(opened[0].owner, nullptr);
    EXPECT_EQ(opened[0].show, SW_SHOWMAXIMIZED);

    opened.clear();
    refuseResourceLinks = true;
    Standalone([](HWND dialog) { SendMessageA(dialog, WM_COMMAND, ID_HELP_PAGE, 0); });
    ASSERT_EQ(opened.size(), 2u);
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    EXPECT_EQ(opened[1].target, std::string(temp) + "Rubrikator_Hilfe.htm");
    EXPECT_EQ(opened[1].owner, nullptr);
    EXPECT_EQ(opened[1].show, SW_SHOWMAXIMIZED);
    std::string written = rbtest::ReadBytes(rbtest::Widen(opened[1].target));
    EXPECT_EQ(written, HelpResource());
    EXPECT_GT(written.size(), 2000u);
    EXPECT_NE(written.find("<a name=\"Versionshistory\">"), std::string::npos);
    EXPECT_NE(written.find("href=\"#Versionshistory\""), std::string::npos);
    DeleteFileA(opened[1].target.c_str());
}

TEST_F(MainDialogTest, InfoPageShowsTheWindowsVersionAndTheHostProgram) {
    std::string lines;
    Standalone([&](HWND dialog) {
        lines = rbtest::ItemText(PageWithItem(dialog, IDC_SYSTEM_TEXT), IDC_SYSTEM_TEXT);
    });
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    // Wine's prefix reports Windows 7 (6.1) of the NT family; the run in a prefix set to
    // XP says which version that reports.
    const char* reported = getenv("RB_WINDOWS_VERSION");
    const std::string version = "Windows " + std::string(reported ? reported : "6.1") + " Win32 NT ";
    EXPECT_EQ(lines, version + "\r\n" + std::string(program));
    EXPECT_EQ(rb::WindowsVersionText(), version);
}

TEST_F(MainDialogTest, InfoPopupShowsItsItemsWithIconsBelowThePressedButton) {
    struct Item {
        UINT id;
        std::string text;
        bool icon;
    };
    std::vector<Item> items;
    bool pressed = false;
    char pageAfter = 0;
    LONG menuTop = 0, buttonBottom = -1;
    Standalone([&](HWND dialog) {
        PostMessageA(dialog, WM_COMMAND, ID_INFO_MENU, 0);
        HWND popup = WaitForWindow("#32768", nullptr);
        ASSERT_NE(popup, nullptr);
        pressed = SendMessageA(Toolbar(dialog), TB_ISBUTTONPRESSED, ID_INFO_MENU, 0) != 0;
        RECT menuRect, buttonRect;
        GetWindowRect(popup, &menuRect);
        SendMessageA(Toolbar(dialog), TB_GETRECT, ID_INFO_MENU,
                     reinterpret_cast<LPARAM>(&buttonRect));
        MapWindowPoints(Toolbar(dialog), nullptr, reinterpret_cast<POINT*>(&buttonRect), 2);
        menuTop = menuRect.top;
        buttonBottom = buttonRect.bottom;
        HMENU menu = reinterpret_cast<HMENU>(SendMessageA(popup, MN_GETHMENU, 0, 0));
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            char text[64] = {};
            MENUITEMINFOA info = {};
            info.cbSize = sizeof info;
            info.fMask = MIIM_ID | MIIM_STRING | MIIM_BITMAP | MIIM_FTYPE;
            info.dwTypeData = text;
            info.cch = sizeof text;
            GetMenuItemInfoA(menu, i, TRUE, &info);
            items.push_back({info.fType & MFT_SEPARATOR ? 0 : info.wID, text,
                             info.hbmpItem == HBMMENU_CALLBACK});
        }
        // The first item, "Über...", chosen with the keyboard once the menu follows it.
        auto marked = [&] {
            for (int i = 0; i < GetMenuItemCount(menu); ++i)
                if (GetMenuState(menu, i, MF_BYPOSITION) & MF_HILITE)
                    return i;
            return -1;
        };
        while (marked() != 0) {
            const int before = marked();
            PostMessageA(popup, WM_KEYDOWN, VK_DOWN, 0);
            if (!rbtest::WaitUntil([&] { return marked() != before; }))
                break;
        }
        PostMessageA(popup, WM_KEYDOWN, VK_RETURN, 0);
        rbtest::WaitUntil([&] { return VisiblePage(dialog) == 'i'; });
        pageAfter = VisiblePage(dialog);
    });
    const std::vector<std::pair<UINT, std::string>> expected = {
        {ID_SHOW_INFO, "\xDC"
                       "ber..."},
        {ID_HELP_PAGE, "&Hilfe"},
        {0, ""},
        {ID_SUGGEST_COLUMN, "Neue Spalte vorschlagen"},
        {ID_SUGGEST_IMPROVEMENT, "Verbesserungsvorschlag"},
        {ID_REPORT_FAULT, "Fehler melden"},
        {0, ""},
        {ID_MORE_FREEWARE, "Mehr Freeware von Werkhaus"},
        {ID_CONTACT, "Kontakt mit Werkhaus"},
        {ID_FAQ, "Faq"},
        {0, ""},
        {ID_RECOMMEND, "Rubrikator empfehlen"},
    };
    EXPECT_TRUE(pressed);
    EXPECT_EQ(menuTop, buttonBottom);
    ASSERT_EQ(items.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(items[i].id, expected[i].first) << i;
        EXPECT_EQ(items[i].text, expected[i].second) << i;
        EXPECT_EQ(items[i].icon, expected[i].first != 0) << i;
    }
    EXPECT_EQ(pageAfter, 'i');
}

TEST_F(MainDialogTest, SearchButtonWithNothingBuiltShowsNoMenu) {
    bool menuSeen = true;
    Standalone([&](HWND dialog) {
        PostMessageA(dialog, WM_COMMAND, ID_SEARCH_MENU, 0);
        // A menu would still be open once a command posted after the button's is taken.
        PostMessageA(dialog, WM_COMMAND, ID_SHOW_NOTES, 0);
        rbtest::WaitUntil([&] { return VisiblePage(dialog) == 'n'; });
        menuSeen = rbtest::FindOwnWindow("#32768", nullptr) != nullptr;
    });
    EXPECT_FALSE(menuSeen);
    EXPECT_TRUE(opened.empty());
}

TEST(FileTypeIcon, OneIconPerExtensionForTheWholeProcess) {
    HICON first = rb::FileTypeIcon(".rbtest-a", false);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(rb::FileTypeIcon(".rbtest-a", false), first);
    EXPECT_EQ(rb::FileTypeIcon(".rbtest-a", true), first);
    // Another unknown extension has the same system image, so the same icon.
    EXPECT_EQ(rb::FileTypeIcon(".rbtest-b", false), first);

    const int threads = 8;
    std::vector<HICON> got(threads, nullptr);
    HANDLE start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        std::vector<rbtest::Thread> workers;
        for (int t = 0; t < threads; ++t)
            workers.emplace_back([&, t] {
                WaitForSingleObject(start, INFINITE);
                got[t] = rb::FileTypeIcon(t % 2 ? ".rbtest-c" : ".txt", false);
            });
        SetEvent(start);
    }
    CloseHandle(start);
    for (int t = 0; t < threads; ++t) {
        EXPECT_NE(got[t], nullptr) << t;
        EXPECT_EQ(got[t], got[t % 2]) << t;
    }
}

} // namespace
