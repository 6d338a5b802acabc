// The details page: the folder the user right-clicked in, with all twelve column values
// of every item side by side. It shows the browser (browse/) in a virtual list and hands
// it the keys, clicks and the shell's change notifications; the walks run on a worker.
#pragma once

#include "browse/browser.h"
#include "browse/file_stats.h"
#include "browse/folder_rows.h"
#include "browse/tree_shelf.h"
#include "browse/walk_worker.h"
#include "ui/page.h"

#include <shlobj.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace rb {

class DetailsPage : public Page, private Jobs, private Disk, private Keeper {
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
    // Ctrl+C: the titles and the selected rows as tab-separated text on the clipboard,
    // once their values are all there (the images read, the walks ended).
    void CopySelection();
    // "Liste": `then` runs once every row's values are there, at once if they are; Esc
    // or another folder cancels it.
    void WhenAllValues(std::function<void()> then);
    // Whether the page waits for values before it sorts, copies or exports.
    bool Waiting() const { return waiting_ != Wait::None; }
    // Esc while it waits: nothing is sorted, copied or exported.
    void CancelWaiting();
    // Stops the folder walks before the window goes.
    void OnClosing() override;
    // Column widths for `dpi`.
    void SetScale(int dpi) override;

    // The tabs above the list, in their order.
    enum class Tab { Folders, Largest, Types };
    void ShowTab(Tab tab);
    Tab ShownTab() const { return tab_; }
    // Ctrl+Tab and Ctrl+Shift+Tab.
    void NextTab(bool back);

    // The shown tab's rows, as its list shows them: the text of row `index`, list column
    // `column` (0: the name), the count of rows and columns, a column's title.
    std::wstring CellOf(int index, int column);
    int RowCount() const;
    int ColumnCount() const;
    std::wstring TitleOf(int column) const;
    // The number behind a size or count cell, sizes in the unit the page shows; false
    // where the cell is empty or still being counted.
    bool NumberOf(int index, int column, double& value);
    // Whether the largest files and the types are being gathered (for tests).
    bool Gathering() const { return gatherId_ != 0; }

    // What the three number cells of a folder show while its walk runs.
    static constexpr const wchar_t* kWalkRunningText = FolderRows::kWalkRunningText;
    // Sent to the page when walks have finished.
    static constexpr UINT kStatisticsReady = WM_APP + 1;
    // Sent to the page when the rows' times have been read beside a large listing.
    static constexpr UINT kTimesRead = WM_APP + 2;
    // Sent to the page when the rows' image facts have been read on their thread.
    static constexpr UINT kImagesRead = WM_APP + 5;
    // Posted by a delete asked on the page, with what went.
    static constexpr UINT kItemsDeleted = WM_APP + 6;
    // The shell's notifications of changes: below the followed folder, and renames and
    // removals of folders on its drive (for those of it and above it).
    static constexpr UINT kShellChanged = WM_APP + 3;
    static constexpr UINT kAboveChanged = WM_APP + 4;
    // How long the page gathers changes before it lists the changed folders again.
    static constexpr UINT kChangeMilliseconds = Browser::kGatherMilliseconds;
    static constexpr std::size_t kReadTimesBesideFrom = FolderRows::kReadTimesBesideFrom;
    // Whether the times of a large listing are still being read (for tests).
    bool TimesPending() const { return rows_.TimesPending(); }
    // Saved trees being written, and those read back so far (for tests).
    static LONG SavesPending();
    static LONG RecallsAnswered();
    // How often the walked trees are saved while the page is open (the timer's tick:
    // WM_TIMER with kSaveTimer).
    static constexpr UINT kSaveMilliseconds = 5 * 60 * 1000;
    static constexpr UINT_PTR kSaveTimer = 4;
    // How long closing waits for a walk to stop; one stuck in a listing is left to end by
    // itself.
    static constexpr DWORD kStopWaitMilliseconds = 200;

protected:
    BOOL OnInitDialog() override;
    unsigned AnchorsOf(HWND control, const RECT& place) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // The worker, as the browser asks it.
    bool Ask(std::uint32_t id, const std::wstring& path, JobKind kind) override;
    void Cancel(std::uint32_t id) override;
    // The disk, as the browser asks it.
    bool FolderExists(const std::wstring& path) override;
    bool IsLink(const std::wstring& path) override;
    // Remembered trees (details_saved.cpp): saved on a thread of their own, and read back
    // on the worker before the walks of a folder that lies in one.
    void Keep(const KeptTree& tree, const std::vector<std::wstring>& roots) override;
    void Recall(const std::wstring& listed);
    void Recalled(WalkWorker::Result& result);
    // Whether a job for `path` checks saved numbers (it runs in the background then).
    bool Checking(const std::wstring& path) const;
    // When the saved numbers the rows compare with were saved, as the line writes it.
    std::wstring SavedAtText() const;
    void SaveNow();

    // The worker's answers to the browser; the rows shown anew.
    void ShowAnswers();
    // The line under the list: what the walks have counted so far, or that they are done.
    void ShowState();
    // Sorts by the chosen column; the selection and the focus go with their rows, the
    // focused row stays in view. The header shows the arrow.
    void Sort();
    void OnColumnClick(int column);
    void Open(int index);
    // Focuses and selects row `index` and scrolls it into view.
    void FocusRow(int index);
    void ShowPath();
    // The listed folder listed again, the focused row still focused; numbers kept.
    void Refill();
    // The folder-size cell with the bar of the row's share of the listed folder's bytes.
    LRESULT DrawShare(NMLVCUSTOMDRAW& draw);
    // A cell of a sub-item with the bar of its share (0 to 1) behind its text.
    // `grey`: the text in the grey of saved numbers beside the bar.
    static LRESULT DrawShareCell(NMLVCUSTOMDRAW& draw, double share, const std::wstring& text,
                                 bool grey = false);
    static LRESULT CALLBACK ListKeys(HWND list, UINT message, WPARAM wParam, LPARAM lParam);
    void StopWalks();
    // The image facts and folder numbers of `indices` (all rows when empty) asked for;
    // true when some are not there yet (the page waits for them).
    bool AskValues(const std::vector<int>& indices);
    // After images were read or walks answered: what waits done once all is there.
    void CheckWaiting();
    std::vector<int> SelectedRows() const;

    // The rows' actions (details_actions.cpp). The context menu of the selected rows at
    // `at` (WM_CONTEXTMENU's point; -1: from the keyboard, below the focused row).
    void ShowRowMenu(LPARAM at);
    std::vector<LPCITEMIDLIST> SelectedItems();
    // Their file-system paths.
    std::vector<std::wstring> SelectedPaths();
    // Delete and Shift+Delete: the selected rows' files through the shell.
    void DeleteSelected(bool forGood);
    // F2: the focused row's name edited in place; the shell renames it.
    void RenameFocused();
    LRESULT OnBeginRename(const NMLVDISPINFOW& edit);
    void OnEndRename(const NMLVDISPINFOW& edit);
    void CopyRows(const std::vector<int>& indices);

    // The tabs of the largest files and the types (details_tabs.cpp).
    void MakeTabs();
    HWND ShownList() const { return tab_ == Tab::Folders ? list_ : files_; }
    // The walk that gathers them for the listed folder asked, unless they are there.
    void Gather();
    void Gathered(WalkWorker::Result& result);
    // Whether the largest files of all hold every file of the type shown alone.
    bool TypeComplete() const;
    // Gathered again once the changes settle, when a tab shows it.
    void GatherSoon();
    // The shown tab's rows made from what was gathered, in the chosen order.
    void ShowGathered();
    void SortGathered();
    void SetGatheredColumns();
    std::wstring GatheredCell(int index, int column) const;
    LRESULT OnGatheredNotify(NMHDR& header);
    void OpenGathered(int index);
    std::wstring GatheredState() const;
    std::wstring ShownGatheredState(const std::wstring& files) const;
    // A change at `path` (extended) told by the shell: what was gathered below it is old.
    void GatheredChanged(LONG event, const std::wstring& path);

    // Following the disk's changes (details_follow.cpp).
    void Follow();
    void StopFollowing();
    void OnShellChanged(WPARAM wParam, LPARAM lParam);
    // The changes gathered taken, and what they mean for the listed folder done.
    void TakeChanges();
    void ScheduleChanges();

    static constexpr UINT_PTR kStateTimer = 1;
    static constexpr UINT_PTR kChangeTimer = 2;
    static constexpr UINT_PTR kGatherTimer = 3;
    static constexpr UINT_PTR kShelfTimer = 5; // the shelf read again while a save held it
    static constexpr UINT kShelfMilliseconds = 200;
    // The recall jobs' ids lie above the browser's and below the gatherings'.
    static constexpr std::uint32_t kRecallIds = 0x40000000u;
    std::uint32_t recallSerial_ = 0;
    std::map<std::wstring, bool> recalls_; // folded roots asked for: true once answered
    std::vector<ShelfEntry> shelf_; // the saved trees, as last read
    bool shelfRead_ = false;
    unsigned shelfChanges_ = 0;    // ShelfChanges() when they were read
    bool saveTimer_ = false;
    std::uint32_t keptVersion_ = 0;        // of the browser's tree when last saved
    // The gathering walks' ids lie above the browser's.
    static constexpr std::uint32_t kGatherIds = 0x80000000u;
    // How long after a change below the listed folder its files are gathered again, at
    // least.
    static constexpr UINT kGatherAgainMilliseconds = 2000;
    static constexpr UINT kStateMilliseconds = 250;

    HWND list_ = nullptr;
    Browser browser_;
    FolderRows rows_;
    std::shared_ptr<WalkWorker> worker_;
    std::wstring folderName_;
    std::wstring resultText_;
    std::uint64_t totalBytes_ = 0; // of the rows whose bytes are known
    ULONG followId_ = 0;
    ULONG aboveId_ = 0;
    std::wstring registered_;     // the folder the shell tells changes of
    std::uint32_t countedAt_ = 0; // the browser's, as last seen
    bool stamped_ = false;        // valuesTime_ is that of the values shown
    SYSTEMTIME valuesTime_ = {};
    int sortColumn_ = 0; // list column
    bool descending_ = false;
    enum class Wait { None, Sort, Copy, Export };
    Wait waiting_ = Wait::None;
    std::vector<int> waitRows_; // the rows waited for (empty: all)
    std::size_t waitFrom_ = 0;  // rows before it were counted
    std::function<void()> exportThen_;

    Tab tab_ = Tab::Folders;
    HWND tabs_ = nullptr;
    HWND files_ = nullptr; // the list of the two other tabs
    std::shared_ptr<FileStats> stats_; // gathered below statsPath_
    std::wstring statsPath_;           // extended; empty: nothing gathered
    bool statsOld_ = false;            // a change came below it since
    std::uint32_t gatherId_ = 0;       // the gathering walk asked, 0: none
    std::uint32_t gatherSerial_ = 0;
    std::wstring gatherPath_;
    bool gatherOnly_ = false; // the gathering is of gatherType_'s files only
    std::wstring gatherType_;
    std::shared_ptr<FileStats> typeStats_; // of typeStatsOf_'s files only, below statsPath_
    std::wstring typeStatsOf_;
    bool typeStatsOld_ = false; // a change came below it since
    bool gatherChanged_ = false; // a change came below gatherPath_ while it ran
    bool gatherDue_ = false;     // kGatherTimer runs
    DWORD gatherStart_ = 0;      // when the gathering was asked
    DWORD gatherTook_ = 0;       // how long the last one took
    bool closing_ = false;
    bool brokeOff_ = false; // the last gathering broke off
    // The identities (folder and name, or extension) of the selected and focused rows of
    // the second list, which go with their rows when it is made anew.
    std::vector<std::wstring> KeptSelection(std::wstring& focused) const;
    void PutSelection(const std::vector<std::wstring>& selected, const std::wstring& focused);
    std::wstring GatheredKey(int index) const;
    std::unordered_map<std::wstring, std::wstring> contentTypeOf_; // read once per extension
    std::wstring typeShown_;  // Enter on a type: only its files are listed
    bool typeOnly_ = false;
    std::vector<LargeFile> largest_; // the rows of "Größte Dateien", as shown
    std::vector<FileType> types_;    // the rows of "Dateitypen", as shown
    std::vector<std::wstring> contentTypes_; // beside types_
    std::uint64_t typesBytes_ = 0;
    int gatheredSort_[2] = {1, 2}; // list column of each tab's order
    bool gatheredDescending_[2] = {true, true};

    bool renaming_ = false; // editing started by F2, not by a click
    ComPtr<IShellFolder> renameFolder_; // the item being renamed
    UniqueIdList renameChild_;
    std::vector<UniqueIdList> heldItems_; // the selected largest files' ID lists
};

} // namespace rb
