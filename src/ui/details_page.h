// The details page: the folder the user right-clicked in, with all twelve column values
// of every item side by side, computed when the list first shows them.
#pragma once

#include "columns/folder_walk.h"
#include "columns/image_library.h"
#include "columns/row_values.h"
#include "common/win_handles.h"
#include "shell/shell_selection.h"
#include "ui/page.h"
#include "ui/times_reader.h"
#include "ui/walk_worker.h"

#include <shlobj.h>

#include <deque>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <memory>
#include <string>
#include <vector>

namespace rb {

class DetailsPage : public Page {
public:
    DetailsPage();
    ~DetailsPage() override;

    // Lists the folder `folder` (absolute ID list) anew; the line above the list shows its
    // whole path.
    void Fill(LPCITEMIDLIST folder);
    // Opens the focused row as a double-click does: a file-system folder is listed here,
    // anything else is opened as Explorer opens it. False when no row is focused.
    bool OpenFocused();
    // Lists the parent of the listed folder, with the folder it came from focused; false
    // at the desktop.
    bool GoUp();
    // F5: the listed folder listed and walked anew.
    void Refresh();
    // Ctrl+C: the titles and the selected rows as tab-separated text on the clipboard.
    void CopySelection();
    // Stops the folder walks before the window goes.
    void OnClosing() override;
    // Column widths for `dpi`.
    void SetScale(int dpi) override;

    // The text of row `index`, list column `column` (0: the name), as the list shows it.
    std::wstring CellOf(int index, int column);
    int RowCount() const { return static_cast<int>(order_.size()); }
    // The title of list column `column`.
    std::wstring TitleOf(int column) const;
    // The number behind a size or count cell (list columns 1 to 3), sizes in the unit the
    // page shows; false where the cell is empty or still being counted.
    bool NumberOf(int index, int column, double& value);

    // Folder rows whose walk has been asked for and not yet answered (for tests).
    int PendingWalks() const { return pending_; }
    // What the three number cells of a folder show while its walk runs.
    static constexpr const wchar_t* kWalkRunningText = L"\u2026";

    // Sent to the page when walks have finished.
    static constexpr UINT kStatisticsReady = WM_APP + 1;
    // Sent to the page when the rows' times have been read beside a large listing.
    static constexpr UINT kTimesRead = WM_APP + 2;
    // The shell's notification of a change below the followed folder.
    static constexpr UINT kShellChanged = WM_APP + 3;
    // The shell's notification of a folder renamed or removed on the followed drive.
    static constexpr UINT kAboveChanged = WM_APP + 4;
    // How long the page gathers changes before it lists the changed folders again (five
    // times as long in a folder of kLargeFolder items or more).
    static constexpr UINT kChangeMilliseconds = 200;
    static constexpr std::size_t kLargeFolder = 10000;
    // From this many entries on, the rows' times are read on a thread after the listing.
    static constexpr std::size_t kReadTimesBesideFrom = 1024;
    // Whether the times of a large listing are still being read (for tests).
    bool TimesPending() const { return reader_ != nullptr; }
    // How long closing or refilling waits for a walk to stop; one stuck in a listing is
    // left to end by itself.
    static constexpr DWORD kStopWaitMilliseconds = 200;

protected:
    BOOL OnInitDialog() override;
    unsigned AnchorsOf(HWND control, const RECT& place) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    struct Row {
        UniqueIdList child; // relative to the listed folder
        UniqueIdList full;     // made when asked for
        bool read = false; // path, attributes and times below are known
        DWORD attributes = 0;
        RowValues values;
        bool nameRead = false;
        std::wstring name;     // as the shell shows it, read when shown
        std::wstring nameLower; // what the rows sort by: the file-system name, lower-cased
        bool pathRead = false;
        int icon = -1;
        bool timesAsked = false;
        bool contentTypeRead = false;
        bool statisticsAsked = false;
        bool walkRunning = false; // asked of the worker and not yet answered
    };
    Row* RowAt(int index) const;
    void Enumerate(IEnumIDList* children);
    void ReadName(Row& row);
    int IconOf(Row& item);
    void ReadRow(Row& item);
    void ReadTimes(Row& item);
    // The times of every row, from one listing of the folder where it has a path.
    void ReadAllTimes();
    const std::wstring& SortName(Row& row);
    void ReadPath(Row& item);
    bool FindDataOf(const Row& item, WIN32_FIND_DATAW& found) const;
    std::wstring ParsingNameOf(const Row& item) const;
    LPCITEMIDLIST FullOf(Row& item);
    void ReadImage(Row& item);
    std::wstring CellText(Row& item, int column);
    // True when a walk for the row is now under way.
    bool AskStatistics(Row& item);
    // The row's numbers from the kept tree, when it has them (or knows it failed).
    bool TakeKept(Row& row);
    // Asks the worker for the walks and listings the kept tree needs; false when it
    // could not.
    bool AskNext(const KeptTree::Next& next);
    // `changed`: changes came, and every row's numbers are looked at again.
    void ShowStatistics(bool changed = false);
    // The line under the list: what the walks have counted so far, or that they are done.
    void ShowState();
    void StopWalks();
    // Sorts by the chosen column: every row's value for it is read first (a folder whose
    // walk runs has none yet); the selection and the focus go with their rows, the focused
    // row stays in view. The header shows the arrow.
    void Sort();
    void OnColumnClick(int column);
    void Open(int index);
    // Focuses and selects row `index` and scrolls it into view.
    void FocusRow(int index);
    void ShowPath();
    // Type-ahead in the list: the row whose name begins with the letters typed.
    LRESULT FindByName(const NMLVFINDITEMW& find);
    // The folder-size cell with the bar of the row's share of the listed folder's bytes.
    LRESULT DrawShare(NMLVCUSTOMDRAW& draw);
    std::uint64_t BytesOf(const Row& row) const;
    int ShareBarWidth(const Row& row, int width) const;
    static LRESULT CALLBACK ListKeys(HWND list, UINT message, WPARAM wParam, LPARAM lParam);

    static constexpr UINT_PTR kStateTimer = 1;
    static constexpr UINT_PTR kChangeTimer = 2;
    static constexpr UINT kStateMilliseconds = 250;

    HWND list_ = nullptr;
    ImageLibrary images_;
    ComPtr<IShellFolder> folder_;
    UniqueIdList folderIdList_;
    std::deque<Row> items_;                   // as enumerated
    std::vector<Row*> order_;                 // as shown
    std::uint64_t totalBytes_ = 0;            // of the rows whose bytes are known
    std::wstring folderName_;
    std::wstring folderPath_; // of the listed folder, when it has one
    std::wstring resultText_;

    // The walks of this filling's folder rows; a new worker for each filling.
    std::shared_ptr<WalkWorker> worker_;
    // Paths asked of the worker, not yet answered.
    std::unordered_map<std::wstring, WalkWorker::Kind> asked_;
    // Asked again once answered: a change came while they were under way.
    std::map<std::wstring, WalkWorker::Kind> again_;
    // Following the disk's changes (details_follow.cpp).
    void Follow();
    void StopFollowing();
    void FollowFrom(const std::wstring& root, LPCITEMIDLIST rootList);
    void OnShellChanged(WPARAM wParam, LPARAM lParam, bool above);
    void TakeChanges();
    // The listed folder listed again, the focused row still focused; numbers kept.
    void Refill();
    ULONG followId_ = 0;
    ULONG aboveId_ = 0;
    std::wstring followRoot_; // the highest folder listed, whose tree is followed
    bool followable_ = true;  // false: the state line says how old the values are
    SYSTEMTIME valuesTime_ = {};
    std::set<std::wstring> changed_, rewalk_; // gathered until the change timer
    std::wstring renamedTo_; // the listed folder's new path after a rename above it
    std::wstring newRoot_;   // the followed folder's, after a rename of it or above it
    bool gone_ = false;      // the followed folder or one above it was removed
    // The numbers of every folder walked while the dialog is open.
    KeptTree kept_;
    // Reads the times of a large listing; kept until they arrive.
    std::shared_ptr<TimesReader> reader_;
    void StopReader();
    void TakeTimes();
    int pending_ = 0;
    int sortColumn_ = 0; // list column
    bool descending_ = false;
};

} // namespace rb
