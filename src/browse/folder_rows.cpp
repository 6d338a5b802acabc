#include "browse/folder_rows.h"

#include "columns/catalogue.h"
#include "columns/number_format.h"
#include "columns/option_store.h"
#include "columns/options.h"
#include "columns/producers.h"
#include "columns/system_lister.h"
#include "columns/tree_walk.h"
#include "common/name_fold.h"
#include "common/text.h"
#include "common/win_text.h"

#include <shlwapi.h>

#include <algorithm>
#include <unordered_map>

namespace rb {

namespace {

constexpr DWORD kEnumerateEverything = SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN;

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

// Whether a walk enters the folder `path` with these attributes: a reparse point's tag
// (a link's, or a cloud file's) is not kept with the shell's item, so it is read here.
bool EnteredFolder(const std::wstring& path, DWORD attributes) {
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return true;
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW(ExtendedPath(path).c_str(), &data));
    return find && Entered(data.dwFileAttributes, data.dwReserved0);
}

} // namespace

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


FolderRows::~FolderRows() {
    StopReader();
    StopImages();
}

void FolderRows::Fill(LPCITEMIDLIST folder) {
    StopReader();
    StopImages();
    order_.clear();
    // The rows' ID lists go with them; many rows go on the times' thread, if one starts.
    before_.reset();
    if (items_.size() >= kReadTimesBesideFrom) {
        before_ = std::make_shared<std::deque<Row>>();
        before_->swap(items_);
    }
    items_.clear();
    folder_.reset();
    folderIdList_.reset(folder ? ILClone(folder) : nullptr);
    wchar_t path[MAX_PATH + 1] = {};
    folderPath_ = folderIdList_ && SHGetPathFromIDListW(folderIdList_.get(), path) ? path : L"";
    extensionShown_.clear();
    shownOrderMade_ = false;
    // A desktop.ini may give the folder's items names of their own.
    namesItsItems_ = !folderPath_.empty() &&
                     GetFileAttributesW(ExtendedPath(PathIn(L"desktop.ini")).c_str()) !=
                         INVALID_FILE_ATTRIBUTES;
    if (folderIdList_ && SUCCEEDED(BindToFolder(folderIdList_.get(), folder_.put()))) {
        ComPtr<IEnumIDList> children;
        if (folder_->EnumObjects(nullptr, kEnumerateEverything, children.put()) == S_OK && children) {
            for (;;) {
                LPITEMIDLIST childList = nullptr;
                ULONG fetched = 0;
                if (children->Next(1, &childList, &fetched) != S_OK || !childList)
                    break;
                items_.emplace_back();
                items_.back().index = items_.size() - 1;
                items_.back().child.reset(childList);
            }
        }
    }
    order_.reserve(items_.size());
    for (Row& item : items_)
        order_.push_back(&item);
}

void FolderRows::ReadTimesBeside(HWND notify, UINT timesMessage) {
    if (items_.size() < kReadTimesBesideFrom || folderPath_.empty()) {
        before_.reset();
        return;
    }
    std::vector<const std::wstring*> names(items_.size());
    for (std::size_t row = 0; row < items_.size(); ++row)
        names[row] = &items_[row].nameLower;
    reader_ = TimesReader::Start(names, ExtendedPath(folderPath_), notify, timesMessage,
                                 std::move(before_));
    before_.reset();
}

void FolderRows::TakeTimes() {
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

void FolderRows::StopReader() {
    if (reader_)
        reader_->Stop(200);
    reader_.reset();
}

FolderRows::Row* FolderRows::RowAt(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < order_.size() ? order_[index] : nullptr;
}

const void* FolderRows::Token(int index) const {
    return RowAt(index);
}

int FolderRows::IndexOf(const void* token) const {
    for (std::size_t index = 0; token && index < order_.size(); ++index)
        if (order_[index] == token)
            return static_cast<int>(index);
    return -1;
}

LPCITEMIDLIST FolderRows::Child(int index) const {
    const Row* row = RowAt(index);
    return row ? row->child.get() : nullptr;
}

LPCITEMIDLIST FolderRows::Full(int index) {
    Row* row = RowAt(index);
    return row ? FullOf(*row) : nullptr;
}

std::wstring FolderRows::Cell(int index, int column) {
    Row* row = RowAt(index);
    if (!row)
        return std::wstring();
    if (column > 0)
        return CellText(*row, column - 1);
    ReadName(*row);
    return row->name;
}

void FolderRows::ReadName(Row& row) {
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

int FolderRows::Icon(int index) {
    Row* row = RowAt(index);
    if (!row)
        return 0;
    if (row->icon < 0) {
        int icon = folder_ && row->child
                       ? SHMapPIDLToSystemImageListIndex(folder_.get(), row->child.get(), nullptr)
                       : -1;
        row->icon = icon >= 0 ? icon : 0;
    }
    return row->icon;
}

bool FolderRows::FindDataOf(const Row& row, WIN32_FIND_DATAW& found) const {
    // Attributes and size of a file-system item are in its ID list: asking the file system
    // costs far more, and a folder may hold 100,000 items. (The name there may have lost
    // what the ANSI code page lacks: it comes from ParsingNameOf.)
    return folder_ && row.child && !folderPath_.empty() &&
           SUCCEEDED(SHGetDataFromIDListW(folder_.get(), row.child.get(), SHGDFIL_FINDDATA, &found,
                                          sizeof found));
}

std::wstring FolderRows::ParsingNameOf(const Row& row) const {
    // The file-system name within the folder, read from the ID list; "::{...}" for items
    // outside the file system.
    STRRET parsing = {};
    if (!folder_ || !row.child ||
        FAILED(folder_->GetDisplayNameOf(row.child.get(), SHGDN_INFOLDER | SHGDN_FORPARSING,
                                         &parsing)))
        return std::wstring();
    if (parsing.uType == STRRET_WSTR) { // the usual answer: taken as it is
        std::wstring name(parsing.pOleStr ? parsing.pOleStr : L"");
        CoTaskMemFree(parsing.pOleStr);
        return name;
    }
    wchar_t name[MAX_PATH] = {};
    StrRetToBufW(&parsing, row.child.get(), name, MAX_PATH);
    return name;
}

LPCITEMIDLIST FolderRows::FullOf(Row& row) {
    if (!row.full && row.child && folderIdList_)
        row.full.reset(ILCombine(folderIdList_.get(), row.child.get()));
    return row.full.get();
}

std::wstring FolderRows::PathIn(const std::wstring& name) const {
    return folderPath_ + (folderPath_.back() == L'\\' ? L"" : L"\\") + name;
}

void FolderRows::Told(Row& row, const std::wstring& path, bool entered) {
    if (row.values.isFolder)
        browser_.SetFolderRow(row.index, ExtendedPath(path), !entered);
    else if (row.values.sizeRead)
        browser_.SetFileRow(row.index, row.values.fileSize);
}

void FolderRows::ReadRow(Row& row) {
    if (row.read)
        return;
    row.read = true;
    RowValues& values = row.values;
    std::wstring name = ParsingNameOf(row);
    const bool plain = !name.empty() && name.find_first_of(L"\\:") == std::wstring::npos;
    WIN32_FIND_DATAW found = {};
    if (plain && FindDataOf(row, found)) {
        row.attributes = found.dwFileAttributes;
        values.fileSize = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        values.isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        values.sizeRead = true;
        // A reparse point's tag is read when its numbers are first asked for: a folder of
        // thousands of links or cloud folders is not read whole in this thread to sort it.
        // Until then it counts as entered, which asks nothing: what a walk kept of it shows.
        row.tagUnread = values.isFolder && (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
        Told(row, values.isFolder ? PathIn(name) : L"", true);
        row.nameLower.swap(name);
        // Most names are plain ASCII: lower-cased here, the rest by the system.
        bool plainAscii = true;
        for (wchar_t& c : row.nameLower) {
            if (c >= L'A' && c <= L'Z')
                c = static_cast<wchar_t>(c - L'A' + L'a');
            plainAscii = plainAscii && c < 0x80;
        }
        if (!plainAscii)
            CharLowerBuffW(&row.nameLower[0], static_cast<DWORD>(row.nameLower.size()));
        return;
    }
    // The desktop's own items and those outside the file system ("::{...}") are known by
    // the name the shell shows.
    row.shownOwn = true;
    if (name.empty() || name.compare(0, 2, L"::") == 0) {
        ReadName(row);
        row.nameLower = LowerForSort(row.name);
    } else {
        row.nameLower = LowerForSort(name);
    }
    row.pathRead = true;
    wchar_t path[MAX_PATH + 1] = {};
    if (FullOf(row) && SHGetPathFromIDListW(row.full.get(), path))
        values.path = path;
    ReadTimes(row);
    Told(row, values.path, EnteredFolder(values.path, row.attributes));
}

void FolderRows::ReadPath(Row& row) {
    ReadRow(row);
    if (row.pathRead)
        return;
    row.pathRead = true;
    row.values.path = PathIn(ParsingNameOf(row));
}

void FolderRows::ReadTimes(Row& row) {
    RowValues& values = row.values;
    if (values.timesRead || row.timesAsked)
        return;
    ReadPath(row);
    row.timesAsked = true;
    std::wstring extended = ExtendedPath(values.path);
    WIN32_FILE_ATTRIBUTE_DATA a = {};
    if (extended.empty() || !GetFileAttributesExW(extended.c_str(), GetFileExInfoStandard, &a))
        return;
    row.attributes = a.dwFileAttributes;
    values.isFolder = (a.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    values.sizeRead = values.timesRead = true;
    values.fileSize = (static_cast<std::uint64_t>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
    values.written = a.ftLastWriteTime;
    values.created = a.ftCreationTime;
    values.accessed = a.ftLastAccessTime;
}

void FolderRows::ReadAllTimes() {
    std::unordered_map<std::wstring, Row*> byName;
    for (Row* row : order_) {
        ReadRow(*row);
        if (!row->values.timesRead && !row->timesAsked && !row->nameLower.empty())
            byName.emplace(FoldName(row->nameLower), row);
    }
    std::wstring extended = ExtendedPath(folderPath_);
    if (byName.size() > 16 && !extended.empty()) {
        ListByFind(extended, [&](const WIN32_FIND_DATAW& data) {
            auto found = byName.find(FoldName(data.cFileName, wcslen(data.cFileName)));
            if (found != byName.end()) {
                Row& row = *found->second;
                row.values.timesRead = row.timesAsked = true;
                row.values.written = data.ftLastWriteTime;
                row.values.created = data.ftCreationTime;
                row.values.accessed = data.ftLastAccessTime;
            }
            return true;
        });
    }
    for (Row* row : order_)
        ReadTimes(*row);
}

const std::wstring& FolderRows::FileName(int index) {
    static const std::wstring none;
    Row* row = RowAt(index);
    if (!row)
        return none;
    ReadRow(*row);
    return row->nameLower;
}

std::wstring_view FolderRows::Shown(Row& row) {
    ReadRow(row);
    const std::wstring& name = row.nameLower;
    // A folder marked read-only or system may name itself in its desktop.ini.
    if (!row.shownOwn && row.shownLength == std::wstring::npos &&
        (namesItsItems_ ||
         (row.values.isFolder && (row.attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM)))))
        row.shownOwn = true;
    if (row.shownOwn) {
        ReadName(row);
        return row.name;
    }
    if (row.shownLength == std::wstring::npos) {
        // Asking the shell for each name costs far more than the sort of 100,000 rows (a
        // look into the registry each time): the first name of each kind tells for all.
        const std::size_t dot = name.find_last_of(L'.');
        const bool extension = dot != std::wstring::npos && dot > 0;
        std::wstring kind(1, row.values.isFolder ? L'd' : L'f');
        if (extension)
            kind.append(name, dot, std::wstring::npos);
        auto known = extensionShown_.find(kind);
        if (known != extensionShown_.end()) {
            row.shownLength = known->second ? name.size() : dot;
        } else {
            ReadName(row);
            const std::wstring shown = LowerForSort(row.name);
            if (shown == name || (extension && name.compare(0, dot, shown) == 0)) {
                extensionShown_.emplace(kind, shown.size() == name.size());
                row.shownLength = shown.size();
            } else {
                row.shownOwn = true; // a name of its own: the next of its kind tells
                return row.name;
            }
        }
    }
    return std::wstring_view(name).substr(0, row.shownLength);
}

void FolderRows::ReadImage(Row& row) {
    if (row.values.imageRead)
        return;
    // Loading the picture reads the file and may set its last access: the times first.
    ReadTimes(row);
    ReadPath(row);
    row.values.imageRead = true;
    row.values.image = ReadImageFacts(images_, row.values.path.c_str(), row.attributes);
}

bool FolderRows::ReadImagesBeside(const std::vector<int>& indices, HWND notify, UINT message) {
    StopImages();
    std::vector<Row*> unread;
    for (std::size_t at = 0; at < (indices.empty() ? order_.size() : indices.size()); ++at)
        if (Row* row = indices.empty() ? order_[at] : RowAt(indices[at]))
            if (!row->values.imageRead && (ReadRow(*row), !row->values.isFolder))
                unread.push_back(row);
    if (unread.size() < kReadImagesBesideFrom || !images_.IsAvailable()) {
        for (Row* row : unread)
            ReadImage(*row);
        return false;
    }
    // Loading a picture may set its last access: the times first, from one listing.
    ReadAllTimes();
    std::vector<ImageReader::Item> items;
    items.reserve(unread.size());
    for (Row* row : unread) {
        ReadPath(*row);
        items.push_back({row->index, row->values.path, row->attributes});
    }
    imageReader_ = ImageReader::Start(std::move(items), notify, message);
    if (imageReader_)
        return true;
    for (Row* row : unread) // no thread: read here after all
        ReadImage(*row);
    return false;
}

void FolderRows::TakeImages() {
    std::vector<ImageReader::Read> read;
    if (!imageReader_ || !imageReader_->Take(read))
        return; // a message of a reader before
    for (const ImageReader::Read& one : read)
        if (one.row < items_.size() && !items_[one.row].values.imageRead) {
            items_[one.row].values.imageRead = true;
            items_[one.row].values.image = one.facts;
        }
    imageReader_.reset();
}

void FolderRows::StopImages() {
    if (imageReader_)
        imageReader_->Stop();
    imageReader_.reset();
}

bool FolderRows::Counting(int index) {
    Row* row = RowAt(index);
    if (!row)
        return false;
    ReadRow(*row);
    TakeNumbers(*row);
    // Saved numbers are not the folder's yet: what is copied waits for its walk.
    return row->values.isFolder && (row->values.totals == RowValues::Totals::Unknown || row->saved);
}

void FolderRows::TakeNumbers(Row& row) {
    RowValues& values = row.values;
    if (!values.isFolder)
        return;
    if (row.tagUnread) {
        row.tagUnread = false;
        const std::wstring path = PathIn(ParsingNameOf(row));
        Told(row, path, EnteredFolder(path, row.attributes));
    }
    FolderTotals totals;
    const Browser::Numbers numbers = browser_.RowNumbers(row.index, totals, true);
    row.saved = numbers == Browser::Numbers::Saved;
    switch (numbers) {
    case Browser::Numbers::Known:
    case Browser::Numbers::Saved:
        values.totals = RowValues::Totals::Known;
        values.folder = totals;
        break;
    case Browser::Numbers::Running:
        values.totals = RowValues::Totals::Unknown;
        break;
    default:
        values.totals = RowValues::Totals::None;
        break;
    }
}

std::wstring FolderRows::CellText(Row& row, int column) {
    ReadPath(row);
    const RowValues& values = row.values;
    const ImageFacts& image = values.image;
    const std::wstring noGdiplus = L"gdiplus.dll ?";
    switch (column) {
    case FolderSize:
    case FolderCount:
    case FileCount:
        if (values.isFolder) {
            // Known when the walk on the worker thread ends; the cells say meanwhile that
            // the walk runs. A folder that cannot be listed, or whose walk failed, has none.
            TakeNumbers(row);
            if (values.totals == RowValues::Totals::Unknown)
                return kWalkRunningText;
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
        // Every file shows its size here, whatever the Explorer column's option says; an
        // item outside the file system only as that column would.
        if (column == FolderSize && (values.sizeRead || Options().dateiGroesse.load() != 0))
            return AnsiToWide(FormatSize(values.fileSize, CurrentSizeFormat()));
        return std::wstring();
    case Dpi:
    case BitDepth:
    case ImageSize:
        if (column == BitDepth && values.isFolder)
            return std::wstring();
        if (!images_.IsAvailable())
            return noGdiplus;
        ReadImage(row);
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
        if (!row.contentTypeRead) {
            row.contentTypeRead = true;
            if (!values.isFolder)
                row.values.contentType = ContentTypeOf(ExtensionOfName(values.path));
        }
        return values.contentType;
    case ModifiedSeconds:
    case CreatedSeconds:
    case AccessedSeconds:
        ReadTimes(row);
        return TimeText(static_cast<unsigned>(column), values);
    case kGrowthColumn: {
        std::int64_t growth = 0;
        TakeNumbers(row);
        return browser_.Growth(row.index, growth) ? GrowthText(growth) : std::wstring();
    }
    default:
        return std::wstring();
    }
}

std::wstring FolderRows::GrowthText(std::int64_t bytes) {
    if (bytes == 0)
        return L"0";
    const std::uint64_t size = bytes < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(bytes)
                                         : static_cast<std::uint64_t>(bytes);
    std::wstring text = AnsiToWide(FormatSize(size, CurrentSizeFormat()));
    text.erase(0, text.find_first_not_of(L' ')); // the sign stands by the digits
    return (bytes < 0 ? L"\u2212" : L"+") + text;
}

bool FolderRows::ShowsSaved(int index) {
    Row* row = RowAt(index);
    if (!row)
        return false;
    TakeNumbers(*row);
    return row->saved;
}

bool FolderRows::Number(int index, int column, double& value) {
    Row* row = RowAt(index);
    if (!row || column < 1 || (column > 3 && column != kGrowthColumn + 1))
        return false;
    ReadRow(*row);
    TakeNumbers(*row);
    const RowValues& values = row->values;
    double bytes = 0;
    if (column == kGrowthColumn + 1) {
        std::int64_t growth = 0;
        if (!values.isFolder || !browser_.Growth(row->index, growth))
            return false;
        bytes = static_cast<double>(growth);
    } else if (values.isFolder) {
        if (values.totals != RowValues::Totals::Known)
            return false;
        if (column == 2 || column == 3) {
            value = static_cast<double>(column == 2 ? values.folder.folders : values.folder.files);
            return true;
        }
        bytes = static_cast<double>(values.folder.size);
    } else {
        if (column != 1 || !values.sizeRead)
            return false;
        bytes = static_cast<double>(values.fileSize);
    }
    const int unit = CurrentSizeFormat().unit;
    value = unit == kUnitBytes ? bytes : bytes / (unit == kUnitKilobytes ? 1024.0 : 1048576.0);
    return true;
}

std::uint64_t FolderRows::Bytes(int index) {
    Row* row = RowAt(index);
    if (!row)
        return 0;
    const RowValues& values = row->values;
    if (!values.isFolder)
        return values.fileSize;
    TakeNumbers(*row);
    return values.totals == RowValues::Totals::Known ? values.folder.size : 0;
}

void FolderRows::Sort(int sortColumn, bool descending) {
    const unsigned column = static_cast<unsigned>(sortColumn - 1);
    // Files and folders in one order by size, as the size cells show them.
    const bool fileSizes = true;
    // Each row's value read once, then the order of the rows by those values.
    std::vector<SortValue> keys(order_.size());
    std::vector<std::wstring> textKeys;
    if (column == ModifiedSeconds || column == CreatedSeconds || column == AccessedSeconds)
        ReadAllTimes();
    for (std::size_t index = 0; index < order_.size(); ++index) {
        Row& row = *order_[index];
        ReadRow(row);
        if (sortColumn == 0)
            continue;
        if (column == Extension && !row.pathRead) {
            // A file-system row's name is its file's: the extension from it, no path needed.
            keys[index].text = row.values.isFolder ? L"[Ordner]" : ExtensionOfName(row.nameLower);
            keys[index].has = !keys[index].text.empty();
        } else if (column == FullPath || column == Extension) {
            ReadPath(row);
        } else if ((column == Dpi || column == BitDepth || column == ImageSize) && !row.values.isFolder) {
            ReadImage(row);
        } else if (column == ContentType) {
            CellText(row, ContentType);
        } else if (column <= FileCount) {
            TakeNumbers(row);
        }
        std::int64_t growth = 0;
        if (sortColumn == kGrowthColumn + 1) {
            // Signed bytes in the order of unsigned keys.
            TakeNumbers(row);
            keys[index].has = row.values.isFolder && browser_.Growth(row.index, growth);
            keys[index].first = static_cast<std::uint64_t>(growth) ^ (std::uint64_t{1} << 63);
        } else if (!(column == Extension && !row.pathRead)) {
            keys[index] = SortValueOf(row.values, column, fileSizes);
        }
        if (!keys[index].text.empty()) {
            textKeys.resize(order_.size());
            textKeys[index].swap(keys[index].text);
        }
    }
    std::vector<std::size_t> places(order_.size());
    for (std::size_t index = 0; index < places.size(); ++index)
        places[index] = index;
    const bool byName = sortColumn == 0;
    // The names as shown made into keys once for the listing, the texts of a text column
    // for this sort.
    if (!shownOrderMade_) {
        std::vector<std::wstring_view> shown(items_.size());
        for (std::size_t index = 0; index < shown.size(); ++index)
            shown[index] = Shown(items_[index]);
        shownOrder_.Make(shown);
        shownOrderMade_ = true;
    }
    NameOrder textOrder;
    textOrder.Make(std::vector<std::wstring_view>(textKeys.begin(), textKeys.end()));
    auto names = [&](std::size_t a, std::size_t b) {
        const Row& one = *order_[a];
        const Row& other = *order_[b];
        // As Explorer orders names: folders first, numbers inside names by value.
        if (one.values.isFolder != other.values.isFolder)
            return one.values.isFolder ? -1 : 1;
        return shownOrder_.Compare(one.index, other.index);
    };
    std::stable_sort(places.begin(), places.end(), [&](std::size_t a, std::size_t b) {
        if (byName)
            return (descending ? -names(a, b) : names(a, b)) < 0;
        // Rows without a value (a walk that runs or failed, a file that is no image) come
        // last either way; rows of equal value by name.
        if (keys[a].has != keys[b].has)
            return keys[a].has;
        int order = textKeys.empty() ? CompareSortValues(keys[a], keys[b])
                                     : textOrder.Compare(a, b);
        if (order != 0)
            return (descending ? -order : order) < 0;
        return names(a, b) < 0;
    });
    std::vector<Row*> sorted(order_.size());
    for (std::size_t index = 0; index < places.size(); ++index)
        sorted[index] = order_[places[index]];
    order_.swap(sorted);
}

int FolderRows::FindByName(const wchar_t* typed, int start, bool wrap, bool partial) {
    const int count = static_cast<int>(order_.size());
    if (!typed || count == 0)
        return -1;
    const int length = lstrlenW(typed);
    start = start >= 0 && start < count ? start : 0;
    for (int step = 0; step < count; ++step) {
        const int index = (start + step) % count;
        if (!wrap && index < start)
            break;
        const std::wstring_view name = Shown(*order_[index]);
        if (static_cast<int>(name.size()) >= length &&
            CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, name.data(), length, typed,
                           length) == CSTR_EQUAL &&
            (partial || static_cast<int>(name.size()) == length))
            return index;
    }
    return -1;
}

} // namespace rb
