#include "ui/details_page.h"

#include "columns/catalogue.h"
#include "columns/number_format.h"
#include "columns/option_store.h"
#include "columns/options.h"
#include "columns/producers.h"
#include "columns/tree_walk.h"
#include "common/shell_open.h"
#include "common/text.h"
#include "common/win_lock.h"
#include "common/win_text.h"
#include "resource_ids.h"
#include "shell/id_lists.h"
#include "ui/ui_scale.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <cstring>

namespace rb {

namespace {

// The list's own procedure and its page, kept beside it while the page takes its keys.
constexpr const wchar_t* kListProcedure = L"RubrikatorListProcedure";
constexpr const wchar_t* kListPage = L"RubrikatorListPage";

constexpr DWORD kEnumerateEverything = SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN;
// A header item's space left and right of its text, at 100 %.
constexpr int kTitleMarginsAt96Dpi = 16;

// The column's time, chosen and written as the time columns do.
std::wstring TimeText(unsigned column, const WIN32_FILE_ATTRIBUTE_DATA& data) {
    FileTimes times;
    times.created = data.ftCreationTime;
    times.accessed = data.ftLastAccessTime;
    times.written = data.ftLastWriteTime;
    ValueText value;
    PrintColumnTime(column, times, value);
    return AnsiToWide(value.text);
}

// "Content Type" of the extension's class key, up to 255 characters.
std::wstring ContentTypeOf(const std::wstring& extension) {
    if (extension.empty())
        return std::wstring();
    UniqueKey key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, (L"." + extension).c_str(), 0, KEY_READ, key.put()) !=
        ERROR_SUCCESS) {
        key.release();
        return std::wstring();
    }
    wchar_t value[256] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    if (RegQueryValueExW(key.get(), L"Content Type", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS)
        return std::wstring();
    value[size / sizeof(wchar_t) < 255 ? size / sizeof(wchar_t) : 255] = L'\0';
    return value;
}

} // namespace

DetailsPage::DetailsPage() : Page(IDD_DETAILS_PAGE) {}

DetailsPage::~DetailsPage() {
    StopWalks();
}

void DetailsPage::SetScale(int dpi) {
    // 150 and 70 pixels at 100 %, grown with the scale, and never narrower than the title:
    // a title cut to "Or..." tells nothing.
    for (int index = 0;; ++index) {
        wchar_t title[128] = {};
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT;
        column.pszText = title;
        column.cchTextMax = 128;
        if (!SendMessageW(list_, LVM_GETCOLUMNW, static_cast<WPARAM>(index),
                          reinterpret_cast<LPARAM>(&column)))
            break;
        int text = static_cast<int>(
            SendMessageW(list_, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(title)));
        int needed = text + ScaleTo(kTitleMarginsAt96Dpi, dpi);
        int scaled = ScaleTo(index == 0 ? 150 : 70, dpi);
        SendMessageW(list_, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(index),
                     MAKELPARAM(needed > scaled ? needed : scaled, 0));
    }
}

BOOL DetailsPage::OnInitDialog() {
    list_ = Item(IDC_LIST);
    // The list asks for its texts in UTF-16: names outside the ANSI code page stay whole.
    SendMessageW(list_, WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(Window()), NF_REQUERY);
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_TEXT;
    column.fmt = LVCFMT_LEFT;
    column.pszText = const_cast<wchar_t*>(L"Name");
    SendMessageW(list_, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    for (std::size_t i = 0; ColumnCatalogue[i].title; ++i) {
        std::wstring title = AnsiToWide(ColumnCatalogue[i].title);
        column.fmt = LVCFMT_RIGHT;
        column.pszText = &title[0];
        SendMessageW(list_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i + 1),
                     reinterpret_cast<LPARAM>(&column));
    }
    SetScale(WindowDpi(Window()));
    SHFILEINFOA info = {};
    auto icons = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoA("C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    SendMessageW(list_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(icons));
    // The system's list is shared: the list view must never destroy it.
    SetWindowLongPtrW(list_, GWL_STYLE, GetWindowLongPtrW(list_, GWL_STYLE) | LVS_SHAREIMAGELISTS);
    // Enter opens, Backspace and Alt+Up go to the parent, as in Explorer.
    SetPropW(list_, kListPage, reinterpret_cast<HANDLE>(this));
    SetPropW(list_, kListProcedure, reinterpret_cast<HANDLE>(GetWindowLongPtrW(list_, GWLP_WNDPROC)));
    SetWindowLongPtrW(list_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DetailsPage::ListKeys));
    const int remembered = ReadIntOption(kOptDetailsSpalte, 0);
    sortColumn_ = remembered >= 0 && remembered <= 12 ? remembered : 0;
    descending_ = ReadIntOption(kOptDetailsAbsteigend, 0) != 0;
    return TRUE;
}

INT_PTR DetailsPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NOTIFYFORMAT:
        SetWindowLongPtrW(Window(), DWLP_MSGRESULT, NFR_UNICODE);
        return TRUE;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->hwndFrom == list_ && header->code == NM_DBLCLK) {
            int index = reinterpret_cast<NMITEMACTIVATE*>(lParam)->iItem;
            if (index >= 0)
                Open(index);
            return TRUE;
        }
        if (header->hwndFrom == list_ && header->code == LVN_COLUMNCLICK) {
            OnColumnClick(reinterpret_cast<NMLISTVIEW*>(lParam)->iSubItem);
            return TRUE;
        }
        if (header->hwndFrom == list_ && header->code == LVN_GETDISPINFOW) {
            auto* request = reinterpret_cast<NMLVDISPINFOW*>(lParam);
            auto* row = reinterpret_cast<Row*>(request->item.lParam);
            if (!row)
                return TRUE;
            if (request->item.mask & LVIF_TEXT) {
                resultText_ = request->item.iSubItem == 0
                                  ? NameOf(*row)
                                  : CellText(*row, request->item.iSubItem - 1);
                request->item.pszText = &resultText_[0];
            }
            if ((request->item.mask & LVIF_IMAGE) && request->item.iSubItem == 0)
                request->item.iImage = IconOf(*row);
            request->item.mask |= LVIF_DI_SETITEM;
            return TRUE;
        }
        return FALSE;
    }
    case kStatisticsReady:
        ShowStatistics();
        return TRUE;
    default:
        return Page::OnMessage(message, wParam, lParam);
    }
}

LRESULT CALLBACK DetailsPage::ListKeys(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    auto own = reinterpret_cast<WNDPROC>(GetPropW(list, kListProcedure));
    auto* page = reinterpret_cast<DetailsPage*>(GetPropW(list, kListPage));
    if (!own)
        return DefWindowProcW(list, message, wParam, lParam);
    try {
        // Enter is the list's, not the dialog's (whose default button it would press).
        if (message == WM_GETDLGCODE) {
            const MSG* key = reinterpret_cast<const MSG*>(lParam);
            LRESULT code = CallWindowProcW(own, list, message, wParam, lParam);
            if (key && key->message == WM_KEYDOWN && key->wParam == VK_RETURN)
                code |= DLGC_WANTMESSAGE;
            return code;
        }
        if (page && message == WM_KEYDOWN && wParam == VK_RETURN) {
            page->OpenFocused();
            return 0;
        }
        if (page && message == WM_KEYDOWN && wParam == VK_F5) {
            page->Refresh();
            return 0;
        }
        if (page && message == WM_CHAR && wParam == 3) { // Ctrl+C
            page->CopySelection();
            return 0;
        }
        if (page && ((message == WM_KEYDOWN && wParam == VK_BACK) ||
                     (message == WM_SYSKEYDOWN && wParam == VK_UP))) {
            page->GoUp();
            return 0;
        }
    } catch (...) { // nothing may reach the system's message loop, which is Explorer's
        return 0;
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(own));
        RemovePropW(list, kListProcedure);
        RemovePropW(list, kListPage);
    }
    return CallWindowProcW(own, list, message, wParam, lParam);
}

void DetailsPage::Refresh() {
    if (!folderIdList_)
        return;
    // The same folder listed and walked anew, the focused row still focused.
    std::wstring focusedName;
    int focused = static_cast<int>(
        SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    if (focused >= 0)
        focusedName = CellOf(focused, 0);
    UniqueIdList again(ILClone(folderIdList_.get()));
    if (!again)
        return;
    Fill(again.get());
    const int count = static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0));
    for (int index = 0; !focusedName.empty() && index < count; ++index)
        if (CellOf(index, 0) == focusedName) {
            FocusRow(index);
            break;
        }
}

void DetailsPage::FocusRow(int index) {
    LVITEMW state = {};
    state.stateMask = state.state = LVIS_FOCUSED | LVIS_SELECTED;
    SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&state));
    SendMessageW(list_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
}

std::wstring DetailsPage::CellOf(int index, int column) {
    wchar_t text[1024] = {};
    LVITEMW cell = {};
    cell.iSubItem = column;
    cell.pszText = text;
    cell.cchTextMax = 1024;
    SendMessageW(list_, LVM_GETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&cell));
    return text;
}

void DetailsPage::CopySelection() {
    // The titles, then each selected row: cells between tabs, rows ended by CR LF, as a
    // spreadsheet takes them.
    HWND header = reinterpret_cast<HWND>(SendMessageW(list_, LVM_GETHEADER, 0, 0));
    const int columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    std::wstring text;
    for (int column = 0; column < columns; ++column) {
        wchar_t title[128] = {};
        HDITEMW item = {};
        item.mask = HDI_TEXT;
        item.pszText = title;
        item.cchTextMax = 128;
        SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
        text += (column ? L"\t" : L"") + std::wstring(title);
    }
    text += L"\r\n";
    for (int index = -1;;) {
        index = static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(index),
                                              LVNI_SELECTED));
        if (index < 0)
            break;
        for (int column = 0; column < columns; ++column)
            text += (column ? L"\t" : L"") + CellOf(index, column);
        text += L"\r\n";
    }
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    if (!memory)
        return;
    if (void* bytes = GlobalLock(memory)) {
        memcpy(bytes, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
        GlobalUnlock(memory);
    }
    if (OpenClipboard(Window())) {
        EmptyClipboard();
        if (SetClipboardData(CF_UNICODETEXT, memory))
            memory = nullptr; // the clipboard's now
        CloseClipboard();
    }
    if (memory)
        GlobalFree(memory);
}

bool DetailsPage::OpenFocused() {
    int focused = static_cast<int>(
        SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    if (focused < 0)
        return false;
    Open(focused);
    return true;
}

void DetailsPage::Open(int index) {
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    if (!SendMessageW(list_, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) || !item.lParam)
        return;
    Row& row = *reinterpret_cast<Row*>(item.lParam);
    if (!folder_ || !row.child || !row.full)
        return;
    LPCITEMIDLIST child = row.child.get();
    SFGAOF attributes = SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_STREAM;
    if (FAILED(folder_->GetAttributesOf(1, &child, &attributes)))
        attributes = 0;
    // A folder of the file system is listed here; a .zip (a folder that is also a file),
    // Control Panel and files open as Explorer opens them.
    if ((attributes & SFGAO_FOLDER) && (attributes & SFGAO_FILESYSTEM) &&
        !(attributes & SFGAO_STREAM)) {
        UniqueIdList next(ILClone(row.full.get())); // the row goes with the filling
        if (next)
            Fill(next.get());
        return;
    }
    ShellOpenItem(GetAncestor(Window(), GA_ROOT), row.full.get());
}

bool DetailsPage::GoUp() {
    if (!folderIdList_ || folderIdList_.get()->mkid.cb == 0)
        return false; // the desktop
    UniqueIdList parent(ILClone(folderIdList_.get()));
    UniqueIdList came(ILClone(ILFindLastID(folderIdList_.get())));
    if (!parent || !came || !ILRemoveLastID(parent.get()))
        return false;
    Fill(parent.get());
    // The folder it came from, focused and in view, as Explorer has it.
    const int count = static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0));
    for (int index = 0; folder_ && index < count; ++index) {
        LVITEMW item = {};
        item.mask = LVIF_PARAM;
        item.iItem = index;
        SendMessageW(list_, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        auto* row = reinterpret_cast<Row*>(item.lParam);
        if (row && row->child &&
            HRESULT_CODE(folder_->CompareIDs(0, row->child.get(), came.get())) == 0) {
            FocusRow(index);
            break;
        }
    }
    return true;
}

void DetailsPage::ShowPath() {
    wchar_t path[MAX_PATH + 1] = {};
    if (folderIdList_ && !SHGetPathFromIDListW(folderIdList_.get(), path)) {
        // Not a file-system folder (the desktop itself, say): its name.
        SHFILEINFOW info = {};
        SHGetFileInfoW(reinterpret_cast<LPCWSTR>(folderIdList_.get()), 0, &info, sizeof info,
                       SHGFI_PIDL | SHGFI_DISPLAYNAME);
        lstrcpynW(path, info.szDisplayName, MAX_PATH);
    }
    SetDlgItemTextW(Window(), IDC_DETAILS_PATH, path);
}

void DetailsPage::Fill(LPCITEMIDLIST folder) {
    StopWalks();
    SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
    items_.clear(); // the items' ID lists go with them
    folder_.reset();
    folderIdList_.reset(folder ? ILClone(folder) : nullptr);
    ShowPath();
    if (!folderIdList_)
        return;
    if (FAILED(BindToFolder(folderIdList_.get(), folder_.put())))
        return;
    ComPtr<IEnumIDList> children;
    if (folder_->EnumObjects(nullptr, kEnumerateEverything, children.put()) != S_OK || !children)
        return;
    // One redraw for the whole list, not one for each item.
    struct RedrawOnce {
        HWND list;
        explicit RedrawOnce(HWND l) : list(l) { SendMessageW(list, WM_SETREDRAW, FALSE, 0); }
        ~RedrawOnce() {
            SendMessageW(list, WM_SETREDRAW, TRUE, 0);
            InvalidateRect(list, nullptr, TRUE);
        }
    } redraw(list_);
    for (;;) {
        LPITEMIDLIST childList = nullptr;
        ULONG fetched = 0;
        if (children->Next(1, &childList, &fetched) != S_OK || !childList)
            break;
        auto item = std::make_unique<Row>();
        item->child.reset(childList);
        item->full.reset(ILCombine(folderIdList_.get(), childList));
        if (!item->full)
            continue;
        // Name and icon are asked for when the row is first shown: the shell takes its
        // time for each, and a folder may hold many thousands of items.
        LVITEMW row = {};
        row.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        row.iItem = static_cast<int>(items_.size());
        row.pszText = LPSTR_TEXTCALLBACKW;
        row.iImage = I_IMAGECALLBACK;
        row.lParam = reinterpret_cast<LPARAM>(item.get());
        if (SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&row)) >= 0)
            items_.push_back(std::move(item));
    }
    Sort();
}

int CALLBACK DetailsPage::CompareItems(LPARAM a, LPARAM b, LPARAM page) {
    auto* self = reinterpret_cast<DetailsPage*>(page);
    auto* first = reinterpret_cast<Row*>(a);
    auto* second = reinterpret_cast<Row*>(b);
    if (!first || !second)
        return 0;
    // By name as Explorer orders them: folders first, numbers inside names by value.
    auto byName = [&] {
        if (first->values.isFolder != second->values.isFolder)
            return first->values.isFolder ? -1 : 1;
        return StrCmpLogicalW(first->name.c_str(), second->name.c_str());
    };
    if (self->sortColumn_ == 0)
        return self->descending_ ? -byName() : byName();
    const unsigned column = static_cast<unsigned>(self->sortColumn_ - 1);
    const bool fileSizes = Options().dateiGroesse.load() != 0;
    SortValue one = SortValueOf(first->values, column, fileSizes);
    SortValue other = SortValueOf(second->values, column, fileSizes);
    // Rows without a value (a walk that runs or failed, a file that is no image) come last
    // either way; rows of equal value by name.
    if (one.has != other.has)
        return one.has ? -1 : 1;
    int order = CompareSortValues(one, other);
    if (order != 0)
        return self->descending_ ? -order : order;
    return byName();
}

std::wstring DetailsPage::NameOf(Row& item) {
    STRRET name = {};
    wchar_t text[MAX_PATH] = {};
    if (folder_ && item.child &&
        SUCCEEDED(folder_->GetDisplayNameOf(item.child.get(), SHGDN_INFOLDER, &name)))
        StrRetToBufW(&name, item.child.get(), text, MAX_PATH);
    return text;
}

int DetailsPage::IconOf(Row& item) {
    int index = folder_ && item.child
                    ? SHMapPIDLToSystemImageListIndex(folder_.get(), item.child.get(), nullptr)
                    : -1;
    return index >= 0 ? index : 0;
}

void DetailsPage::ReadRow(Row& item) {
    if (item.read)
        return;
    item.read = true;
    wchar_t path[MAX_PATH + 1] = {};
    if (item.full && SHGetPathFromIDListW(item.full.get(), path))
        item.values.path = path;
    std::wstring extended = ExtendedPath(item.values.path);
    RowValues& values = item.values;
    if (extended.empty() ||
        !GetFileAttributesExW(extended.c_str(), GetFileExInfoStandard, &item.attributes)) {
        item.attributes = WIN32_FILE_ATTRIBUTE_DATA{};
        return;
    }
    const WIN32_FILE_ATTRIBUTE_DATA& a = item.attributes;
    values.isFolder = (a.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    values.timesRead = true;
    values.fileSize = (static_cast<std::uint64_t>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
    values.written = a.ftLastWriteTime;
    values.created = a.ftCreationTime;
    values.accessed = a.ftLastAccessTime;
}

void DetailsPage::ReadImage(Row& item) {
    if (item.values.imageRead)
        return;
    item.values.imageRead = true;
    ImageFacts facts =
        ReadImageFacts(images_, item.values.path.c_str(), item.attributes.dwFileAttributes);
    item.values.image = facts;
    if (!facts.loaded)
        return;
    item.dpi = AnsiToWide(Format("%d x %d", facts.horizontalDpi, facts.verticalDpi));
    item.depth = AnsiToWide(Format("%d", static_cast<int>(facts.bitDepth)));
    item.size = AnsiToWide(Format("%u x %u", facts.width, facts.height));
}

std::wstring DetailsPage::CellText(Row& item, int column) {
    ReadRow(item);
    const WIN32_FILE_ATTRIBUTE_DATA& a = item.attributes;
    const bool isFolder = (a.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const std::wstring noGdiplus = L"gdiplus.dll ?";
    switch (column) {
    case FolderSize:
    case FolderCount:
    case FileCount:
        if (isFolder) {
            // Known when the walk on the worker thread ends; the cells follow then, and
            // say meanwhile that the walk runs.
            return AskStatistics(item) ? kWalkRunningText : std::wstring();
        }
        if (column == FolderSize && Options().dateiGroesse.load() != 0)
            return AnsiToWide(
                FormatSize((static_cast<std::uint64_t>(a.nFileSizeHigh) << 32) | a.nFileSizeLow,
                           CurrentSizeFormat()));
        return std::wstring();
    case Dpi:
        if (!images_.IsAvailable())
            return noGdiplus;
        ReadImage(item);
        return item.dpi;
    case BitDepth:
        if (isFolder)
            return std::wstring();
        if (!images_.IsAvailable())
            return noGdiplus;
        ReadImage(item);
        return item.depth;
    case ImageSize:
        if (!images_.IsAvailable())
            return noGdiplus;
        ReadImage(item);
        return item.size;
    case FullPath:
        return item.values.path;
    case Extension:
        return isFolder ? L"[Ordner]" : ExtensionOfName(item.values.path);
    case ContentType:
        if (!item.contentTypeRead) {
            item.contentTypeRead = true;
            if (!isFolder)
                item.values.contentType = ContentTypeOf(ExtensionOfName(item.values.path));
        }
        return item.values.contentType;
    case ModifiedSeconds:
    case CreatedSeconds:
    case AccessedSeconds:
        return TimeText(static_cast<unsigned>(column), a);
    default:
        return std::wstring();
    }
}

bool DetailsPage::AskStatistics(Row& item) {
    if (item.statisticsAsked)
        return item.walkRunning;
    item.statisticsAsked = true;
    std::wstring extended = ExtendedPath(item.values.path);
    if (extended.empty() || !Window())
        return false;
    if (!worker_)
        worker_ = WalkWorker::Create(Window(), kStatisticsReady);
    if (!worker_->Ask(reinterpret_cast<LPARAM>(&item), extended))
        return false;
    item.walkRunning = true;
    ++pending_;
    return true;
}

void DetailsPage::ShowStatistics() {
    if (!worker_)
        return;
    const OptionSet& options = Options();
    for (const WalkWorker::Result& result : worker_->TakeResults()) {
        --pending_;
        LVFINDINFOW find = {};
        find.flags = LVFI_PARAM;
        find.lParam = result.key;
        int index = static_cast<int>(SendMessageW(list_, LVM_FINDITEMW, static_cast<WPARAM>(-1),
                                                  reinterpret_cast<LPARAM>(&find)));
        if (index < 0)
            continue;
        Row& row = *reinterpret_cast<Row*>(result.key);
        row.walkRunning = false;
        row.values.totals = result.ok ? RowValues::Totals::Known : RowValues::Totals::None;
        row.values.folder = result.totals;
        // A folder that cannot be listed, or whose walk failed, has no numbers: its cells
        // stay empty.
        std::string texts[3];
        if (result.ok) {
            texts[0] = FormatSize(result.totals.size, CurrentSizeFormat());
            texts[1] = FormatCount(result.totals.folders, options.tausenderOrdner.load() != 0);
            texts[2] = FormatCount(result.totals.files, options.tausenderDateien.load() != 0);
        }
        for (int column = 0; column < 3; ++column) {
            std::wstring text = AnsiToWide(texts[column]);
            LVITEMW cell = {};
            cell.iSubItem = column + 1;
            cell.pszText = &text[0];
            SendMessageW(list_, LVM_SETITEMTEXTW, static_cast<WPARAM>(index),
                         reinterpret_cast<LPARAM>(&cell));
        }
    }
    // A worker that broke down answers nothing more: its rows are done, without numbers.
    if (worker_->Failed()) {
        for (const auto& row : items_)
            if (row->walkRunning) {
                row->walkRunning = false;
                row->values.totals = RowValues::Totals::None;
                ClearRunningCells(*row);
            }
        worker_.reset();
        pending_ = 0;
    }
    // Sorted by a folder number: the rows stayed where they were while the walks ran; now
    // that all have ended, the list sorts once more.
    if (pending_ == 0 && sortColumn_ >= 1 && sortColumn_ <= 3)
        Sort();
}

void DetailsPage::OnColumnClick(int column) {
    if (column == sortColumn_)
        descending_ = !descending_;
    else
        descending_ = column > 0 && SortsDescendingFirst(static_cast<unsigned>(column - 1));
    sortColumn_ = column;
    WriteIntOption(kOptDetailsSpalte, sortColumn_);
    WriteIntOption(kOptDetailsAbsteigend, descending_ ? 1 : 0);
    Sort();
}

void DetailsPage::Sort() {
    const unsigned column = static_cast<unsigned>(sortColumn_ - 1);
    for (const auto& row : items_) {
        ReadRow(*row);
        if (!row->nameRead) {
            row->nameRead = true;
            row->name = NameOf(*row);
        }
        if (sortColumn_ == 0)
            continue;
        if (column == Dpi || column == BitDepth || column == ImageSize)
            ReadImage(*row);
        else if (column == ContentType)
            CellText(*row, ContentType);
        else if (column <= FileCount && row->values.isFolder)
            AskStatistics(*row);
    }
    SendMessageW(list_, LVM_SORTITEMS, reinterpret_cast<WPARAM>(this),
                 reinterpret_cast<LPARAM>(&DetailsPage::CompareItems));
    int focused = static_cast<int>(
        SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    if (focused >= 0)
        SendMessageW(list_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(focused), FALSE);
    HWND header = reinterpret_cast<HWND>(SendMessageW(list_, LVM_GETHEADER, 0, 0));
    const int columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    for (int index = 0; index < columns; ++index) {
        HDITEMW item = {};
        item.mask = HDI_FORMAT;
        SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (index == sortColumn_)
            item.fmt |= descending_ ? HDF_SORTDOWN : HDF_SORTUP;
        SendMessageW(header, HDM_SETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    }
}

void DetailsPage::ClearRunningCells(Row& item) {
    LVFINDINFOW find = {};
    find.flags = LVFI_PARAM;
    find.lParam = reinterpret_cast<LPARAM>(&item);
    int index = static_cast<int>(SendMessageW(list_, LVM_FINDITEMW, static_cast<WPARAM>(-1),
                                              reinterpret_cast<LPARAM>(&find)));
    for (int column = 1; index >= 0 && column <= 3; ++column) {
        wchar_t text[8] = {};
        LVITEMW cell = {};
        cell.iSubItem = column;
        cell.pszText = text;
        cell.cchTextMax = 8;
        SendMessageW(list_, LVM_GETITEMTEXTW, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&cell));
        if (std::wstring(text) == kWalkRunningText) {
            cell.pszText = text;
            text[0] = L'\0';
            SendMessageW(list_, LVM_SETITEMTEXTW, static_cast<WPARAM>(index),
                         reinterpret_cast<LPARAM>(&cell));
        }
    }
}

void DetailsPage::StopWalks() {
    if (worker_)
        worker_->Stop(kStopWaitMilliseconds);
    worker_.reset();
    pending_ = 0;
}

void DetailsPage::OnClosing() {
    StopWalks();
}

} // namespace rb
