#include "ui/columns_page.h"

#include "browse/tree_shelf.h"
#include "columns/catalogue.h"
#include "columns/option_store.h"
#include "columns/options.h"
#include "resource_ids.h"

#include <commctrl.h>

#include <atomic>

namespace rb {

namespace {

#define RB_GDIPLUS_LINE "\r\n( gdiplus.dll erforderlich )"

const char* const kDescriptions[] = {
    "Zeigt die Gesamtgr\xF6sse des jeweiligen Verzeichnisses an, inklusive aller "
    "Unterverzeichnisse.",
    "Zeigt die Anzahl der Ordner, an inklusive aller Unterverzeichnisse.",
    "Zeigt die Anzahl der Dateien an, inklusive aller Unterverzeichnisse.",
    "Zeigt die DPI (Dots per Inch = Punkte pro Zoll) der jeweiligen Bilddatei an. Wichtig "
    "z.B.: f\xFCr Leute, die viel Faxen !" RB_GDIPLUS_LINE,
    "Zeigt Die Bittiefe der jeweiligen Bilddatei an." RB_GDIPLUS_LINE,
    "Zeigt Die Bildaufl\xF6sung an \r\nPS:Habe ich wegen Windows-ME aufgenommen, da diese im "
    "den Systemspalten nicht dabei ist" RB_GDIPLUS_LINE,
    "Zeigt den kompletten Path zu der jeweiligen Datei bzw. Ordner",
    "Zeigt die Dateierweiterung an z.B.: .jpg,.bmp,.txt ... .",
    "Diese Spalte ist f\xFCr Webmaster gedacht .",
    "Manchmal mu\xDF es ganz genau sein:Anzeige Sekunden und Millisekunden !",
    "Manchmal mu\xDF es ganz genau sein:Anzeige Sekunden und Millisekunden !",
    "Manchmal mu\xDF es ganz genau sein:Anzeige Sekunden und Millisekunden !",
};

#undef RB_GDIPLUS_LINE

const int kOptionControls[] = {IDC_UNIT, IDC_THOUSANDS, IDC_DECIMALS, IDC_FILE_SIZES};

// Which check box edits which option, by the column shown.
struct CheckBoxOption {
    int column;
    int control;
    const char* name;
    std::atomic<int> OptionSet::*option;
};

const CheckBoxOption kCheckBoxOptions[] = {
    {FolderSize, IDC_THOUSANDS, kOptTausenderGroesse, &OptionSet::tausenderGroesse},
    {FolderSize, IDC_DECIMALS, kOptNachkommanteil, &OptionSet::nachkommanteil},
    {FolderSize, IDC_FILE_SIZES, kOptDateiGroesse, &OptionSet::dateiGroesse},
    {FolderCount, IDC_THOUSANDS, kOptTausenderOrdner, &OptionSet::tausenderOrdner},
    {FileCount, IDC_THOUSANDS, kOptTausenderDateien, &OptionSet::tausenderDateien},
};

} // namespace

const char* ColumnDescription(int index) {
    const int count = static_cast<int>(sizeof kDescriptions / sizeof kDescriptions[0]);
    return index >= 0 && index < count ? kDescriptions[index] : "";
}

ColumnsPage::ColumnsPage() : Page(IDD_COLUMNS_PAGE) {}

void ColumnsPage::SetScale(int) {
    SendMessageA(list_, LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE_USEHEADER);
    SendMessageA(list_, LVM_SETCOLUMNWIDTH, 1, LVSCW_AUTOSIZE_USEHEADER);
}

BOOL ColumnsPage::OnInitDialog() {
    list_ = Item(IDC_LIST);
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = LVCFMT_LEFT;
    column.cx = 190;
    column.pszText = const_cast<char*>("Spalte");
    SendMessageA(list_, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    column.cx = 10;
    column.pszText = const_cast<char*>("");
    SendMessageA(list_, LVM_INSERTCOLUMNA, 1, reinterpret_cast<LPARAM>(&column));
    for (std::size_t i = 0; ColumnCatalogue[i].title; ++i) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<char*>(ColumnCatalogue[i].title);
        SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    SetFocus(list_);
    SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    for (int id : kOptionControls)
        EnableWindow(Item(id), FALSE);
    SetTimer(Window(), kSelectionPollTimer, kSelectionPollMilliseconds, nullptr);
    SetScale(0);
    // By position, so that the position is the value of groesse_typ.
    const char* units[] = {"KB", "MB", "Byte"};
    for (int i = 0; i < 3; ++i)
        SendMessageA(Item(IDC_UNIT), CB_INSERTSTRING, i, reinterpret_cast<LPARAM>(units[i]));
    SendMessageA(Item(IDC_UNIT), CB_SETCURSEL, 0, 0);
    SendMessageA(Item(IDC_REMEMBER_SIZES), BM_SETCHECK,
                 RememberFolderSizes() ? BST_CHECKED : BST_UNCHECKED, 0);
    return TRUE;
}

INT_PTR ColumnsPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER) {
        if (wParam == kSelectionPollTimer)
            OnTick();
        return TRUE;
    }
    if (message == WM_COMMAND) {
        int id = LOWORD(wParam);
        if (id == IDC_THOUSANDS || id == IDC_DECIMALS || id == IDC_FILE_SIZES) {
            OnCheckBox(id);
            return TRUE;
        }
        if (id == IDC_REMEMBER_SIZES) {
            // The box has flipped its own mark: that mark is the new value.
            bool on = SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
            WriteIntOption(kRememberSizesOption, on ? 1 : 0);
            return TRUE;
        }
        if (id == IDC_FORGET_SIZES) {
            if (HIWORD(wParam) == BN_CLICKED && !ClearShelf())
                MessageBoxA(GetAncestor(Window(), GA_ROOT),
                            "Nicht alle gemerkten Ordnergr\xF6\xDF"
                            "en lie\xDF"
                            "en sich l\xF6schen.",
                            "", MB_OK | MB_ICONWARNING);
            return TRUE;
        }
        if (id == IDC_UNIT) {
            if (HIWORD(wParam) == CBN_SELENDOK)
                OnUnitChosen();
            return TRUE;
        }
    }
    return Page::OnMessage(message, wParam, lParam);
}

void ColumnsPage::OnTick() {
    int mark = static_cast<int>(SendMessageA(list_, LVM_GETSELECTIONMARK, 0, 0));
    if (mark == -1 || mark == lastIndex_)
        return;
    lastIndex_ = mark;
    for (int id : kOptionControls)
        EnableWindow(Item(id), FALSE);
    OptionSet& o = Options();
    // The boxes of the column's options; disabled controls keep the marks they showed last.
    for (const CheckBoxOption& entry : kCheckBoxOptions) {
        if (entry.column != mark)
            continue;
        EnableWindow(Item(entry.control), TRUE);
        SendMessageA(Item(entry.control), BM_SETCHECK,
                     (o.*entry.option).load() ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    if (mark == FolderSize) {
        EnableWindow(Item(IDC_UNIT), TRUE);
        SendMessageA(Item(IDC_UNIT), CB_SETCURSEL, static_cast<WPARAM>(o.groesseTyp.load()), 0);
    }
    SetDlgItemTextA(Window(), IDC_TEXT, ColumnDescription(mark));
}

// The option is toggled, not read from the box: the box flips its own mark on the click.
void ColumnsPage::OnCheckBox(int id) {
    for (const CheckBoxOption& entry : kCheckBoxOptions) {
        if (entry.column != lastIndex_ || entry.control != id)
            continue;
        std::atomic<int>& option = Options().*entry.option;
        int value = option.load() == 0 ? 1 : 0;
        option.store(value);
        WriteIntOption(entry.name, value);
    }
}

void ColumnsPage::OnUnitChosen() {
    if (lastIndex_ != FolderSize)
        return;
    int unit = static_cast<int>(SendMessageA(Item(IDC_UNIT), CB_GETCURSEL, 0, 0));
    if (unit < 0)
        return;
    Options().groesseTyp = unit;
    WriteIntOption(kOptGroesseTyp, unit);
}

unsigned ColumnsPage::AnchorsOf(HWND control, const RECT& place) {
    // The list of columns grows; the description and the options beside it go with the
    // right edge.
    RECT list = {};
    GetWindowRect(Item(IDC_LIST), &list);
    MapWindowPoints(nullptr, Window(), reinterpret_cast<POINT*>(&list), 2);
    if (GetDlgCtrlID(control) == IDC_LIST)
        return kGrow;
    if (place.left >= list.right)
        return kLeftRight;
    // The box and button of the saved sizes stay below the list.
    if (place.top >= list.bottom)
        return kTopBottom;
    return Page::AnchorsOf(control, place);
}

} // namespace rb
