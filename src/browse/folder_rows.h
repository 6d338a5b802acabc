// The listed folder's rows as the shell gives them: names, icons, attributes, times,
// image facts and content types read when first needed, the folders' numbers from the
// browser, and their order by any column.
#pragma once

#include <windows.h>

#include "browse/browser.h"
#include "browse/image_reader.h"
#include "browse/times_reader.h"
#include "columns/image_library.h"
#include "columns/row_values.h"
#include "common/name_order.h"
#include "common/win_handles.h"
#include "shell/id_lists.h"
#include "shell/shell_selection.h"

#include <shlobj.h>

#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace rb {

// "Content Type" of the extension (without its dot), up to 255 characters.
std::wstring ContentTypeOf(const std::wstring& extension);

class FolderRows {
public:
    explicit FolderRows(Browser& browser) : browser_(browser) {}
    ~FolderRows();
    FolderRows(const FolderRows&) = delete;
    FolderRows& operator=(const FolderRows&) = delete;

    // The column after the twelve: a folder's walked bytes less its saved ones.
    static constexpr int kGrowthColumn = 12;
    static constexpr const wchar_t* kGrowthTitle = L"Zuwachs";
    // "+1,20 MB", "\u22123,00 KB", "0" in the unit the size column shows; empty without both.
    static std::wstring GrowthText(std::int64_t bytes);

    // What the number cells of a folder show while its walk runs.
    static constexpr const wchar_t* kWalkRunningText = L"\u2026";
    // From this many entries on, the rows' times are read on a thread after the listing.
    static constexpr std::size_t kReadTimesBesideFrom = 1024;

    // Enumerates `folder` (absolute ID list): folders, files and hidden items alike. The
    // rows before go (many of them on the times' thread, which starts here for a large
    // listing once Sort has read the names; `notify` is told with `timesMessage`).
    void Fill(LPCITEMIDLIST folder);
    // The times of a large listing read beside it; null-window: none.
    void ReadTimesBeside(HWND notify, UINT timesMessage);
    // The times the reader posted; false for a message of a reader before.
    void TakeTimes();
    bool TimesPending() const { return reader_ != nullptr; }
    void StopReader();

    // From this many rows without their image facts on, those are read on a thread.
    static constexpr std::size_t kReadImagesBesideFrom = 64;
    // The image facts of the rows `indices` (every row when empty) that are not read yet:
    // read here when they are few; else on a thread, and true (`message` comes to `notify`
    // when they are read, TakeImages then takes them).
    bool ReadImagesBeside(const std::vector<int>& indices, HWND notify, UINT message);
    void TakeImages();
    bool ImagesPending() const { return imageReader_ != nullptr; }
    // How far the thread got: read and to read.
    std::size_t ImagesDone() const { return imageReader_ ? imageReader_->Done() : 0; }
    std::size_t ImagesTotal() const { return imageReader_ ? imageReader_->Total() : 0; }
    void StopImages();
    // Whether row `index` is a folder whose numbers are still being counted (asking for
    // them once).
    bool Counting(int index);

    int Count() const { return static_cast<int>(order_.size()); }
    // The listed folder: its ID list, its shell folder, its file-system path (empty for
    // folders outside the file system) and its name as the path line ends.
    LPCITEMIDLIST FolderIdList() const { return folderIdList_.get(); }
    IShellFolder* ShellFolder() const { return folder_.get(); }
    const std::wstring& Path() const { return folderPath_; }

    // Row `index` as shown: the text of list column `column` (0: the name), its icon, its
    // ID lists, its file-system name (lower-cased; the item's through a relisting), and the
    // number behind a size or count cell (sizes in the page's unit; false where the cell is
    // empty or still being counted).
    std::wstring Cell(int index, int column);
    int Icon(int index);
    LPCITEMIDLIST Child(int index) const;
    LPCITEMIDLIST Full(int index);
    const std::wstring& FileName(int index);
    bool Number(int index, int column, double& value);
    // The row's bytes (a folder's once known), for its share of the folder's.
    std::uint64_t Bytes(int index);
    // Whether row `index` shows saved numbers while its walk runs.
    bool ShowsSaved(int index);
    // A token for the row that stays with it through a sort.
    const void* Token(int index) const;
    int IndexOf(const void* token) const;

    // Orders the rows by list column `column` (every row's value for it read first; a
    // folder whose walk runs has none yet), folders first by the name shown, numbers inside
    // names by value; rows without a value last either way.
    void Sort(int column, bool descending);
    // Typing the first letters of a name: the next row from `start` whose shown name
    // begins with `typed` (is it, without `partial`), whatever the case, round to the top
    // with `wrap`.
    int FindByName(const wchar_t* typed, int start, bool wrap, bool partial);

private:
    struct Row {
        std::size_t index = 0; // in the listing, as the browser names it
        UniqueIdList child;    // relative to the listed folder
        UniqueIdList full;     // made when asked for
        bool read = false;     // path, attributes and times below are known
        DWORD attributes = 0;
        RowValues values;
        bool nameRead = false;
        std::wstring name;      // as the shell shows it, read when shown
        std::wstring nameLower; // the file-system name, lower-cased
        // The name shown, which the rows sort and are typed by: nameLower's first
        // shownLength characters (all, or all but the extension), or the shell's own.
        std::size_t shownLength = std::wstring::npos; // npos: not known yet
        bool shownOwn = false;
        bool pathRead = false;
        int icon = -1;
        bool timesAsked = false;
        bool contentTypeRead = false;
        bool tagUnread = false; // a reparse point's: a link until it is read
        bool saved = false;     // its numbers are the saved ones, its walk runs
    };
    Row* RowAt(int index) const;
    void ReadName(Row& row);
    std::wstring_view Shown(Row& row);
    void ReadRow(Row& row);
    // A folder row to the browser, with its path.
    void Told(Row& row, const std::wstring& path, bool entered);
    std::wstring PathIn(const std::wstring& name) const; // of an item of the listed folder
    void ReadTimes(Row& row);
    void ReadAllTimes();
    void ReadPath(Row& row);
    bool FindDataOf(const Row& row, WIN32_FIND_DATAW& found) const;
    std::wstring ParsingNameOf(const Row& row) const;
    LPCITEMIDLIST FullOf(Row& row);
    void ReadImage(Row& row);
    // The folder's numbers as the browser has them now (asking for them once).
    void TakeNumbers(Row& row);
    std::wstring CellText(Row& row, int column);

    Browser& browser_;
    ImageLibrary images_;
    ComPtr<IShellFolder> folder_;
    UniqueIdList folderIdList_;
    std::deque<Row> items_;   // as enumerated
    std::vector<Row*> order_; // as shown
    std::wstring folderPath_;
    // Whether the shell shows a kind of name ('d' or 'f' for a folder's or a file's, then
    // its extension) whole or without the extension, as the first of its kind showed.
    std::unordered_map<std::wstring, bool> extensionShown_;
    bool namesItsItems_ = false; // the folder has a desktop.ini: all names from the shell
    NameOrder shownOrder_; // of the rows as enumerated
    bool shownOrderMade_ = false;
    std::shared_ptr<std::deque<Row>> before_; // to be freed beside the times
    std::shared_ptr<TimesReader> reader_;
    std::shared_ptr<ImageReader> imageReader_;
};

} // namespace rb
