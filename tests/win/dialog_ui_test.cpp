// The main dialog as a user meets it, read off its real windows: what each page shows,
// where the keyboard is, that nothing overlaps and that no text is cut, at the text scale
// of the prefix (the same tests run in a prefix at 200 %).
#include <gtest/gtest.h>

#include "columns/option_store.h"
#include "dialog_driver.h"
#include "resource_ids.h"
#include "support.h"
#include "ui/toolbar.h"
#include "ui/ui_scale.h"
#include "web/links.h"
#include "windows_found.h"

#include <commctrl.h>
#include <shlobj.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using rbtest::OpenStandalone;

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// Texts by WM_GETTEXT, which a control of the dialog's thread answers from this one.
std::string TextOf(HWND window) {
    return rbtest::WindowText(window);
}

// The control that has the keyboard focus in the dialog's thread.
HWND Focused(HWND dialog) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
    return info.hwndFocus;
}

HWND VisiblePageWindow(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (ClassOf(child) == "#32770" && IsWindowVisible(child))
            return child;
    return nullptr;
}

// The visible controls the user sees: the dialog's own and those of the page shown.
std::vector<HWND> VisibleControls(HWND dialog) {
    std::vector<HWND> controls;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child))
            continue;
        if (ClassOf(child) != "#32770") {
            controls.push_back(child);
            continue;
        }
        for (HWND item = GetWindow(child, GW_CHILD); item; item = GetWindow(item, GW_HWNDNEXT))
            if (IsWindowVisible(item))
                controls.push_back(item);
    }
    return controls;
}

struct Seen {
    std::string kind; // class name
    std::string text;
    bool enabled;
    bool operator==(const Seen& other) const {
        return kind == other.kind && text == other.text && enabled == other.enabled;
    }
};

std::ostream& operator<<(std::ostream& out, const Seen& seen) {
    return out << "{" << seen.kind << ", \"" << seen.text << "\", " << seen.enabled << "}";
}

// The page's own controls, in their order.
std::vector<Seen> PageControls(HWND page) {
    std::vector<Seen> seen;
    for (HWND item = GetWindow(page, GW_CHILD); item; item = GetWindow(item, GW_HWNDNEXT))
        if (IsWindowVisible(item)) {
            // A picture's text is its resource number: no text for the user.
            bool picture = (GetWindowLongA(item, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
                           ClassOf(item) == "Static";
            seen.push_back({ClassOf(item), picture ? std::string() : TextOf(item),
                            IsWindowEnabled(item) != 0});
        }
    return seen;
}

class DialogAsSeen : public rbtest::CleanOptions {
protected:
    void SetUp() override {
        CleanOptions::SetUp();
        rb::WriteIntOption("tab_id", 0);
        // A note of its own, not the user's.
        rbtest::WriteBytes(dir / L"Rubrikator_Notiz.txt", "Eine Notiz");
    }
    rbtest::TempDir dir;
    rbtest::DocumentsFolder documents{dir.Path()};
};

TEST_F(DialogAsSeen, EachToolbarCommandShowsItsPageWithItsControlsAndTheFocusInIt) {
    const std::string contact = std::string("Kontakt: werkhaus.example");
    // With no folder given the details page lists the desktop; its path above the list.
    char desktop[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, desktop, CSIDL_DESKTOPDIRECTORY, FALSE);
    struct Row {
        UINT command;
        std::vector<Seen> controls;
        int focusId; // the control that has the focus afterwards
        const char* focusClass;
    } rows[] = {
        {ID_SHOW_NOTES,
         {{"Button", "Notiz", true}, {"Edit", "Eine Notiz", true}},
         IDC_TEXT,
         "Edit"},
        {ID_SHOW_DETAILS,
         {{"SysTabControl32", "", true}, // on top: it clips what lies above it
          {"Button", "Details (: sind noch beta wird noch besser :)", true},
          {"Static", desktop, true},
          {"SysListView32", "", true},
          {"Static", "Fertig: ", true}},
         IDC_LIST,
         "SysListView32"},
        {ID_SHOW_INFO,
         {{"Button", "Info", true},
          {"Static", "Freeware von werkhaus.example", true},
          {"Static", "", true},
          {"Static",
           "Freue mich \xFC"
           "ber durchdachte\nKommentare,Verbesserungsvorschl\xE4ge, Anregungen,Kritik und "
           "Meinungen.",
           true},
          {"Button", contact, true},
          {"Static", "Homepage:", true},
          {"Static", "https://werkhaus.example/", true},
          {"Static", "", true}},
         ID_CONTACT,
         "Button"},
        {ID_SHOW_COLUMNS,
         {{"Button", "Spalten", true},
          {"SysListView32", "", true},
          {"Button", "Ordnergr\xF6\xDF" "en merken", true},
          {"Button", "Gemerkte Gr\xF6\xDF" "en l\xF6schen", true},
          {"Edit", "", true},
          {"Button", "", true},
          {"ComboBox", "KB", false},
          {"Button", "Tausendertrennung", false},
          {"Button", "mit Nachkommaanteil", false},
          {"Button",
           "Dateigr\xF6\xDF"
           "en auch anzeigen",
           false}},
         IDC_LIST,
         "SysListView32"},
    };
    std::vector<std::vector<Seen>> seen;
    std::vector<std::pair<int, std::string>> focus; // id and class
    std::vector<int> pagesShown;
    OpenStandalone([&](HWND dialog) {
        for (const Row& row : rows) {
            SendMessageA(dialog, WM_COMMAND, row.command, 0);
            HWND page = VisiblePageWindow(dialog);
            int shown = 0;
            for (HWND child = GetWindow(dialog, GW_CHILD); child;
                 child = GetWindow(child, GW_HWNDNEXT))
                shown += ClassOf(child) == "#32770" && IsWindowVisible(child);
            pagesShown.push_back(shown);
            std::vector<Seen> controls = page ? PageControls(page) : std::vector<Seen>();
            // The system text of the info page depends on the machine: its first line; so
            // do the desktop's counts on the details page's state line, and whether the
            // walks of its folders have ended yet.
            for (Seen& control : controls)
                if (control.text.compare(0, 8, "Windows ") == 0)
                    control.text.clear();
                else if (control.text.compare(0, 8, "Fertig: ") == 0 ||
                         control.text.compare(0, 11, "Durchsuche ") == 0)
                    control.text = "Fertig: ";
            seen.push_back(controls);
            HWND focused = Focused(dialog);
            focus.emplace_back(GetDlgCtrlID(focused), ClassOf(focused));
        }
    });
    ASSERT_EQ(seen.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(pagesShown[i], 1) << rows[i].command;
        EXPECT_EQ(seen[i], rows[i].controls) << "page of command " << rows[i].command;
        EXPECT_EQ(focus[i].first, rows[i].focusId) << rows[i].command;
        EXPECT_EQ(focus[i].second, rows[i].focusClass) << rows[i].command;
    }
}

TEST_F(DialogAsSeen, TheNoteKeepsItsCaretTabNeverReachesAHiddenPageAndTheToolbarTakesKeys) {
    DWORD caret = 0, afterwards = 0;
    std::vector<std::string> reached;
    bool hiddenReached = false, toolbarReached = false, unicode = false;
    std::vector<UINT> pressed;
    char pageByKeys = 0;
    OpenStandalone([&](HWND dialog) {
        SendMessageA(dialog, WM_COMMAND, ID_SHOW_NOTES, 0);
        HWND edit = Focused(dialog);
        SendMessageA(edit, EM_SETSEL, 4, 4); // "Eine| Notiz"
        SendMessageA(dialog, WM_COMMAND, ID_SHOW_COLUMNS, 0);
        SendMessageA(dialog, WM_COMMAND, ID_SHOW_NOTES, 0);
        SendMessageA(Focused(dialog), EM_GETSEL, reinterpret_cast<WPARAM>(&caret),
                     reinterpret_cast<LPARAM>(&afterwards));
        // From the info page's button on, once around: each control the user reaches
        // is one that can be seen.
        SendMessageA(dialog, WM_COMMAND, ID_SHOW_INFO, 0);
        for (int step = 0; step < 12; ++step) {
            HWND now = Focused(dialog);
            PostMessageA(now, WM_KEYDOWN, VK_TAB, 0);
            PostMessageA(now, WM_KEYUP, VK_TAB, 0);
            // The dialog's thread takes posted keys in its own time: until the focus moved.
            HWND next = now;
            rbtest::WaitUntil([&] { return (next = Focused(dialog)) != now; });
            hiddenReached |= !IsWindowVisible(next) || !IsWindowEnabled(next);
            toolbarReached |= GetDlgCtrlID(next) == ID_TOOLBAR;
            reached.push_back(ClassOf(next));
        }
        // On the toolbar the arrows move between its buttons and Enter presses one:
        // from "Deine-Spalten", one to the right is "Notiz".
        HWND toolbar = rbtest::MainToolbar(dialog);
        SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(toolbar), TRUE);
        for (WPARAM key : {WPARAM(VK_RIGHT), WPARAM(VK_RETURN)}) {
            PostMessageA(toolbar, WM_KEYDOWN, key, 0);
            PostMessageA(toolbar, WM_KEYUP, key, 0);
        }
        rbtest::WaitUntil([&] { return rbtest::VisiblePage(dialog) == 'n'; });
        pageByKeys = rbtest::VisiblePage(dialog);
        unicode = IsWindowUnicode(toolbar) != FALSE;
        // What pressing each button gives ("Liste" is disabled without an Explorer window).
        for (int index = -1; index <= 10; ++index)
            pressed.push_back(rb::PressedCommand(toolbar, index));
    });
    EXPECT_EQ(pageByKeys, 'n');
    EXPECT_TRUE(unicode);
    EXPECT_EQ(pressed, (std::vector<UINT>{0, ID_SHOW_COLUMNS, ID_SHOW_NOTES, ID_SHOW_DETAILS, 0,
                                          ID_INFO_MENU, ID_SEARCH_MENU, 0, 0, 0, IDCANCEL, 0}));
    EXPECT_EQ(caret, 4u);
    EXPECT_EQ(afterwards, 4u);
    EXPECT_FALSE(hiddenReached);
    EXPECT_TRUE(toolbarReached);
}

// Whether `text` in the font of `control` fits `width` x `height` pixels; several lines
// where the control breaks them.
bool Fits(HWND control, const std::string& text, int width, int height, bool wraps) {
    HDC dc = GetDC(control);
    HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)));
    RECT needed = {0, 0, width, 0};
    DrawTextA(dc, text.c_str(), -1, &needed,
              DT_CALCRECT | DT_NOPREFIX | (wraps ? DT_WORDBREAK : DT_SINGLELINE));
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return needed.right <= width && needed.bottom <= height;
}

// What a control whose text would not fit it shows, or "" when everything fits.
std::string CutText(HWND control) {
    std::string kind = ClassOf(control), text = TextOf(control);
    RECT area;
    GetClientRect(control, &area);
    LONG style = GetWindowLongA(control, GWL_STYLE);
    if (kind == "Static" && !text.empty() && !(style & SS_ICON) && !(style & SS_BITMAP)) {
        if (!Fits(control, text, area.right, area.bottom, true))
            return text;
    } else if (kind == "Button" && !text.empty()) {
        LONG type = style & BS_TYPEMASK;
        int box = type == BS_AUTOCHECKBOX || type == BS_CHECKBOX
                      ? GetSystemMetrics(SM_CXMENUCHECK) + GetSystemMetrics(SM_CXEDGE)
                      : 0;
        int frame = type == BS_GROUPBOX ? 2 * GetSystemMetrics(SM_CXEDGE) : 0;
        if (!Fits(control, text, area.right - box - frame, area.bottom, false))
            return text;
    } else if (kind == "SysListView32") {
        HWND header = reinterpret_cast<HWND>(SendMessageA(control, LVM_GETHEADER, 0, 0));
        int count = static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            char title[128] = {};
            HDITEMA item = {};
            item.mask = HDI_TEXT | HDI_WIDTH;
            item.pszText = title;
            item.cchTextMax = sizeof title;
            SendMessageA(header, HDM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
            // A header item keeps some room left and right of its title.
            if (!Fits(header, title, item.cxy - 2 * GetSystemMetrics(SM_CXEDGE) * 3, 1000, false))
                return title;
        }
    }
    return "";
}

TEST_F(DialogAsSeen, NothingOverlapsNoTextIsCutAndThePicturesGrowWithTheTextScale) {
    // The runs at 150 and 200 % say which scale their prefix has; it must be that one.
    const char* expected = getenv("RB_EXPECT_DPI");
    EXPECT_EQ(rb::ScreenDpi(), expected ? atoi(expected) : 96);
    std::vector<std::string> overlaps, cut;
    int imageWidth = 0, imageHeight = 0, buttonHeight = 0;
    RECT toolbarRect = {}, bannerRect = {}, bannerPicture = {};
    // Each page's growing control (list or note) at the size the dialog opens with and at
    // twice that size: it grows by what the window grew, exactly.
    std::vector<int> grownBy, windowGrewBy;
    OpenStandalone([&](HWND dialog) {
        RECT opened;
        GetWindowRect(dialog, &opened);
        RECT client0;
        GetClientRect(dialog, &client0);
        std::vector<SIZE> before;
        for (int twice : {0, 1}) {
        if (twice) {
            SetWindowPos(dialog, nullptr, 0, 0, 2 * (opened.right - opened.left),
                         2 * (opened.bottom - opened.top), SWP_NOMOVE | SWP_NOZORDER);
            RECT client1;
            GetClientRect(dialog, &client1);
            windowGrewBy = {client1.right - client0.right, client1.bottom - client0.bottom};
        }
        int page = 0;
        for (UINT command : {ID_SHOW_COLUMNS, ID_SHOW_NOTES, ID_SHOW_DETAILS, ID_SHOW_INFO}) {
            SendMessageA(dialog, WM_COMMAND, command, 0);
            if (command != ID_SHOW_INFO) {
                HWND grows = GetDlgItem(VisiblePageWindow(dialog),
                                        command == ID_SHOW_NOTES ? IDC_TEXT : IDC_LIST);
                RECT r;
                GetWindowRect(grows, &r);
                if (!twice)
                    before.push_back({r.right - r.left, r.bottom - r.top});
                else {
                    grownBy.push_back(r.right - r.left - before[page].cx);
                    grownBy.push_back(r.bottom - r.top - before[page].cy);
                }
                ++page;
            }
            std::vector<HWND> controls = VisibleControls(dialog);
            for (std::size_t a = 0; a < controls.size(); ++a) {
                std::string lost = CutText(controls[a]);
                if (!lost.empty())
                    cut.push_back(std::to_string(command) + ": " + ClassOf(controls[a]) + ": " +
                                  lost);
                RECT first;
                GetWindowRect(controls[a], &first);
                for (std::size_t b = a + 1; b < controls.size(); ++b) {
                    RECT second, common, both;
                    GetWindowRect(controls[b], &second);
                    // Touching is no overlap, lying inside another (in a frame) neither.
                    if (!IntersectRect(&common, &first, &second))
                        continue;
                    UnionRect(&both, &first, &second);
                    if (EqualRect(&both, &first) || EqualRect(&both, &second))
                        continue;
                    overlaps.push_back(std::to_string(command) + ": " + ClassOf(controls[a]) +
                                       " \"" + TextOf(controls[a]) + "\" and " +
                                       ClassOf(controls[b]) + " \"" + TextOf(controls[b]) + "\"");
                }
            }
        }
        }
        SetWindowPos(dialog, nullptr, 0, 0, opened.right - opened.left, opened.bottom - opened.top,
                     SWP_NOMOVE | SWP_NOZORDER);
        HWND toolbar = rbtest::MainToolbar(dialog);
        HIMAGELIST images =
            reinterpret_cast<HIMAGELIST>(SendMessageA(toolbar, TB_GETIMAGELIST, 0, 0));
        ImageList_GetIconSize(images, &imageWidth, &imageHeight);
        buttonHeight = HIWORD(SendMessageA(toolbar, TB_GETBUTTONSIZE, 0, 0));
        GetClientRect(toolbar, &toolbarRect);
        HWND banner = GetDlgItem(dialog, IDC_BANNER);
        GetClientRect(banner, &bannerRect);
        BITMAP picture = {};
        GetObjectW(reinterpret_cast<HBITMAP>(SendMessageA(banner, STM_GETIMAGE, IMAGE_BITMAP, 0)),
                   sizeof picture, &picture);
        bannerPicture = {0, 0, picture.bmWidth, picture.bmHeight};
    });
    EXPECT_TRUE(overlaps.empty()) << (overlaps.empty() ? "" : overlaps.front());
    EXPECT_TRUE(cut.empty()) << cut.front();
    ASSERT_EQ(windowGrewBy.size(), 2u);
    EXPECT_GT(windowGrewBy[0], 0);
    EXPECT_EQ(grownBy, (std::vector<int>{windowGrewBy[0], windowGrewBy[1], windowGrewBy[0],
                                         windowGrewBy[1], windowGrewBy[0], windowGrewBy[1]}));
    // Toolbar images at the small icon size: 16 at 100 %, 32 at 200 %; the buttons whole.
    EXPECT_EQ(imageWidth, rb::SmallIconSize());
    EXPECT_EQ(imageHeight, rb::SmallIconSize());
    EXPECT_GE(imageWidth, rb::ScaleForDpi(16));
    EXPECT_LE(buttonHeight, toolbarRect.bottom);
    // The banner fills its control: no grey beside or below it.
    EXPECT_EQ(bannerPicture.right, bannerRect.right);
    EXPECT_EQ(bannerPicture.bottom, bannerRect.bottom);
}

TEST_F(DialogAsSeen, TheDialogOpensAgainAtItsLastSizeNeverBelowItsSmallestAndMaximisedIfItWas) {
    // Each opening checks what the one before left, then leaves its own: wider by 100 and
    // taller by 40 pixels (within the screen at 200 %) (width and height apart, so that the two kept values cannot be
    // swapped unseen), then smaller than the smallest, then maximised.
    struct Step {
        int dx, dy;
        bool maximise;
    } steps[] = {{100, 40, false}, {-80, -40, false}, {0, 0, true}, {0, 0, false}};
    const Step* last = &steps[3]; // only looks
    SIZE smallest = {};
    std::vector<std::string> seen, expected;
    for (const Step& step : steps) {
        OpenStandalone([&](HWND dialog) {
            RECT r;
            if (&step == &steps[0]) {
                GetWindowRect(dialog, &r);
                smallest = {r.right - r.left, r.bottom - r.top};
            }
            // A maximised opening is maximised once the dialog shows.
            if (&step == &steps[3])
                rbtest::WaitUntil([&] { return IsZoomed(dialog) != FALSE; });
            GetWindowRect(dialog, &r);
            // Kept in dialog units: back within a pixel or two at any scale.
            auto within = [](LONG value, LONG to) { return value >= to - 2 && value <= to + 2 ? to : value; };
            LONG cx = r.right - r.left, cy = r.bottom - r.top;
            if (&step == &steps[1]) {
                cx = within(cx, smallest.cx + 100);
                cy = within(cy, smallest.cy + 40);
            }
            seen.push_back(std::to_string(cx) + "x" + std::to_string(cy) +
                           (IsZoomed(dialog) ? " maximised" : ""));
            if (&step == last)
                return;
            if (step.maximise) // and closed before the display could answer
                rbtest::RunInThreadOf(dialog, [&] {
                    SendMessageW(dialog, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
                    seen.back() += IsZoomed(dialog) ? ", maximised" : ", not maximised";
                    SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                });
            else
                SetWindowPos(dialog, nullptr, 0, 0, smallest.cx + step.dx, smallest.cy + step.dy,
                             SWP_NOMOVE | SWP_NOZORDER);
        });
    }
    auto size = [](LONG cx, LONG cy, bool zoomed) {
        return std::to_string(cx) + "x" + std::to_string(cy) + (zoomed ? " maximised" : "");
    };
    expected = {size(smallest.cx, smallest.cy, false), size(smallest.cx + 100, smallest.cy + 40, false),
                size(smallest.cx, smallest.cy, false) + ", maximised", seen.size() > 3 ? seen[3] : ""};
    EXPECT_EQ(seen, expected);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_NE(seen[3].find(" maximised"), std::string::npos) << seen[3];
}

TEST_F(DialogAsSeen, MovedToAMonitorOfAnotherScaleTheIconsAndColumnsFollow) {
    struct Seen {
        int dpi, toolbarImage, nameColumn, lastColumn;
    };
    std::vector<Seen> seen;
    OpenStandalone([&](HWND dialog) {
        HWND toolbar = rbtest::MainToolbar(dialog);
        HWND list = nullptr;
        for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (GetDlgItem(child, IDC_LIST) && !GetDlgItem(child, IDC_UNIT))
                list = GetDlgItem(child, IDC_LIST);
        int row = 0;
        for (int dpi : {192, 144, 96, 288}) {
            RECT where;
            GetWindowRect(dialog, &where);
            SendMessageW(dialog, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&where));
            // The dialog follows after the system's own scaling, a posted message later.
            UINT marker = row++ % 2 ? ID_SHOW_COLUMNS : ID_SHOW_NOTES;
            PostMessageW(dialog, WM_COMMAND, marker, 0);
            const char page = marker == ID_SHOW_NOTES ? 'n' : 'c';
            rbtest::WaitUntil([&] { return rbtest::VisiblePage(dialog) == page; });
            int width = 0, height = 0;
            ImageList_GetIconSize(
                reinterpret_cast<HIMAGELIST>(SendMessageW(toolbar, TB_GETIMAGELIST, 0, 0)), &width,
                &height);
            seen.push_back({dpi, width, static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0)),
                            static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, 12, 0))});
        }
    });
    ASSERT_EQ(seen.size(), 4u);
    for (const Seen& s : seen) {
        EXPECT_EQ(s.toolbarImage, MulDiv(16, s.dpi, 96)) << s.dpi;
        EXPECT_EQ(s.nameColumn, MulDiv(150, s.dpi, 96)) << s.dpi;
        EXPECT_GE(s.lastColumn, MulDiv(70, s.dpi, 96)) << s.dpi;
    }
}

TEST(StaticBitmap, TheReplacedPictureIsDeleted) {
    HWND control = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | SS_BITMAP, 0, 0, 10, 10, nullptr,
                                   nullptr, nullptr, nullptr);
    HBITMAP first = CreateBitmap(4, 4, 1, 32, nullptr), second = CreateBitmap(4, 4, 1, 32, nullptr);
    SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(first));
    rb::ReplaceStaticBitmap(control, second);
    EXPECT_EQ(GetObjectType(first), 0u);
    EXPECT_EQ(GetObjectType(second), DWORD(OBJ_BITMAP));
    DestroyWindow(control);
    DeleteObject(second);
}

TEST(ToolbarStrips, EveryImageStaysInsideItsOwnCell) {
    // The red of the "Liste" cross (image 5) is nowhere but in its own cell.
    for (int id : {IDB_TOOLBAR, IDB_TOOLBAR_24, IDB_TOOLBAR_32}) {
        HBITMAP strip =
            static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id),
                                            IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        ASSERT_NE(strip, nullptr) << id;
        BITMAP facts = {};
        GetObjectW(strip, sizeof facts, &facts);
        const int cell = facts.bmHeight;
        EXPECT_EQ(facts.bmWidth, 7 * cell) << id;
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, strip);
        int redOutside = 0, redInside = 0;
        for (int x = 0; x < facts.bmWidth; ++x)
            for (int y = 0; y < cell; ++y)
                if (GetPixel(dc, x, y) == RGB(255, 0, 0))
                    ++(x / cell == 5 ? redInside : redOutside);
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(strip);
        EXPECT_GT(redInside, 0) << id;
        EXPECT_EQ(redOutside, 0) << id;
    }
}

} // namespace
