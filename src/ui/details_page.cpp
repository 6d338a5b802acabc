#include "ui/details_page.h"

#include "columns/catalogue.h"
#include "columns/number_format.h"
#include "columns/option_store.h"
#include "columns/options.h"
#include "columns/tree_walk.h"
#include "common/name_fold.h"
#include "common/shell_open.h"
#include "common/win_handles.h"
#include "common/win_text.h"
#include "resource_ids.h"
#include "shell/id_lists.h"
#include "ui/item_actions.h"
#include "ui/ui_scale.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace rb {

namespace {

// The list's own procedure and its page, kept beside it while the page takes its keys.
constexpr const wchar_t* kListProcedure = L"RubrikatorListProcedure";
constexpr const wchar_t* kListPage = L"RubrikatorListPage";

// A header item's space left and right of its text, at 100 %.
constexpr int kTitleMarginsAt96Dpi = 16;

} // namespace

DetailsPage::DetailsPage()
    : Page(IDD_DETAILS_PAGE), browser_(static_cast<Jobs&>(*this), static_cast<Disk&>(*this)),
      rows_(browser_) {
    browser_.SetKeeper(this);
}

DetailsPage::~DetailsPage() {
    StopFollowing();
    StopWalks();
}

void DetailsPage::SetScale(int dpi) {
    if (files_)
        SetGatheredColumns();
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
    // After the twelve; the user may drag it beside the size.
    column.pszText = const_cast<wchar_t*>(FolderRows::kGrowthTitle);
    SendMessageW(list_, LVM_INSERTCOLUMNW, FolderRows::kGrowthColumn + 1, reinterpret_cast<LPARAM>(&column));
    SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_HEADERDRAGDROP, LVS_EX_HEADERDRAGDROP);
    SetScale(WindowDpi(Window()));
    SHFILEINFOA info = {};
    auto icons = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoA("C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    SendMessageW(list_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(icons));
    // The system's list is shared: the list view must never destroy it.
    SetWindowLongPtrW(list_, GWL_STYLE, GetWindowLongPtrW(list_, GWL_STYLE) | LVS_SHAREIMAGELISTS);
    // Enter opens, Backspace and Alt+Up go to the parent, as in Explorer.
    MakeTabs();
    for (HWND list : {list_, files_}) {
        SetPropW(list, kListPage, reinterpret_cast<HANDLE>(this));
        SetPropW(list, kListProcedure, reinterpret_cast<HANDLE>(GetWindowLongPtrW(list, GWLP_WNDPROC)));
        SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DetailsPage::ListKeys));
    }
    const int remembered = ReadIntOption(kOptDetailsSpalte, 0);
    sortColumn_ = remembered >= 0 && remembered <= FolderRows::kGrowthColumn + 1 ? remembered : 0;
    descending_ = ReadIntOption(kOptDetailsAbsteigend, 0) != 0;
    return TRUE;
}

INT_PTR DetailsPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT menuResult = 0; // the shell's menu, while it is shown, draws through the page
    if (ForwardMenuMessage(Window(), message, wParam, lParam, menuResult)) {
        SetWindowLongPtrW(Window(), DWLP_MSGRESULT, menuResult);
        return TRUE;
    }
    switch (message) {
    case WM_NOTIFYFORMAT:
        SetWindowLongPtrW(Window(), DWLP_MSGRESULT, NFR_UNICODE);
        return TRUE;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->hwndFrom == tabs_ && header->code == TCN_SELCHANGE) {
            typeOnly_ = false;
            ShowTab(static_cast<Tab>(SendMessageW(tabs_, TCM_GETCURSEL, 0, 0)));
            return TRUE;
        }
        if (header->hwndFrom == files_) {
            SetWindowLongPtrW(Window(), DWLP_MSGRESULT, OnGatheredNotify(*header));
            return TRUE;
        }
        if (header->hwndFrom != list_)
            return FALSE;
        switch (header->code) {
        case NM_DBLCLK: {
            int index = reinterpret_cast<NMITEMACTIVATE*>(lParam)->iItem;
            if (index >= 0)
                Open(index);
            return TRUE;
        }
        case LVN_BEGINLABELEDITW:
            SetWindowLongPtrW(Window(), DWLP_MSGRESULT,
                              OnBeginRename(*reinterpret_cast<NMLVDISPINFOW*>(lParam)));
            return TRUE;
        case LVN_ENDLABELEDITW:
            OnEndRename(*reinterpret_cast<NMLVDISPINFOW*>(lParam));
            SetWindowLongPtrW(Window(), DWLP_MSGRESULT, FALSE); // the rows show the disk's name
            return TRUE;
        case LVN_COLUMNCLICK:
            OnColumnClick(reinterpret_cast<NMLISTVIEW*>(lParam)->iSubItem);
            return TRUE;
        case LVN_GETDISPINFOW: {
            // The list keeps no texts: it asks for what it shows, each time it shows it.
            auto* request = reinterpret_cast<NMLVDISPINFOW*>(lParam);
            if (request->item.iItem < 0 || request->item.iItem >= rows_.Count())
                return TRUE;
            if (request->item.mask & LVIF_TEXT) {
                resultText_ = rows_.Cell(request->item.iItem, request->item.iSubItem);
                lstrcpynW(request->item.pszText, resultText_.c_str(), request->item.cchTextMax);
            }
            if ((request->item.mask & LVIF_IMAGE) && request->item.iSubItem == 0)
                request->item.iImage = rows_.Icon(request->item.iItem);
            // A walk asked for by a shown cell: the line below says so.
            if (browser_.Running() > 0)
                SetTimer(Window(), kStateTimer, kStateMilliseconds, nullptr);
            return TRUE;
        }
        case LVN_ODFINDITEMW: {
            // Typing the first letters of a name: the next row from the start whose name
            // begins with them, whatever the case, round to the top.
            auto* find = reinterpret_cast<NMLVFINDITEMW*>(lParam);
            const bool byName = (find->lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) != 0;
            SetWindowLongPtrW(Window(), DWLP_MSGRESULT,
                              byName ? rows_.FindByName(find->lvfi.psz, find->iStart,
                                                        (find->lvfi.flags & LVFI_WRAP) != 0,
                                                        (find->lvfi.flags & LVFI_PARTIAL) != 0)
                                     : -1);
            return TRUE;
        }
        case NM_CUSTOMDRAW:
            SetWindowLongPtrW(Window(), DWLP_MSGRESULT,
                              DrawShare(*reinterpret_cast<NMLVCUSTOMDRAW*>(lParam)));
            return TRUE;
        default:
            return FALSE;
        }
    }
    case kStatisticsReady:
        ShowAnswers();
        return TRUE;
    case kTimesRead:
        rows_.TakeTimes();
        return TRUE;
    case kImagesRead:
        rows_.TakeImages();
        InvalidateRect(list_, nullptr, FALSE);
        CheckWaiting();
        ShowState();
        return TRUE;
    case kItemsDeleted: {
        std::unique_ptr<std::vector<std::wstring>> gone(reinterpret_cast<std::vector<std::wstring>*>(lParam));
        // Where the shell tells the page (a local folder), its telling counts; elsewhere
        // (a share) what went leaves here.
        if (!followId_ && gone) {
            for (const std::wstring& path : *gone)
                GatheredChanged(SHCNE_DELETE, ExtendedPath(path));
            Refill();
        }
        return TRUE;
    }
    case kShellChanged:
    case kAboveChanged:
        OnShellChanged(wParam, lParam);
        return TRUE;
    case WM_TIMER:
        if (wParam == kStateTimer) {
            CheckWaiting();
            ShowState();
        }
        else if (wParam == kChangeTimer)
            TakeChanges();
        else if (wParam == kSaveTimer)
            SaveNow();
        else if (wParam == kShelfTimer) {
            KillTimer(Window(), kShelfTimer);
            Recall(browser_.ListedFolder());
            ShowState();
        }
        else if (wParam == kGatherTimer) {
            KillTimer(Window(), kGatherTimer);
            gatherDue_ = false;
            Gather();
            ShowState();
        }
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
            if (key && key->message == WM_KEYDOWN &&
                (key->wParam == VK_RETURN || (key->wParam == VK_ESCAPE && page && page->Waiting()) ||
                 (key->wParam == VK_TAB && GetKeyState(VK_CONTROL) < 0)))
                code |= DLGC_WANTMESSAGE;
            return code;
        }
        if (page && message == WM_KEYDOWN && wParam == VK_ESCAPE && page->Waiting()) {
            page->CancelWaiting(); // not the dialog's Esc, which would close it
            return 0;
        }
        if (page && message == WM_KEYDOWN && wParam == VK_TAB && GetKeyState(VK_CONTROL) < 0) {
            page->NextTab(GetKeyState(VK_SHIFT) < 0);
            return 0;
        }
        if (page && message == WM_KEYDOWN && wParam == VK_RETURN) {
            page->OpenFocused();
            return 0;
        }
        if (page && message == WM_KEYDOWN && wParam == VK_F5) {
            page->Refresh();
            return 0;
        }
        if (page && message == WM_CONTEXTMENU && reinterpret_cast<HWND>(wParam) == list) {
            page->ShowRowMenu(lParam); // a right-click or Shift+F10
            return 0;
        }
        if (page && message == WM_KEYUP && wParam == VK_APPS) {
            // The menu key, here rather than through the list's default handling, which
            // not every system turns into WM_CONTEXTMENU (Wine does not).
            page->ShowRowMenu(MAKELPARAM(-1, -1));
            return 0;
        }
        if (page && message == WM_KEYDOWN && wParam == VK_DELETE && !(lParam & (1 << 30))) {
            // Once per press: a held key asks the shell once.
            page->DeleteSelected(GetKeyState(VK_SHIFT) < 0);
            return 0;
        }
        if (page && message == WM_KEYDOWN && wParam == VK_F2) {
            page->RenameFocused();
            return 0;
        }
        if (page && message == WM_CHAR && wParam == 3) { // Ctrl+C
            page->CopySelection();
            return 0;
        }
        if (page && page->ShownTab() == Tab::Folders &&
            ((message == WM_KEYDOWN && wParam == VK_BACK) || (message == WM_SYSKEYDOWN && wParam == VK_UP))) {
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
    if (!rows_.FolderIdList())
        return;
    // What changes gathered first: the listed folder may have gone to a new place.
    std::uint32_t due;
    if (browser_.Gathering(due))
        TakeChanges();
    // The same folder listed and walked anew.
    browser_.Refresh(GetTickCount());
    stamped_ = false;
    statsOld_ = stats_ != nullptr;
    typeStatsOld_ = true;
    Refill();
    Gather();
}

void DetailsPage::Refill() {
    if (!rows_.FolderIdList())
        return;
    std::wstring focusedName;
    int focused = static_cast<int>(
        SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    if (focused >= 0)
        focusedName = rows_.FileName(focused);
    UniqueIdList again(ILClone(rows_.FolderIdList()));
    if (!again)
        return;
    // An export waits for the values of the new listing; a copy goes (its rows went).
    const Wait waited = waiting_;
    std::function<void()> then = exportThen_;
    Fill(again.get());
    for (int index = 0; !focusedName.empty() && index < rows_.Count(); ++index)
        if (rows_.FileName(index) == focusedName) {
            FocusRow(index);
            break;
        }
    if (waited == Wait::Export)
        WhenAllValues(std::move(then));
}

void DetailsPage::FocusRow(int index) {
    LVITEMW state = {};
    state.stateMask = state.state = LVIS_FOCUSED | LVIS_SELECTED;
    SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&state));
    SendMessageW(list_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
}

std::vector<int> DetailsPage::SelectedRows() const {
    std::vector<int> selected;
    for (int index = -1;;) {
        index = static_cast<int>(SendMessageW(ShownList(), LVM_GETNEXTITEM, static_cast<WPARAM>(index),
                                              LVNI_SELECTED));
        if (index < 0)
            return selected;
        selected.push_back(index);
    }
}

bool DetailsPage::AskValues(const std::vector<int>& indices) {
    // What waited before is replaced.
    waiting_ = Wait::None;
    exportThen_ = nullptr;
    const bool images = rows_.ReadImagesBeside(indices, Window(), kImagesRead);
    waitRows_ = indices;
    waitFrom_ = 0;
    bool counting = false;
    const std::size_t count = indices.empty() ? static_cast<std::size_t>(rows_.Count()) : indices.size();
    for (std::size_t at = 0; at < count; ++at) // every folder's walk asked
        counting = rows_.Counting(indices.empty() ? static_cast<int>(at) : indices[at]) || counting;
    if (images || counting)
        SetTimer(Window(), kStateTimer, kStateMilliseconds, nullptr);
    return images || counting;
}

void DetailsPage::CheckWaiting() {
    if (waiting_ == Wait::None || rows_.ImagesPending())
        return;
    if (waiting_ == Wait::Sort) {
        waiting_ = Wait::None;
        Sort();
        return;
    }
    // The rows' numbers in turn: those counted stay counted.
    const std::size_t count = waitRows_.empty() ? static_cast<std::size_t>(rows_.Count()) : waitRows_.size();
    while (waitFrom_ < count &&
           !rows_.Counting(waitRows_.empty() ? static_cast<int>(waitFrom_) : waitRows_[waitFrom_]))
        ++waitFrom_;
    if (waitFrom_ < count)
        return;
    const Wait done = waiting_;
    std::function<void()> then = std::move(exportThen_);
    std::vector<int> rows = std::move(waitRows_);
    CancelWaiting();
    if (done == Wait::Copy) {
        CopyRows(rows);
        if (browser_.Running() == 0 && sortColumn_ >= 1 && sortColumn_ <= 3)
            Sort();
    } else if (then) {
        then();
    }
}

void DetailsPage::CancelWaiting() {
    waiting_ = Wait::None;
    exportThen_ = nullptr;
    waitRows_.clear();
    rows_.StopImages();
    ShowState();
}

void DetailsPage::WhenAllValues(std::function<void()> then) {
    if (tab_ != Tab::Folders || !AskValues({})) {
        then();
        return;
    }
    waiting_ = Wait::Export;
    exportThen_ = std::move(then);
    ShowState();
}

void DetailsPage::CopySelection() {
    std::vector<int> selected = SelectedRows();
    if (tab_ == Tab::Folders && !selected.empty() && AskValues(selected)) {
        waiting_ = Wait::Copy;
        ShowState();
        return;
    }
    CopyRows(selected);
}

void DetailsPage::CopyRows(const std::vector<int>& indices) {
    // The titles, then each row: cells between tabs, rows ended by CR LF, as a spreadsheet
    // takes them.
    const int columns = ColumnCount();
    std::wstring text;
    for (int column = 0; column < columns; ++column)
        text += (column ? L"\t" : L"") + TitleOf(column);
    text += L"\r\n";
    for (int index : indices) {
        for (int column = 0; column < columns; ++column)
            text += (column ? L"\t" : L"") + CellOf(index, column);
        text += L"\r\n";
    }
    CopyText(Window(), text);
}

bool DetailsPage::OpenFocused() {
    int focused = static_cast<int>(
        SendMessageW(ShownList(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    if (focused < 0)
        return false;
    if (tab_ != Tab::Folders)
        OpenGathered(focused);
    else
        Open(focused);
    return true;
}

void DetailsPage::Open(int index) {
    LPCITEMIDLIST child = rows_.Child(index);
    LPCITEMIDLIST full = rows_.Full(index);
    IShellFolder* folder = rows_.ShellFolder();
    if (!child || !full || !folder)
        return;
    SFGAOF attributes = SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_STREAM;
    if (FAILED(folder->GetAttributesOf(1, &child, &attributes)))
        attributes = 0;
    // A folder of the file system is listed here; a .zip (a folder that is also a file),
    // Control Panel and files open as Explorer opens them.
    if ((attributes & SFGAO_FOLDER) && (attributes & SFGAO_FILESYSTEM) &&
        !(attributes & SFGAO_STREAM)) {
        UniqueIdList next(ILClone(full)); // the row goes with the filling
        if (next)
            Fill(next.get());
        return;
    }
    // A copy: the shell's prompts run a message loop in which a change may refill the
    // page and free the row's own.
    UniqueIdList item(ILClone(full));
    if (item)
        ShellOpenItem(GetAncestor(Window(), GA_ROOT), item.get());
}

bool DetailsPage::GoUp() {
    LPCITEMIDLIST listed = rows_.FolderIdList();
    if (!listed || listed->mkid.cb == 0)
        return false; // the desktop
    UniqueIdList parent(ILClone(listed));
    UniqueIdList came(ILClone(ILFindLastID(listed)));
    if (!parent || !came || !ILRemoveLastID(parent.get()))
        return false;
    Fill(parent.get());
    // The folder it came from, focused and in view, as Explorer has it.
    IShellFolder* folder = rows_.ShellFolder();
    for (int index = 0; folder && index < rows_.Count(); ++index) {
        LPCITEMIDLIST child = rows_.Child(index);
        if (child && HRESULT_CODE(folder->CompareIDs(0, child, came.get())) == 0) {
            FocusRow(index);
            break;
        }
    }
    return true;
}

void DetailsPage::ShowPath() {
    wchar_t path[MAX_PATH + 1] = {};
    LPCITEMIDLIST listed = rows_.FolderIdList();
    if (listed && !SHGetPathFromIDListW(listed, path)) {
        // Not a file-system folder (the desktop itself, say): its name.
        SHFILEINFOW info = {};
        SHGetFileInfoW(reinterpret_cast<LPCWSTR>(listed), 0, &info, sizeof info,
                       SHGFI_PIDL | SHGFI_DISPLAYNAME);
        lstrcpynW(path, info.szDisplayName, MAX_PATH);
    }
    const wchar_t* last = wcsrchr(path, L'\\');
    folderName_ = last && last[1] ? last + 1 : path;
    SetDlgItemTextW(Window(), IDC_DETAILS_PATH, path);
}

void DetailsPage::Fill(LPCITEMIDLIST folder) {
    CancelWaiting(); // another folder, or the rows listed anew
    SendMessageW(list_, LVM_SETITEMCOUNT, 0, 0);
    rows_.Fill(folder);
    ShowPath();
    std::wstring listed = ExtendedPath(rows_.Path());
    if (!listed.empty() && listed.back() == L'\\')
        listed.pop_back(); // a drive's root
    // Shares, and drives mapped to them, may send no changes: their values say how old
    // they are.
    bool followable = !listed.empty() && listed.compare(0, 8, L"\\\\?\\UNC\\") != 0 &&
                      GetDriveTypeW((listed.substr(4, 2) + L"\\").c_str()) != DRIVE_REMOTE;
    const std::wstring root = browser_.FollowedRoot();
    if (root.empty() || listed.empty() || !(AtOrBelow(listed, root) || AtOrBelow(root, listed)))
        recalls_.clear(); // another tree: its saved one read anew
    browser_.Show(listed, static_cast<std::size_t>(rows_.Count()), followable, GetTickCount());
    // Read before the rows' walks are asked, so that its numbers come first.
    Recall(listed);
    if (!saveTimer_) // set once: set again, it would start its count anew
        saveTimer_ = SetTimer(Window(), kSaveTimer, kSaveMilliseconds, nullptr) != 0;
    if (!stamped_ || browser_.CountedAt() != countedAt_) {
        // The values are counted from now on: the time a share's line shows.
        stamped_ = true;
        countedAt_ = browser_.CountedAt();
        GetLocalTime(&valuesTime_);
    }
    Follow();
    if (followable && !followId_)
        browser_.Unfollowed(); // the shell took no listener: the line says how old
    // The page keeps the rows; the list asks only for those it shows.
    SendMessageW(list_, LVM_SETITEMCOUNT, static_cast<WPARAM>(rows_.Count()), 0);
    Sort(); // reads every row's name
    rows_.ReadTimesBeside(Window(), kTimesRead);
    Gather(); // the tab shown of this folder
    ShowState();
}

void DetailsPage::ShowAnswers() {
    if (!worker_)
        return;
    for (WalkWorker::Result& result : worker_->TakeResults()) {
        try {
            if (result.kind == JobKind::Gather)
                Gathered(result);
            else if (result.kind == JobKind::Recall)
                Recalled(result);
            else if (result.kind == JobKind::Walk)
                browser_.Walked(result.id, result.outcome, std::move(result.kept), result.unreadable);
            else
                browser_.Listed(result.id, result.outcome.listing, result.own, result.subfolders,
                                result.outcome.loop);
        } catch (...) { // out of memory: no value rather than a wrong one
            browser_.Spoiled(GetTickCount());
            ScheduleChanges(); // the folder listed anew when due
        }
    }
    if (worker_->Failed()) {
        // Out of memory outside a walk: what it was asked gets no answer, and no value.
        std::shared_ptr<WalkWorker> failed = std::move(worker_);
        failed->Stop(0);
        browser_.Lost();
        gatherId_ = 0;
    }
    InvalidateRect(list_, nullptr, FALSE);
    ShowState();
    // Sorted by a folder number: the rows stayed where they were while the walks ran; now
    // that all have ended, the list sorts once more.
    CheckWaiting(); // a copy's rows are where they were when it was asked
    const bool byNumbers = (sortColumn_ >= 1 && sortColumn_ <= 3) || sortColumn_ == FolderRows::kGrowthColumn + 1;
    if (browser_.Running() == 0 && byNumbers && waiting_ != Wait::Copy)
        Sort();
}

void DetailsPage::ShowState() {
    const bool running = browser_.Running() > 0;
    // What a walk now running met counts only when it is one of the browser's.
    const bool walking = running && worker_ && !(worker_->Running() & kGatherIds);
    wchar_t time[16];
    wsprintfW(time, L"%02u:%02u", valuesTime_.wHour, valuesTime_.wMinute);
    std::wstring text =
        browser_.StateLine(folderName_, walking ? worker_->RunningFiles() : 0,
                           walking ? worker_->RunningBytes() : 0, time, totalBytes_, SavedAtText());
    if (tab_ != Tab::Folders)
        text = GatheredState();
    else if (rows_.ImagesPending())
        text = L"Lese Bilder \u2026 " + AnsiToWide(GroupThousands(rows_.ImagesDone(), nullptr)) +
               L" von " + AnsiToWide(GroupThousands(rows_.ImagesTotal(), nullptr));
    if (!running && !Waiting() && !rows_.ImagesPending() && !gatherId_)
        KillTimer(Window(), kStateTimer);
    SetDlgItemTextW(Window(), IDC_DETAILS_STATE,
                    rows_.Count() == 0 && !rows_.ShellFolder() ? L"" : text.c_str());
}

void DetailsPage::OnColumnClick(int column) {
    if (column == sortColumn_)
        descending_ = !descending_;
    else
        descending_ = column == FolderRows::kGrowthColumn + 1 ||
                      (column > 0 && SortsDescendingFirst(static_cast<unsigned>(column - 1)));
    sortColumn_ = column;
    WriteIntOption(kOptDetailsSpalte, sortColumn_);
    WriteIntOption(kOptDetailsAbsteigend, descending_ ? 1 : 0);
    Sort();
}

void DetailsPage::Sort() {
    // By an image column: many pictures are read on their thread first.
    const unsigned column = static_cast<unsigned>(sortColumn_ - 1);
    if (sortColumn_ >= 1 && (column == Dpi || column == BitDepth || column == ImageSize)) {
        waiting_ = Wait::None; // what waited is replaced
        exportThen_ = nullptr;
        if (rows_.ReadImagesBeside({}, Window(), kImagesRead)) {
            waiting_ = Wait::Sort;
            SetTimer(Window(), kStateTimer, kStateMilliseconds, nullptr);
            ShowState();
            return;
        }
    }
    // The selection and the focus go with their rows.
    const int focused = static_cast<int>(
        SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    const void* focusedRow = rows_.Token(focused);
    std::vector<const void*> selected;
    for (int index = -1;;) {
        index = static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(index),
                                              LVNI_SELECTED));
        if (index < 0 || !rows_.Token(index))
            break;
        selected.push_back(rows_.Token(index));
    }
    rows_.Sort(sortColumn_, descending_);
    if (!selected.empty() || focusedRow) {
        LVITEMW clear = {};
        clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
        // Where each row went, found once (Ctrl+A on 100,000 rows).
        std::unordered_map<const void*, int> places;
        if (selected.size() > 1)
            for (int index = 0; index < rows_.Count(); ++index)
                places.emplace(rows_.Token(index), index);
        for (const void* row : selected) {
            LVITEMW state = {};
            state.stateMask = state.state = LVIS_SELECTED;
            SendMessageW(list_, LVM_SETITEMSTATE, selected.size() > 1 ? places[row] : rows_.IndexOf(row),
                         reinterpret_cast<LPARAM>(&state));
        }
        if (focusedRow) {
            const int index = rows_.IndexOf(focusedRow);
            LVITEMW state = {};
            state.stateMask = state.state = LVIS_FOCUSED;
            SendMessageW(list_, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&state));
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

LRESULT DetailsPage::DrawShare(NMLVCUSTOMDRAW& draw) {
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT)
        return CDRF_NOTIFYITEMDRAW;
    const int index = static_cast<int>(draw.nmcd.dwItemSpec);
    if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        // Saved numbers, not checked yet, in grey.
        if (index >= 0 && index < rows_.Count() && rows_.ShowsSaved(index))
            draw.clrText = GetSysColor(COLOR_GRAYTEXT);
        return CDRF_NOTIFYSUBITEMDRAW | CDRF_NEWFONT;
    }
    if (draw.nmcd.dwDrawStage != (CDDS_ITEMPREPAINT | CDDS_SUBITEM) || draw.iSubItem != 1)
        return CDRF_DODEFAULT;
    if (index < 0 || index >= rows_.Count() || totalBytes_ == 0)
        return CDRF_DODEFAULT;
    return DrawShareCell(draw, static_cast<double>(rows_.Bytes(index)) / static_cast<double>(totalBytes_),
                         rows_.Cell(index, 1), rows_.ShowsSaved(index));
}

LRESULT DetailsPage::DrawShareCell(NMLVCUSTOMDRAW& draw, double share, const std::wstring& text,
                                   bool grey) {
    HWND list = draw.nmcd.hdr.hwndFrom;
    const int index = static_cast<int>(draw.nmcd.dwItemSpec);
    // A selected row keeps the list's own highlight.
    if (SendMessageW(list, LVM_GETITEMSTATE, index, LVIS_SELECTED) & LVIS_SELECTED)
        return CDRF_DODEFAULT;
    RECT cell = {};
    cell.top = draw.iSubItem;
    cell.left = LVIR_BOUNDS;
    if (!SendMessageW(list, LVM_GETSUBITEMRECT, index, reinterpret_cast<LPARAM>(&cell)))
        return CDRF_DODEFAULT;
    HDC dc = draw.nmcd.hdc;
    FillRect(dc, &cell, GetSysColorBrush(COLOR_WINDOW));
    // The bar behind the text: the row's share of the whole, in the highlight colour; the
    // text over it in the highlight's text colour, so that it reads in every theme.
    RECT bar = cell;
    const int margin = ScaleTo(2, WindowDpi(list));
    InflateRect(&bar, -margin, -margin / 2);
    const int width = bar.right - bar.left;
    bar.right = bar.left + (width > 0 && share > 0 ? static_cast<int>((share > 1 ? 1 : share) * width + 0.5) : 0);
    if (bar.right > bar.left)
        FillRect(dc, &bar, GetSysColorBrush(COLOR_HIGHLIGHT));
    RECT textArea = cell;
    textArea.right -= ScaleTo(6, WindowDpi(list));
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
    textIn(bar.right, cell.right, grey ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT);
    textIn(bar.left, bar.right, COLOR_HIGHLIGHTTEXT);
    return CDRF_SKIPDEFAULT;
}

bool DetailsPage::Ask(std::uint32_t id, const std::wstring& path, JobKind kind) {
    if (!Window())
        return false;
    if (!worker_)
        worker_ = WalkWorker::Create(Window(), kStatisticsReady, browser_.Store());
    if (!worker_->Ask(id, path, kind, nullptr, Checking(path)))
        return false;
    SetTimer(Window(), kStateTimer, kStateMilliseconds, nullptr);
    return true;
}

void DetailsPage::Cancel(std::uint32_t id) {
    if (worker_)
        worker_->Cancel(id);
}

bool DetailsPage::FolderExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW((path.size() == 6 ? path + L"\\" : path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DetailsPage::IsLink(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    // The reparse tag comes with the folder's entry.
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW(path.c_str(), &data));
    return !find || !Entered(data.dwFileAttributes, data.dwReserved0);
}

void DetailsPage::StopWalks() {
    if (worker_)
        worker_->Stop(kStopWaitMilliseconds);
    worker_.reset();
    gatherId_ = 0;
    gatherDue_ = false;
    if (Window()) {
        KillTimer(Window(), kStateTimer);
        KillTimer(Window(), kGatherTimer);
    }
}

void DetailsPage::OnClosing() {
    closing_ = true; // nothing is gathered any more
    CancelWaiting();
    StopFollowing();
    StopWalks();
    rows_.StopReader();
    browser_.Close(); // saves what was walked
    KillTimer(Window(), kSaveTimer);
    KillTimer(Window(), kShelfTimer);
    saveTimer_ = false;
}

unsigned DetailsPage::AnchorsOf(HWND control, const RECT& place) {
    switch (GetDlgCtrlID(control)) {
    case IDC_LIST:
        return kGrow;
    case IDC_DETAILS_FILES:
        return kGrow;
    case IDC_DETAILS_PATH:
    case IDC_DETAILS_TABS:
        return kRightEdge;
    case IDC_DETAILS_STATE:
        return kTopBottom | kRightEdge;
    default:
        return Page::AnchorsOf(control, place);
    }
}

} // namespace rb
