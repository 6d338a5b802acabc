// The page's tabs: "Ordner" is the browser; "Größte Dateien" and "Dateitypen" show what a
// walk of the listed folder's tree gathers beside its totals, in a second list. They stay
// while that folder is listed and are gathered again after the disk changed below it.
#include "ui/details_page.h"

#include "columns/number_format.h"
#include "columns/options.h"
#include "columns/tree_walk.h"
#include "common/name_fold.h"
#include "common/shell_open.h"
#include "common/win_text.h"
#include "resource_ids.h"
#include "ui/ui_scale.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <algorithm>

namespace rb {

namespace {

struct Title {
    const wchar_t* text;
    int width; // at 100 %
    bool right;
};
const wchar_t* const kTabTitles[] = {L"Ordner", L"Gr\u00F6\u00DFte Dateien", L"Dateitypen"};
const Title kLargestTitles[] = {
    {L"Name", 180, false}, {L"Gr\u00F6\u00DFe", 80, true}, {L"Ordner", 260, false}, {L"Ge\u00E4ndert", 110, false}};
const Title kTypeTitles[] = {
    {L"Erweiterung", 100, false}, {L"Content-Type", 170, false}, {L"Gr\u00F6\u00DFe", 110, true}, {L"Dateien", 80, true}};
constexpr int kGatheredColumns = 4;
// The largest files' and the types' numbers: size columns and the count column.
constexpr bool kLargestNumber[] = {false, true, false, true};
constexpr bool kTypeNumber[] = {false, false, true, true};

std::wstring SizeText(std::uint64_t bytes) { return AnsiToWide(FormatSize(bytes, CurrentSizeFormat())); }

double InUnit(std::uint64_t bytes) {
    const int unit = CurrentSizeFormat().unit;
    return unit == kUnitBytes ? static_cast<double>(bytes)
                              : static_cast<double>(bytes) / (unit == kUnitKilobytes ? 1024.0 : 1048576.0);
}

std::wstring TimeText(std::uint64_t time) {
    FILETIME utc = {static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)}, local;
    SYSTEMTIME at;
    if (time == 0 || !FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &at))
        return std::wstring();
    wchar_t text[32];
    wsprintfW(text, L"%02u.%02u.%04u %02u:%02u", at.wDay, at.wMonth, at.wYear, at.wHour, at.wMinute);
    return text;
}

// Whether the extended path `path` is `root` or lies below it.
bool Below(const std::wstring& path, const std::wstring& root) {
    return !root.empty() && path.size() >= root.size() &&
           SameName(path.substr(0, root.size()), root) &&
           (path.size() == root.size() || path[root.size()] == L'\\' || root.back() == L'\\');
}

} // namespace

void DetailsPage::MakeTabs() {
    tabs_ = Item(IDC_DETAILS_TABS);
    files_ = Item(IDC_DETAILS_FILES);
    // A tab control clips its siblings above it, and the group box around the page lies
    // above everything: the tabs go on top, or they would never be drawn.
    SetWindowPos(tabs_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    for (int index = 0; index < 3; ++index) {
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(kTabTitles[index]);
        SendMessageW(tabs_, TCM_INSERTITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    }
    SendMessageW(files_, WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(Window()), NF_REQUERY);
    SendMessageW(files_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    for (int index = 0; index < kGatheredColumns; ++index) {
        LVCOLUMNW column = {};
        column.mask = LVCF_FMT | LVCF_TEXT;
        column.pszText = const_cast<wchar_t*>(L"");
        SendMessageW(files_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
    }
    SetGatheredColumns();
}

void DetailsPage::SetGatheredColumns() {
    const Title* titles = tab_ == Tab::Types ? kTypeTitles : kLargestTitles;
    const int slot = tab_ == Tab::Types ? 1 : 0;
    const int dpi = WindowDpi(Window());
    HWND header = reinterpret_cast<HWND>(SendMessageW(files_, LVM_GETHEADER, 0, 0));
    for (int index = 0; index < kGatheredColumns; ++index) {
        LVCOLUMNW column = {};
        column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH;
        column.fmt = titles[index].right ? LVCFMT_RIGHT : LVCFMT_LEFT;
        column.pszText = const_cast<wchar_t*>(titles[index].text);
        column.cx = ScaleTo(titles[index].width, dpi);
        SendMessageW(files_, LVM_SETCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
        HDITEMW item = {};
        item.mask = HDI_FORMAT;
        SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (index == gatheredSort_[slot])
            item.fmt |= gatheredDescending_[slot] ? HDF_SORTDOWN : HDF_SORTUP;
        SendMessageW(header, HDM_SETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    }
}

void DetailsPage::ShowTab(Tab tab) {
    const bool focused = GetFocus() == list_ || GetFocus() == files_;
    if (tab != tab_) {
        // The second list's rows are another tab's: nothing of the one before stays chosen.
        LVITEMW clear = {};
        clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(files_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
    }
    tab_ = tab;
    SendMessageW(tabs_, TCM_SETCURSEL, static_cast<WPARAM>(tab), 0);
    if (tab != Tab::Folders) {
        SetGatheredColumns();
        ShowGathered();
        Gather();
    }
    ShowWindow(files_, tab == Tab::Folders ? SW_HIDE : SW_SHOW);
    ShowWindow(list_, tab == Tab::Folders ? SW_SHOW : SW_HIDE);
    if (focused)
        SetFocus(ShownList());
    ShowState();
}

void DetailsPage::NextTab(bool back) {
    int next = (static_cast<int>(tab_) + (back ? 2 : 1)) % 3;
    typeOnly_ = false;
    ShowTab(static_cast<Tab>(next));
}

void DetailsPage::Gather() {
    std::wstring listed = ExtendedPath(rows_.Path());
    if (!listed.empty() && listed.back() == L'\\')
        listed.pop_back(); // a drive's root
    if (gatherId_ && !SameName(listed, gatherPath_)) {
        // Another folder: its walks do not wait behind a gathering of the one before.
        if (worker_)
            worker_->Cancel(gatherId_);
        gatherId_ = 0;
    }
    if (!SameName(listed, statsPath_) && (stats_ || !statsPath_.empty() || typeOnly_)) {
        // Another folder: what was gathered goes.
        stats_.reset();
        typeStats_.reset();
        statsPath_.clear();
        statsOld_ = false;
        typeOnly_ = false;
        ShowGathered();
    }
    if (tab_ == Tab::Folders || listed.empty() || closing_)
        return;
    // A type's largest files need a walk of their own when the largest of all do not hold
    // every one of them.
    const bool typeWalk = tab_ == Tab::Largest && typeOnly_ && stats_ && !statsOld_ && !TypeComplete() &&
                          !(typeStats_ && typeStatsOf_ == typeShown_ && !typeStatsOld_);
    if (!typeWalk && stats_ && !statsOld_)
        return;
    if (gatherId_ && SameName(gatherPath_, listed) && gatherOnly_ == typeWalk &&
        (!typeWalk || gatherType_ == typeShown_))
        return; // on its way
    if (gatherId_ && worker_)
        worker_->Cancel(gatherId_);
    gatherId_ = 0;
    if (!worker_)
        worker_ = WalkWorker::Create(Window(), kStatisticsReady, browser_.Store());
    const std::uint32_t id = kGatherIds | (++gatherSerial_ & 0x7FFFFFFFu);
    if (!worker_->Ask(id, listed, JobKind::Gather, typeWalk ? &typeShown_ : nullptr))
        return;
    gatherId_ = id;
    gatherStart_ = GetTickCount();
    gatherPath_ = listed;
    gatherOnly_ = typeWalk;
    gatherType_ = typeWalk ? typeShown_ : std::wstring();
    gatherChanged_ = false;
    SetTimer(Window(), kStateTimer, kStateMilliseconds, nullptr);
}

bool DetailsPage::TypeComplete() const {
    if (!stats_)
        return false;
    const std::size_t kept = stats_->LargestOfType(typeShown_).size();
    if (kept >= FileStats::kLargest)
        return true;
    for (const FileType& type : stats_->Types())
        if (type.extension == typeShown_)
            return kept >= type.files;
    return true;
}

void DetailsPage::Gathered(WalkWorker::Result& result) {
    if (result.id != gatherId_)
        return; // of a folder listed before
    gatherId_ = 0;
    gatherTook_ = GetTickCount() - gatherStart_;
    // A walk that broke off (a folder below went while it was walked) has missed files:
    // what was there stays, marked old, and the tree is walked again a little later.
    if (result.outcome.listing == Listing::BrokeOff || !result.files) {
        statsOld_ = true;
        brokeOff_ = true;
        GatherSoon();
        return;
    }
    brokeOff_ = false;
    // A change below it while it ran: gathered again once the changes settle.
    if (!gatherOnly_) {
        stats_ = std::move(result.files);
        statsPath_ = gatherPath_;
        statsOld_ = gatherChanged_;
    } else {
        typeStats_ = std::move(result.files);
        typeStatsOf_ = gatherType_;
        typeStatsOld_ = gatherChanged_;
    }
    ShowGathered();
    if (statsOld_)
        GatherSoon();
    else
        Gather(); // a type's own walk, if it is shown
}

void DetailsPage::GatherSoon() {
    if (!gatherDue_ && tab_ != Tab::Folders && Window()) {
        gatherDue_ = true;
        // While the disk keeps changing, the tree is walked at most a third of the time.
        const DWORD wait = 2 * gatherTook_ > kGatherAgainMilliseconds ? 2 * gatherTook_ : kGatherAgainMilliseconds;
        SetTimer(Window(), kGatherTimer, wait, nullptr);
    }
}

void DetailsPage::ShowGathered() {
    std::wstring focused;
    const std::vector<std::wstring> selected = KeptSelection(focused);
    largest_.clear();
    types_.clear();
    contentTypes_.clear();
    typesBytes_ = 0;
    if (stats_) {
        if (!typeOnly_)
            largest_ = stats_->Largest();
        else if (typeStats_ && typeStatsOf_ == typeShown_)
            largest_ = typeStats_->Largest();
        else
            largest_ = stats_->LargestOfType(typeShown_);
        types_ = stats_->Types();
        for (const FileType& type : types_) {
            typesBytes_ += type.bytes;
            auto known = contentTypeOf_.find(type.extension);
            if (known == contentTypeOf_.end())
                known = contentTypeOf_
                            .emplace(type.extension, type.extension.size() > 1 ? ContentTypeOf(type.extension.substr(1))
                                                                              : std::wstring())
                            .first;
            contentTypes_.push_back(known->second);
        }
    }
    SortGathered();
    PutSelection(selected, focused);
}

std::wstring DetailsPage::GatheredKey(int index) const {
    if (tab_ == Tab::Types)
        return index >= 0 && index < static_cast<int>(types_.size()) ? types_[index].extension : std::wstring();
    if (index < 0 || index >= static_cast<int>(largest_.size()))
        return std::wstring();
    return largest_[index].folder + L'|' + largest_[index].name;
}

std::vector<std::wstring> DetailsPage::KeptSelection(std::wstring& focused) const {
    std::vector<std::wstring> selected;
    if (!files_)
        return selected;
    for (int index = -1;;) {
        index = static_cast<int>(SendMessageW(files_, LVM_GETNEXTITEM, static_cast<WPARAM>(index), LVNI_SELECTED));
        if (index < 0)
            break;
        selected.push_back(GatheredKey(index));
    }
    focused = GatheredKey(static_cast<int>(SendMessageW(files_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED)));
    return selected;
}

void DetailsPage::PutSelection(const std::vector<std::wstring>& selected, const std::wstring& focused) {
    if (!files_)
        return;
    // Rows are selected by what they are, not by where they were: a Delete takes only
    // the files the user chose.
    LVITEMW clear = {};
    clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(files_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
    if (selected.empty() && focused.empty())
        return;
    std::unordered_map<std::wstring, int> wanted;
    for (const std::wstring& key : selected)
        wanted.emplace(key, LVIS_SELECTED);
    if (!focused.empty())
        wanted[focused] |= LVIS_FOCUSED;
    for (int index = 0; index < RowCount() && !wanted.empty(); ++index) {
        auto found = wanted.find(GatheredKey(index));
        if (found == wanted.end())
            continue;
        LVITEMW state = {};
        state.stateMask = state.state = static_cast<UINT>(found->second);
        SendMessageW(files_, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&state));
        if (found->second & LVIS_FOCUSED)
            SendMessageW(files_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
        wanted.erase(found);
    }
}

void DetailsPage::SortGathered() {
    const int slot = tab_ == Tab::Types ? 1 : 0;
    const int column = gatheredSort_[slot];
    const bool descending = gatheredDescending_[slot];
    auto text = [](const std::wstring& a, const std::wstring& b) { return StrCmpLogicalW(a.c_str(), b.c_str()); };
    if (tab_ == Tab::Types) {
        std::vector<std::size_t> order(types_.size());
        for (std::size_t index = 0; index < order.size(); ++index)
            order[index] = index;
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            const FileType& one = types_[a];
            const FileType& other = types_[b];
            int by = column == 0   ? text(one.extension, other.extension)
                     : column == 1 ? text(contentTypes_[a], contentTypes_[b])
                     : column == 2 ? (one.bytes < other.bytes ? -1 : one.bytes > other.bytes)
                                   : (one.files < other.files ? -1 : one.files > other.files);
            if (by == 0) // equal ones by bytes, largest first, then by extension
                return one.bytes != other.bytes ? one.bytes > other.bytes : text(one.extension, other.extension) < 0;
            return descending ? by > 0 : by < 0;
        });
        std::vector<FileType> types;
        std::vector<std::wstring> contents;
        for (std::size_t index : order) {
            types.push_back(std::move(types_[index]));
            contents.push_back(std::move(contentTypes_[index]));
        }
        types_.swap(types);
        contentTypes_.swap(contents);
    } else {
        std::stable_sort(largest_.begin(), largest_.end(), [&](const LargeFile& one, const LargeFile& other) {
            int by = column == 0   ? text(one.name, other.name)
                     : column == 1 ? (one.size < other.size ? -1 : one.size > other.size)
                     : column == 2 ? text(one.folder, other.folder)
                                   : (one.writeTime < other.writeTime ? -1 : one.writeTime > other.writeTime);
            if (by == 0)
                return one.size > other.size;
            return descending ? by > 0 : by < 0;
        });
    }
    if (files_) {
        SendMessageW(files_, LVM_SETITEMCOUNT, static_cast<WPARAM>(RowCount()), 0);
        InvalidateRect(files_, nullptr, FALSE);
    }
}

std::wstring DetailsPage::GatheredCell(int index, int column) const {
    if (tab_ == Tab::Types) {
        if (index < 0 || index >= static_cast<int>(types_.size()))
            return std::wstring();
        const FileType& type = types_[index];
        switch (column) {
        case 0:
            return type.extension.empty() ? L"(ohne)" : type.extension;
        case 1:
            return contentTypes_[index];
        case 2:
            return SizeText(type.bytes);
        default:
            return AnsiToWide(FormatCount(static_cast<std::int64_t>(type.files), Options().tausenderDateien.load() != 0));
        }
    }
    if (index < 0 || index >= static_cast<int>(largest_.size()))
        return std::wstring();
    const LargeFile& file = largest_[index];
    switch (column) {
    case 0:
        return file.name;
    case 1:
        return SizeText(file.size);
    case 2:
        return file.folder;
    default:
        return TimeText(file.writeTime);
    }
}

LRESULT DetailsPage::OnGatheredNotify(NMHDR& header) {
    switch (header.code) {
    case NM_DBLCLK: {
        const int index = reinterpret_cast<NMITEMACTIVATE&>(header).iItem;
        if (index >= 0)
            OpenGathered(index);
        return 0;
    }
    case LVN_COLUMNCLICK: {
        const int column = reinterpret_cast<NMLISTVIEW&>(header).iSubItem;
        const int slot = tab_ == Tab::Types ? 1 : 0;
        const bool number = (slot ? kTypeNumber : kLargestNumber)[column];
        if (column == gatheredSort_[slot])
            gatheredDescending_[slot] = !gatheredDescending_[slot];
        else // numbers largest first, texts from A
            gatheredDescending_[slot] = number;
        gatheredSort_[slot] = column;
        SetGatheredColumns();
        std::wstring focused;
        const std::vector<std::wstring> selected = KeptSelection(focused);
        SortGathered();
        PutSelection(selected, focused);
        return 0;
    }
    case LVN_GETDISPINFOW: {
        auto& request = reinterpret_cast<NMLVDISPINFOW&>(header);
        if ((request.item.mask & LVIF_TEXT) && request.item.pszText && request.item.cchTextMax > 0) {
            resultText_ = GatheredCell(request.item.iItem, request.item.iSubItem);
            lstrcpynW(request.item.pszText, resultText_.c_str(), request.item.cchTextMax);
        }
        return 0;
    }
    case LVN_ODFINDITEMW: {
        // Typing the first letters of a name or an extension: the next row from the start
        // that begins with them, whatever the case, round to the top.
        const auto& find = reinterpret_cast<NMLVFINDITEMW&>(header);
        if (!(find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find.lvfi.psz)
            return -1;
        const int count = RowCount(), length = lstrlenW(find.lvfi.psz);
        const int start = find.iStart >= 0 && find.iStart < count ? find.iStart : 0;
        for (int step = 0; step < count; ++step) {
            const int index = (start + step) % count;
            if (!(find.lvfi.flags & LVFI_WRAP) && index < start)
                break;
            const std::wstring name = GatheredCell(index, 0);
            if (static_cast<int>(name.size()) >= length &&
                CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, name.c_str(), length, find.lvfi.psz, length) ==
                    CSTR_EQUAL &&
                ((find.lvfi.flags & LVFI_PARTIAL) || static_cast<int>(name.size()) == length))
                return index;
        }
        return -1;
    }
    case NM_CUSTOMDRAW: {
        // "Größe" of the types with the bar of their share of all bytes.
        auto& draw = reinterpret_cast<NMLVCUSTOMDRAW&>(header);
        if (tab_ != Tab::Types || draw.nmcd.dwDrawStage == CDDS_PREPAINT)
            return tab_ == Tab::Types ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
        if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT)
            return CDRF_NOTIFYSUBITEMDRAW;
        const int index = static_cast<int>(draw.nmcd.dwItemSpec);
        if (draw.nmcd.dwDrawStage != (CDDS_ITEMPREPAINT | CDDS_SUBITEM) || draw.iSubItem != 2 ||
            index < 0 || index >= static_cast<int>(types_.size()) || typesBytes_ == 0)
            return CDRF_DODEFAULT;
        return DrawShareCell(draw, static_cast<double>(types_[index].bytes) / static_cast<double>(typesBytes_),
                             GatheredCell(index, 2));
    }
    default:
        return 0;
    }
}

void DetailsPage::OpenGathered(int index) {
    if (tab_ == Tab::Types) {
        // A type's largest files.
        if (index < 0 || index >= static_cast<int>(types_.size()))
            return;
        typeShown_ = types_[index].extension;
        typeOnly_ = true;
        ShowTab(Tab::Largest);
        return;
    }
    if (index < 0 || index >= static_cast<int>(largest_.size()))
        return;
    const LargeFile& file = largest_[index];
    ShellOpen(GetAncestor(Window(), GA_ROOT),
              file.folder + (!file.folder.empty() && file.folder.back() == L'\\' ? L"" : L"\\") + file.name,
              SW_SHOWNORMAL);
}

std::wstring DetailsPage::GatheredState() const {
    std::wstring text;
    if (gatherId_) {
        // Its own count only: the browser's walks may run before it.
        const bool counting = worker_ && worker_->Running() == gatherId_;
        text = L"Sammle Dateien \u2026 " + AnsiToWide(GroupThousands(counting ? worker_->RunningFiles() : 0, nullptr));
        return text;
    }
    if (!stats_)
        return brokeOff_ ? L"Sammeln abgebrochen, F5 sammelt neu" : text;
    const std::wstring files = AnsiToWide(GroupThousands(stats_->Files(), nullptr));
    if (statsOld_) // what the disk changed since is gathered a little later
        return ShownGatheredState(files) + L" \u2013 nicht mehr aktuell";
    return ShownGatheredState(files);
}

std::wstring DetailsPage::ShownGatheredState(const std::wstring& files) const {
    if (tab_ == Tab::Types)
        return files + L" Dateien in " + AnsiToWide(GroupThousands(types_.size(), nullptr)) + L" Typen";
    if (typeOnly_)
        return L"Die gr\u00F6\u00DFten Dateien vom Typ " + (typeShown_.empty() ? std::wstring(L"(ohne)") : typeShown_);
    return L"Die " + AnsiToWide(GroupThousands(largest_.size(), nullptr)) + L" gr\u00F6\u00DFten von " + files +
           L" Dateien";
}

void DetailsPage::GatheredChanged(LONG event, const std::wstring& path) {
    const bool gathered = stats_ && Below(path, statsPath_);
    if (gatherId_ && Below(path, gatherPath_))
        gatherChanged_ = true;
    if (!gathered)
        return;
    // A file deleted that was among the largest leaves the lists at once, its type's
    // numbers with it; anything else is gathered anew a little later.
    const std::size_t last = path.find_last_of(L'\\');
    bool gone = false;
    if (event == SHCNE_DELETE && last != std::wstring::npos) {
        const std::wstring folder = PlainPath(path.substr(0, last)), name = path.substr(last + 1);
        gone = stats_->Remove(folder, name);
        if (gone && typeStats_)
            typeStats_->Remove(folder, name);
    }
    if (gone) {
        ShowGathered();
    } else {
        statsOld_ = true;
        typeStatsOld_ = true;
        GatherSoon();
    }
    ShowState();
}

std::wstring DetailsPage::CellOf(int index, int column) {
    return tab_ == Tab::Folders ? rows_.Cell(index, column) : GatheredCell(index, column);
}

int DetailsPage::RowCount() const {
    if (tab_ == Tab::Folders)
        return rows_.Count();
    return static_cast<int>(tab_ == Tab::Types ? types_.size() : largest_.size());
}

int DetailsPage::ColumnCount() const {
    HWND header = reinterpret_cast<HWND>(SendMessageW(ShownList(), LVM_GETHEADER, 0, 0));
    return static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
}

std::wstring DetailsPage::TitleOf(int column) const {
    wchar_t title[128] = {};
    HWND header = reinterpret_cast<HWND>(SendMessageW(ShownList(), LVM_GETHEADER, 0, 0));
    HDITEMW item = {};
    item.mask = HDI_TEXT;
    item.pszText = title;
    item.cchTextMax = 128;
    SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
    return title;
}

bool DetailsPage::NumberOf(int index, int column, double& value) {
    if (tab_ == Tab::Folders)
        return rows_.Number(index, column, value);
    if (index < 0 || index >= RowCount() || column < 0 || column >= kGatheredColumns)
        return false;
    if (tab_ == Tab::Largest) {
        if (column != 1)
            return false;
        value = InUnit(largest_[index].size);
        return true;
    }
    if (column == 2)
        value = InUnit(types_[index].bytes);
    else if (column == 3)
        value = static_cast<double>(types_[index].files);
    else
        return false;
    return true;
}

} // namespace rb
