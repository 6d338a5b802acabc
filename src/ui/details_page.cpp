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

#include <algorithm>
#include <unordered_map>
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
std::wstring TimeText(unsigned column, const RowValues& values) {
    FileTimes times;
    times.created = values.created;
    times.accessed = values.accessed;
    times.written = values.written;
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
    for (ULONG id : {followId_, aboveId_})
        if (id)
            SHChangeNotifyDeregister(id);
    StopWalks();
    StopReader();
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
            // The list keeps no texts: it asks for what it shows, each time it shows it.
            auto* request = reinterpret_cast<NMLVDISPINFOW*>(lParam);
            Row* row = RowAt(request->item.iItem);
            if (!row)
                return TRUE;
            if (request->item.mask & LVIF_TEXT) {
                resultText_ = CellOf(request->item.iItem, request->item.iSubItem);
                lstrcpynW(request->item.pszText, resultText_.c_str(), request->item.cchTextMax);
            }
            if ((request->item.mask & LVIF_IMAGE) && request->item.iSubItem == 0)
                request->item.iImage = IconOf(*row);
            return TRUE;
        }
        if (header->hwndFrom == list_ && header->code == LVN_ODFINDITEMW) {
            auto* find = reinterpret_cast<NMLVFINDITEMW*>(lParam);
            SetWindowLongPtrW(Window(), DWLP_MSGRESULT, FindByName(*find));
            return TRUE;
        }
        if (header->hwndFrom == list_ && header->code == NM_CUSTOMDRAW) {
            SetWindowLongPtrW(Window(), DWLP_MSGRESULT,
                              DrawShare(*reinterpret_cast<NMLVCUSTOMDRAW*>(lParam)));
            return TRUE;
        }
        return FALSE;
    }
    case kStatisticsReady:
        ShowStatistics();
        return TRUE;
    case kTimesRead:
        TakeTimes();
        return TRUE;
    case kShellChanged:
    case kAboveChanged:
        OnShellChanged(wParam, lParam, message == kAboveChanged);
        return TRUE;
    case WM_TIMER:
        if (wParam == kStateTimer)
            ShowState();
        else if (wParam == kChangeTimer)
            TakeChanges();
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
    // The same folder listed and walked anew.
    kept_.Forget(ExtendedPath(folderPath_));
    GetLocalTime(&valuesTime_);
    Refill();
}

void DetailsPage::Refill() {
    if (!folderIdList_)
        return;
    std::wstring focusedName;
    int focused = static_cast<int>(
        SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    if (Row* row = RowAt(focused))
        focusedName = SortName(*row);
    UniqueIdList again(ILClone(folderIdList_.get()));
    if (!again)
        return;
    Fill(again.get());
    for (std::size_t index = 0; !focusedName.empty() && index < order_.size(); ++index)
        if (SortName(*order_[index]) == focusedName) {
            FocusRow(static_cast<int>(index));
            break;
        }
}

void DetailsPage::FocusRow(int index) {
    LVITEMW state = {};
    state.stateMask = state.state = LVIS_FOCUSED | LVIS_SELECTED;
    SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&state));
    SendMessageW(list_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
}

DetailsPage::Row* DetailsPage::RowAt(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < order_.size() ? order_[index] : nullptr;
}

std::wstring DetailsPage::CellOf(int index, int column) {
    Row* row = RowAt(index);
    if (!row)
        return std::wstring();
    if (column > 0)
        return CellText(*row, column - 1);
    ReadName(*row);
    return row->name;
}

void DetailsPage::ReadName(Row& row) {
    if (row.nameRead)
        return;
    row.nameRead = true;
    STRRET name = {};
    wchar_t text[MAX_PATH] = {};
    if (folder_ && row.child &&
        SUCCEEDED(folder_->GetDisplayNameOf(row.child.get(), SHGDN_INFOLDER, &name)))
        StrRetToBufW(&name, row.child.get(), text, MAX_PATH);
    row.name = text;
}

LRESULT DetailsPage::FindByName(const NMLVFINDITEMW& find) {
    // Typing the first letters of a name: the next row from the start whose name begins
    // with them, whatever the case, round to the top.
    if (!(find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find.lvfi.psz || order_.empty())
        return -1;
    const int typed = lstrlenW(find.lvfi.psz);
    const int count = static_cast<int>(order_.size());
    const int start = find.iStart >= 0 && find.iStart < count ? find.iStart : 0;
    for (int step = 0; step < count; ++step) {
        const int index = (start + step) % count;
        if (!(find.lvfi.flags & LVFI_WRAP) && index < start)
            break;
        const std::wstring& name = SortName(*order_[index]);
        if (static_cast<int>(name.size()) >= typed &&
            CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, name.c_str(), typed,
                           find.lvfi.psz, typed) == CSTR_EQUAL &&
            ((find.lvfi.flags & LVFI_PARTIAL) || static_cast<int>(name.size()) == typed))
            return index;
    }
    return -1;
}

void DetailsPage::CopySelection() {
    // The titles, then each selected row: cells between tabs, rows ended by CR LF, as a
    // spreadsheet takes them.
    HWND header = reinterpret_cast<HWND>(SendMessageW(list_, LVM_GETHEADER, 0, 0));
    const int columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    std::wstring text;
    for (int column = 0; column < columns; ++column)
        text += (column ? L"\t" : L"") + TitleOf(column);
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

std::wstring DetailsPage::TitleOf(int column) const {
    wchar_t title[128] = {};
    HWND header = reinterpret_cast<HWND>(SendMessageW(list_, LVM_GETHEADER, 0, 0));
    HDITEMW item = {};
    item.mask = HDI_TEXT;
    item.pszText = title;
    item.cchTextMax = 128;
    SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
    return title;
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
    Row* row = RowAt(index);
    if (!row || !folder_ || !row->child || !FullOf(*row))
        return;
    LPCITEMIDLIST child = row->child.get();
    SFGAOF attributes = SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_STREAM;
    if (FAILED(folder_->GetAttributesOf(1, &child, &attributes)))
        attributes = 0;
    // A folder of the file system is listed here; a .zip (a folder that is also a file),
    // Control Panel and files open as Explorer opens them.
    if ((attributes & SFGAO_FOLDER) && (attributes & SFGAO_FILESYSTEM) &&
        !(attributes & SFGAO_STREAM)) {
        UniqueIdList next(ILClone(row->full.get())); // the row goes with the filling
        if (next)
            Fill(next.get());
        return;
    }
    ShellOpenItem(GetAncestor(Window(), GA_ROOT), row->full.get());
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
    for (std::size_t index = 0; folder_ && index < order_.size(); ++index) {
        Row* row = order_[index];
        if (row->child && HRESULT_CODE(folder_->CompareIDs(0, row->child.get(), came.get())) == 0) {
            FocusRow(static_cast<int>(index));
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
    const wchar_t* last = wcsrchr(path, L'\\');
    folderName_ = last && last[1] ? last + 1 : path;
    SetDlgItemTextW(Window(), IDC_DETAILS_PATH, path);
}

void DetailsPage::Fill(LPCITEMIDLIST folder) {
    // The walks of the rows shown before end; what changes asked for (listings of changed
    // folders, walks of folders that came in) is asked again of the new worker.
    KeptTree::Next changes;
    for (const auto& asked : asked_)
        if (asked.second == WalkWorker::Kind::Listing)
            changes.listings.push_back(asked.first);
        else if (kept_.Awaited(asked.first))
            changes.walks.push_back(asked.first);
    StopWalks();
    StopReader();
    SendMessageW(list_, LVM_SETITEMCOUNT, 0, 0);
    order_.clear();
    // The rows' ID lists go with them; many rows go on the times' thread, if one starts.
    std::shared_ptr<std::deque<Row>> old;
    if (items_.size() >= kReadTimesBesideFrom) {
        old = std::make_shared<std::deque<Row>>();
        old->swap(items_);
    }
    items_.clear();
    folder_.reset();
    folderIdList_.reset(folder ? ILClone(folder) : nullptr);
    ShowPath();
    wchar_t path[MAX_PATH + 1] = {};
    folderPath_ = folderIdList_ && SHGetPathFromIDListW(folderIdList_.get(), path) ? path : L"";
    if (folderIdList_ && SUCCEEDED(BindToFolder(folderIdList_.get(), folder_.put()))) {
        ComPtr<IEnumIDList> children;
        if (folder_->EnumObjects(nullptr, kEnumerateEverything, children.put()) == S_OK && children)
            Enumerate(children.get());
    }
    order_.reserve(items_.size());
    for (Row& item : items_)
        order_.push_back(&item);
    // The page keeps the rows; the list asks only for those it shows.
    SendMessageW(list_, LVM_SETITEMCOUNT, static_cast<WPARAM>(order_.size()), 0);
    // The kept numbers of the folders least recently shown go first, past the limit.
    kept_.Touch(ExtendedPath(folderPath_));
    kept_.Trim(kKeptFoldersLimit, ExtendedPath(folderPath_));
    Follow();
    AskNext(changes);
    Sort(); // reads every row's name
    if (items_.size() >= kReadTimesBesideFrom && !folderPath_.empty()) {
        std::vector<const std::wstring*> names(items_.size());
        for (std::size_t row = 0; row < items_.size(); ++row)
            names[row] = &items_[row].nameLower;
        reader_ = TimesReader::Start(names, ExtendedPath(folderPath_), Window(), kTimesRead,
                                     std::move(old));
    }
    ShowState();
}

void DetailsPage::Enumerate(IEnumIDList* children) {
    for (;;) {
        LPITEMIDLIST childList = nullptr;
        ULONG fetched = 0;
        if (children->Next(1, &childList, &fetched) != S_OK || !childList)
            break;
        items_.emplace_back();
        items_.back().child.reset(childList);
    }
}

void DetailsPage::TakeTimes() {
    if (!reader_)
        return;
    std::vector<TimesReader::Times> read;
    if (!reader_->Take(read))
        return; // a message of the reader before
    for (const TimesReader::Times& times : read) {
        if (times.row >= items_.size() || items_[times.row].values.timesRead)
            continue;
        RowValues& values = items_[times.row].values;
        items_[times.row].timesAsked = values.timesRead = true;
        values.created = times.created;
        values.accessed = times.accessed;
        values.written = times.written;
    }
    StopReader();
}

void DetailsPage::StopReader() {
    if (reader_)
        reader_->Stop(kStopWaitMilliseconds);
    reader_.reset();
}

int DetailsPage::IconOf(Row& item) {
    if (item.icon < 0) {
        int index = folder_ && item.child
                        ? SHMapPIDLToSystemImageListIndex(folder_.get(), item.child.get(), nullptr)
                        : -1;
        item.icon = index >= 0 ? index : 0;
    }
    return item.icon;
}

bool DetailsPage::FindDataOf(const Row& item, WIN32_FIND_DATAW& found) const {
    // Attributes and size of a file-system item are in its ID list: asking the file system
    // costs far more, and a folder may hold 100,000 items. (The name there may have lost
    // what the ANSI code page lacks: it comes from ParsingNameOf.)
    return folder_ && item.child && !folderPath_.empty() &&
           SUCCEEDED(SHGetDataFromIDListW(folder_.get(), item.child.get(), SHGDFIL_FINDDATA, &found,
                                          sizeof found));
}

std::wstring DetailsPage::ParsingNameOf(const Row& item) const {
    // The file-system name within the folder, read from the ID list; "::{...}" for items
    // outside the file system.
    STRRET parsing = {};
    if (!folder_ || !item.child ||
        FAILED(folder_->GetDisplayNameOf(item.child.get(), SHGDN_INFOLDER | SHGDN_FORPARSING,
                                         &parsing)))
        return std::wstring();
    if (parsing.uType == STRRET_WSTR) { // the usual answer: taken as it is
        std::wstring name(parsing.pOleStr ? parsing.pOleStr : L"");
        CoTaskMemFree(parsing.pOleStr);
        return name;
    }
    wchar_t name[MAX_PATH] = {};
    StrRetToBufW(&parsing, item.child.get(), name, MAX_PATH);
    return name;
}

LPCITEMIDLIST DetailsPage::FullOf(Row& item) {
    if (!item.full && item.child && folderIdList_)
        item.full.reset(ILCombine(folderIdList_.get(), item.child.get()));
    return item.full.get();
}

void DetailsPage::ReadRow(Row& item) {
    if (item.read)
        return;
    item.read = true;
    RowValues& values = item.values;
    std::wstring name = ParsingNameOf(item);
    const bool plain = !name.empty() && name.find_first_of(L"\\:") == std::wstring::npos;
    WIN32_FIND_DATAW found = {};
    if (plain && FindDataOf(item, found)) {
        item.nameLower.swap(name);
        // Most names are plain ASCII: lower-cased here, the rest by the system.
        bool plainAscii = true;
        for (wchar_t& c : item.nameLower) {
            if (c >= L'A' && c <= L'Z')
                c = static_cast<wchar_t>(c - L'A' + L'a');
            plainAscii = plainAscii && c < 0x80;
        }
        if (!plainAscii)
            CharLowerBuffW(&item.nameLower[0], static_cast<DWORD>(item.nameLower.size()));
        item.attributes = found.dwFileAttributes;
        values.fileSize = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        values.isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        values.sizeRead = true;
        return;
    }
    // The desktop's own items and those outside the file system ("::{...}") sort by the
    // name the shell shows.
    if (name.empty() || name.compare(0, 2, L"::") == 0) {
        ReadName(item);
        item.nameLower = LowerForSort(item.name);
    } else {
        item.nameLower = LowerForSort(name);
    }
    item.pathRead = true;
    wchar_t path[MAX_PATH + 1] = {};
    if (FullOf(item) && SHGetPathFromIDListW(item.full.get(), path))
        values.path = path;
    ReadTimes(item);
}

void DetailsPage::ReadPath(Row& item) {
    ReadRow(item);
    if (item.pathRead)
        return;
    item.pathRead = true;
    std::wstring& path = item.values.path;
    path = folderPath_;
    if (path.back() != L'\\')
        path += L'\\';
    path += ParsingNameOf(item);
}

void DetailsPage::ReadTimes(Row& item) {
    RowValues& values = item.values;
    if (values.timesRead || item.timesAsked)
        return;
    ReadPath(item);
    item.timesAsked = true;
    std::wstring extended = ExtendedPath(values.path);
    WIN32_FILE_ATTRIBUTE_DATA a = {};
    if (extended.empty() || !GetFileAttributesExW(extended.c_str(), GetFileExInfoStandard, &a))
        return;
    item.attributes = a.dwFileAttributes;
    values.isFolder = (a.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    values.sizeRead = values.timesRead = true;
    values.fileSize = (static_cast<std::uint64_t>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
    values.written = a.ftLastWriteTime;
    values.created = a.ftCreationTime;
    values.accessed = a.ftLastAccessTime;
}

void DetailsPage::ReadAllTimes() {
    std::unordered_map<std::wstring, Row*> byName;
    for (Row* row : order_) {
        ReadRow(*row);
        if (!row->values.timesRead && !row->timesAsked && !row->nameLower.empty())
            byName.emplace(row->nameLower, row);
    }
    std::wstring extended = ExtendedPath(folderPath_);
    if (byName.size() > 16 && !extended.empty()) {
        if (extended.back() != L'\\')
            extended += L'\\';
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileExW((extended + L"*").c_str(), FindExInfoBasic, &data,
                                       FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
        if (find == INVALID_HANDLE_VALUE) // the older systems know neither
            find = FindFirstFileW((extended + L"*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                auto found = byName.find(LowerForSort(data.cFileName));
                if (found == byName.end())
                    continue;
                Row& row = *found->second;
                row.values.timesRead = row.timesAsked = true;
                row.values.written = data.ftLastWriteTime;
                row.values.created = data.ftCreationTime;
                row.values.accessed = data.ftLastAccessTime;
            } while (FindNextFileW(find, &data));
            FindClose(find);
        }
    }
    for (Row* row : order_)
        ReadTimes(*row);
}

const std::wstring& DetailsPage::SortName(Row& row) {
    ReadRow(row);
    return row.nameLower;
}

void DetailsPage::ReadImage(Row& item) {
    if (item.values.imageRead)
        return;
    // Loading the picture reads the file and may set its last access: the times first.
    ReadTimes(item);
    ReadPath(item);
    item.values.imageRead = true;
    item.values.image = ReadImageFacts(images_, item.values.path.c_str(), item.attributes);
}

std::wstring DetailsPage::CellText(Row& item, int column) {
    ReadPath(item);
    const RowValues& values = item.values;
    const ImageFacts& image = values.image;
    const std::wstring noGdiplus = L"gdiplus.dll ?";
    switch (column) {
    case FolderSize:
    case FolderCount:
    case FileCount:
        if (values.isFolder) {
            // Known when the walk on the worker thread ends; the cells say meanwhile that
            // the walk runs. A folder that cannot be listed, or whose walk failed, has none.
            if (values.totals == RowValues::Totals::Unknown)
                return AskStatistics(item) ? kWalkRunningText : std::wstring();
            if (values.totals == RowValues::Totals::None)
                return std::wstring();
            const OptionSet& options = Options();
            if (column == FolderSize)
                return AnsiToWide(FormatSize(values.folder.size, CurrentSizeFormat()));
            if (column == FolderCount)
                return AnsiToWide(
                    FormatCount(values.folder.folders, options.tausenderOrdner.load() != 0));
            return AnsiToWide(FormatCount(values.folder.files, options.tausenderDateien.load() != 0));
        }
        if (column == FolderSize && Options().dateiGroesse.load() != 0)
            return AnsiToWide(FormatSize(values.fileSize, CurrentSizeFormat()));
        return std::wstring();
    case Dpi:
    case BitDepth:
    case ImageSize:
        if (column == BitDepth && values.isFolder)
            return std::wstring();
        if (!images_.IsAvailable())
            return noGdiplus;
        ReadImage(item);
        if (!image.loaded)
            return std::wstring();
        if (column == Dpi)
            return AnsiToWide(Format("%d x %d", image.horizontalDpi, image.verticalDpi));
        if (column == BitDepth)
            return AnsiToWide(Format("%d", static_cast<int>(image.bitDepth)));
        return AnsiToWide(Format("%u x %u", image.width, image.height));
    case FullPath:
        return values.path;
    case Extension:
        return values.isFolder ? L"[Ordner]" : ExtensionOfName(values.path);
    case ContentType:
        if (!item.contentTypeRead) {
            item.contentTypeRead = true;
            if (!values.isFolder)
                item.values.contentType = ContentTypeOf(ExtensionOfName(values.path));
        }
        return values.contentType;
    case ModifiedSeconds:
    case CreatedSeconds:
    case AccessedSeconds:
        ReadTimes(item);
        return TimeText(static_cast<unsigned>(column), values);
    default:
        return std::wstring();
    }
}

bool DetailsPage::AskStatistics(Row& item) {
    if (item.statisticsAsked)
        return item.walkRunning;
    item.statisticsAsked = true;
    ReadPath(item);
    if (ExtendedPath(item.values.path).empty() || !Window())
        return false;
    // A folder below one walked before shows its numbers at once.
    if (TakeKept(item))
        return false;
    if (!AskNext(kept_.Resolve(ExtendedPath(item.values.path))))
        return false;
    item.walkRunning = true;
    return true;
}

bool DetailsPage::TakeKept(Row& row) {
    FolderTotals totals;
    switch (kept_.Of(ExtendedPath(row.values.path), totals)) {
    case KeptTree::Value::Known:
        row.values.totals = RowValues::Totals::Known;
        row.values.folder = totals;
        return true;
    case KeptTree::Value::Failed:
        row.values.totals = RowValues::Totals::None;
        return true;
    default:
        return false;
    }
}

bool DetailsPage::AskNext(const KeptTree::Next& next) {
    if (next.walks.empty() && next.listings.empty())
        return true;
    if (!worker_)
        worker_ = WalkWorker::Create(Window(), kStatisticsReady);
    bool asked = true;
    auto ask = [&](const std::wstring& path, WalkWorker::Kind kind) {
        if (!asked_.emplace(path, kind).second)
            return; // asked already: one walk serves every row that waits for it
        if (!worker_->Ask(0, path, kind)) {
            asked_.erase(path);
            asked = false;
            return;
        }
        if (pending_++ == 0)
            SetTimer(Window(), kStateTimer, kStateMilliseconds, nullptr);
    };
    for (const std::wstring& path : next.walks)
        ask(path, WalkWorker::Kind::Walk);
    for (const std::wstring& path : next.listings)
        ask(path, WalkWorker::Kind::Listing);
    return asked;
}

void DetailsPage::ShowStatistics(bool changed) {
    if (!worker_)
        return;
    KeptTree::Next again;
    // The rows to look at again: those whose own walk answered, unless something else
    // moved numbers (a listing, a walk below a row), which may touch any row. A folder of
    // thousands of subfolders is not gone through for each walk that ends.
    std::wstring listed = ExtendedPath(folderPath_);
    if (!listed.empty() && listed.back() == L'\\')
        listed.pop_back();
    std::unordered_set<std::wstring> answered;
    for (WalkWorker::Result& result : worker_->TakeResults()) {
        --pending_;
        const std::size_t slash = result.path.find_last_of(L'\\');
        if (result.kind == WalkWorker::Kind::Listing || slash == std::wstring::npos ||
            result.path.compare(0, slash, listed) != 0 || slash != listed.size())
            changed = true;
        answered.insert(result.path);
        asked_.erase(result.path);
        auto changed = again_.find(result.path);
        if (changed != again_.end()) {
            (changed->second == WalkWorker::Kind::Walk ? again.walks : again.listings)
                .push_back(result.path);
            again_.erase(changed);
        }
        if (result.kind == WalkWorker::Kind::Listing)
            AskNext(kept_.Relisted(result.path, result.ok && result.totals.whole, result.totals,
                                   result.subfolders));
        else if (result.kept.Folders() > 0)
            kept_.Graft(result.path, std::move(result.kept));
        else // broke down: no value
            kept_.Relisted(result.path, false, FolderTotals(), {});
    }
    kept_.Trim(kKeptFoldersLimit, ExtendedPath(folderPath_));
    // Rows whose folders are whole now show their numbers; a worker that broke down
    // answers nothing more: its rows are done, without numbers.
    const bool failed = worker_->Failed();
    AskNext(again);
    for (Row& row : items_) {
        if (!row.statisticsAsked || !row.values.isFolder)
            continue;
        // Numbers shown before follow the changes below them.
        if (!row.walkRunning) {
            if (changed)
                TakeKept(row);
            continue;
        }
        if ((changed || answered.count(ExtendedPath(row.values.path))) && TakeKept(row)) {
            row.walkRunning = false;
        } else if (failed || pending_ == 0) {
            row.walkRunning = false;
            row.values.totals = RowValues::Totals::None;
        }
    }
    if (failed)
        pending_ = 0;
    InvalidateRect(list_, nullptr, FALSE);
    ShowState();
    // Sorted by a folder number: the rows stayed where they were while the walks ran; now
    // that all have ended, the list sorts once more.
    if (pending_ == 0 && sortColumn_ >= 1 && sortColumn_ <= 3)
        Sort();
}

void DetailsPage::ShowState() {
    // The listed folder's files and bytes: its own files, the walks' totals and what the
    // walk under way has met so far.
    std::uint64_t files = 0, bytes = 0;
    unsigned unreadable = 0;
    for (const Row* row : order_) {
        const RowValues& values = row->values;
        if (!values.isFolder) {
            files += values.sizeRead ? 1 : 0;
            bytes += values.fileSize;
        } else if (values.totals == RowValues::Totals::Known) {
            files += static_cast<std::uint64_t>(values.folder.files);
            bytes += values.folder.size;
        } else if (values.totals == RowValues::Totals::None && row->statisticsAsked) {
            ++unreadable;
        }
    }
    totalBytes_ = bytes;
    if (worker_) {
        unreadable += worker_->Unreadable();
        if (pending_ > 0) {
            files += worker_->RunningFiles();
            bytes += worker_->RunningBytes();
        }
    }
    std::wstring counted = AnsiToWide(GroupThousands(files, nullptr)) +
                           (files == 1 ? L" Datei, " : L" Dateien, ") +
                           AnsiToWide(FormatShortSize(bytes));
    std::wstring text;
    if (pending_ > 0) {
        text = L"Durchsuche " + (folderName_.empty() ? std::wstring() : folderName_ + L" ") +
               kWalkRunningText + L" " + counted;
    } else {
        text = L"Fertig: " + counted;
        if (unreadable)
            text += L", " + std::to_wstring(unreadable) + L" Ordner nicht lesbar";
        KillTimer(Window(), kStateTimer);
    }
    // Where no changes come (a share), the values say when they were counted.
    if (!followable_ && !followRoot_.empty()) {
        wchar_t time[16];
        wsprintfW(time, L", Stand %02u:%02u", valuesTime_.wHour, valuesTime_.wMinute);
        text += time;
    }
    SetDlgItemTextW(Window(), IDC_DETAILS_STATE, order_.empty() && !folder_ ? L"" : text.c_str());
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
    const bool fileSizes = Options().dateiGroesse.load() != 0;
    // Each row's value read once, then the order of the rows by those values.
    std::vector<SortValue> keys(order_.size());
    std::vector<std::wstring> textKeys;
    if (column == ModifiedSeconds || column == CreatedSeconds || column == AccessedSeconds)
        ReadAllTimes();
    for (std::size_t index = 0; index < order_.size(); ++index) {
        Row& row = *order_[index];
        ReadRow(row);
        if (sortColumn_ == 0)
            continue;
        if (column == Extension && !row.pathRead) {
            // A file-system row's name is its file's: the extension from it, no path needed.
            keys[index].text = row.values.isFolder ? L"[Ordner]" : ExtensionOfName(row.nameLower);
            keys[index].has = !keys[index].text.empty();
        } else if (column == FullPath || column == Extension) {
            ReadPath(row);
        }
        else if (column == Dpi || column == BitDepth || column == ImageSize)
            ReadImage(row);
        else if (column == ContentType)
            CellText(row, ContentType);
        else if (column <= FileCount && row.values.isFolder && !row.statisticsAsked)
            AskStatistics(row);
        if (!(column == Extension && !row.pathRead))
            keys[index] = SortValueOf(row.values, column, fileSizes);
        if (!keys[index].text.empty()) {
            textKeys.resize(order_.size());
            std::wstring& text = textKeys[index];
            text.swap(keys[index].text);
            CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
        }
    }
    // The selection and the focus go with their rows.
    int focused = static_cast<int>(
        SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    Row* focusedRow = RowAt(focused);
    std::vector<Row*> selected;
    for (int index = -1;;) {
        index = static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(index),
                                              LVNI_SELECTED));
        if (index < 0 || !RowAt(index))
            break;
        selected.push_back(RowAt(index));
    }
    std::vector<std::size_t> places(order_.size());
    for (std::size_t index = 0; index < places.size(); ++index)
        places[index] = index;
    const bool byName = sortColumn_ == 0;
    const bool descending = descending_;
    auto names = [this](std::size_t a, std::size_t b) {
        const Row& one = *order_[a];
        const Row& other = *order_[b];
        // As Explorer orders names: folders first, numbers inside names by value.
        if (one.values.isFolder != other.values.isFolder)
            return one.values.isFolder ? -1 : 1;
        return CompareLogical(one.nameLower, other.nameLower);
    };
    std::stable_sort(places.begin(), places.end(), [&](std::size_t a, std::size_t b) {
        if (byName)
            return (descending ? -names(a, b) : names(a, b)) < 0;
        // Rows without a value (a walk that runs or failed, a file that is no image) come
        // last either way; rows of equal value by name.
        if (keys[a].has != keys[b].has)
            return keys[a].has;
        int order = textKeys.empty() ? CompareSortValues(keys[a], keys[b])
                                     : CompareLogical(textKeys[a], textKeys[b]);
        if (order != 0)
            return (descending ? -order : order) < 0;
        return names(a, b) < 0;
    });
    std::vector<Row*> sorted(order_.size());
    for (std::size_t index = 0; index < places.size(); ++index)
        sorted[index] = order_[places[index]];
    order_.swap(sorted);

    if (!selected.empty() || focusedRow) {
        LVITEMW clear = {};
        clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
        for (std::size_t index = 0; index < order_.size(); ++index) {
            Row* row = order_[index];
            LVITEMW state = {};
            state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            if (std::find(selected.begin(), selected.end(), row) != selected.end())
                state.state |= LVIS_SELECTED;
            if (row == focusedRow)
                state.state |= LVIS_FOCUSED;
            if (state.state)
                SendMessageW(list_, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&state));
            if (row == focusedRow)
                SendMessageW(list_, LVM_ENSUREVISIBLE, index, FALSE);
        }
    }
    InvalidateRect(list_, nullptr, FALSE);
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

bool DetailsPage::NumberOf(int index, int column, double& value) {
    Row* row = RowAt(index);
    if (!row || column < 1 || column > 3)
        return false;
    ReadRow(*row);
    const RowValues& values = row->values;
    double bytes = 0;
    if (values.isFolder) {
        if (values.totals != RowValues::Totals::Known)
            return false;
        if (column == 2 || column == 3) {
            value = static_cast<double>(column == 2 ? values.folder.folders : values.folder.files);
            return true;
        }
        bytes = static_cast<double>(values.folder.size);
    } else {
        if (column != 1 || !values.sizeRead || Options().dateiGroesse.load() == 0)
            return false;
        bytes = static_cast<double>(values.fileSize);
    }
    const int unit = CurrentSizeFormat().unit;
    value = unit == kUnitBytes ? bytes : bytes / (unit == kUnitKilobytes ? 1024.0 : 1048576.0);
    return true;
}

std::uint64_t DetailsPage::BytesOf(const Row& row) const {
    const RowValues& values = row.values;
    if (values.isFolder)
        return values.totals == RowValues::Totals::Known ? values.folder.size : 0;
    return values.fileSize;
}

LRESULT DetailsPage::DrawShare(NMLVCUSTOMDRAW& draw) {
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT)
        return CDRF_NOTIFYITEMDRAW;
    if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT)
        return CDRF_NOTIFYSUBITEMDRAW;
    if (draw.nmcd.dwDrawStage != (CDDS_ITEMPREPAINT | CDDS_SUBITEM) || draw.iSubItem != 1)
        return CDRF_DODEFAULT;
    const int index = static_cast<int>(draw.nmcd.dwItemSpec);
    Row* row = RowAt(index);
    // A selected row keeps the list's own highlight.
    if (!row || totalBytes_ == 0 ||
        (SendMessageW(list_, LVM_GETITEMSTATE, index, LVIS_SELECTED) & LVIS_SELECTED))
        return CDRF_DODEFAULT;
    RECT cell = {};
    cell.top = 1;
    cell.left = LVIR_BOUNDS;
    if (!SendMessageW(list_, LVM_GETSUBITEMRECT, index, reinterpret_cast<LPARAM>(&cell)))
        return CDRF_DODEFAULT;
    HDC dc = draw.nmcd.hdc;
    FillRect(dc, &cell, GetSysColorBrush(COLOR_WINDOW));
    // The bar behind the text: the row's share of the listed folder's bytes, in the
    // highlight colour; the text over it in the highlight's text colour, so that it reads
    // in every theme.
    RECT bar = cell;
    const int margin = ScaleTo(2, WindowDpi(list_));
    InflateRect(&bar, -margin, -margin / 2);
    bar.right = bar.left + ShareBarWidth(*row, bar.right - bar.left);
    if (bar.right > bar.left)
        FillRect(dc, &bar, GetSysColorBrush(COLOR_HIGHLIGHT));
    std::wstring text = CellText(*row, FolderSize);
    RECT textArea = cell;
    textArea.right -= ScaleTo(6, WindowDpi(list_));
    // The text in two colours: over the bar and beside it, each clipped to its part.
    auto textIn = [&](int left, int right, int colour) {
        if (right <= left)
            return;
        const int saved = SaveDC(dc);
        SetBkMode(dc, TRANSPARENT);
        IntersectClipRect(dc, left, cell.top, right, cell.bottom);
        SetTextColor(dc, GetSysColor(colour));
        DrawTextW(dc, text.c_str(), -1, &textArea, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        RestoreDC(dc, saved);
    };
    textIn(bar.right, cell.right, COLOR_WINDOWTEXT);
    textIn(bar.left, bar.right, COLOR_HIGHLIGHTTEXT);
    return CDRF_SKIPDEFAULT;
}

int DetailsPage::ShareBarWidth(const Row& row, int width) const {
    if (totalBytes_ == 0 || width <= 0)
        return 0;
    const std::uint64_t bytes = BytesOf(row);
    return static_cast<int>((static_cast<double>(bytes) / static_cast<double>(totalBytes_)) * width + 0.5);
}

void DetailsPage::StopWalks() {
    if (worker_)
        worker_->Stop(kStopWaitMilliseconds);
    worker_.reset();
    pending_ = 0;
    asked_.clear();
    again_.clear();
    if (Window())
        KillTimer(Window(), kStateTimer);
}

void DetailsPage::OnClosing() {
    StopFollowing();
    StopWalks();
    StopReader();
    kept_ = KeptTree();
    followRoot_.clear();
}

unsigned DetailsPage::AnchorsOf(HWND control, const RECT& place) {
    switch (GetDlgCtrlID(control)) {
    case IDC_LIST:
        return kGrow;
    case IDC_DETAILS_PATH:
        return kRightEdge;
    case IDC_DETAILS_STATE:
        return kTopBottom | kRightEdge;
    default:
        return Page::AnchorsOf(control, place);
    }
}

} // namespace rb
