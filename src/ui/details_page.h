// The details page: the folder the user right-clicked in, with all twelve column values
// of every item side by side, computed when the list first shows them.
#pragma once

#include "columns/folder_walk.h"
#include "columns/image_library.h"
#include "common/win_handles.h"
#include "common/win_lock.h"
#include "shell/shell_selection.h"
#include "ui/page.h"

#include <shlobj.h>

#include <atomic>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace rb {

// The extension column of an item: the text after the last full stop of the file name,
// lower-cased; empty when the name has none or ends in it.
std::wstring ExtensionOfName(const std::wstring& path);

class DetailsPage : public Page {
public:
    DetailsPage();
    ~DetailsPage() override;

    // Lists the folder `folder` (absolute ID list) anew.
    void Fill(LPCITEMIDLIST folder);
    // Stops the folder walks before the window goes.
    void OnClosing() override;

    // Sent to the page when walks have finished.
    static constexpr UINT kStatisticsReady = WM_APP + 1;

protected:
    BOOL OnInitDialog() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    struct Row {
        UniqueIdList child; // relative to the listed folder
        UniqueIdList full;
        bool read = false; // path and attributes below are known
        std::wstring path;
        WIN32_FILE_ATTRIBUTE_DATA attributes = {};
        bool imageRead = false;
        std::wstring dpi, depth, size;
        bool statisticsAsked = false;
    };
    struct Job {
        Row* item;
        unsigned generation;
        std::wstring path;
    };
    struct Done {
        Row* item;
        unsigned generation;
        FolderTotals totals;
    };

    std::wstring NameOf(Row& item);
    int IconOf(Row& item);
    void ReadRow(Row& item);
    void ReadImage(Row& item);
    std::wstring CellText(Row& item, int column);
    void AskStatistics(Row& item);
    void ShowStatistics();
    void StopWalks(bool forGood);
    static DWORD WINAPI WorkerMain(void* page);
    void Work();
    static int CALLBACK CompareItems(LPARAM a, LPARAM b, LPARAM page);

    HWND list_ = nullptr;
    ImageLibrary images_;
    ComPtr<IShellFolder> folder_;
    UniqueIdList folderIdList_;
    std::vector<std::unique_ptr<Row>> items_;
    std::wstring resultText_;

    // The walks of folder items, on a worker thread of the page.
    WaitLock lock_; // its condition: a job came, or the page closes
    std::deque<Job> jobs_;
    std::vector<Done> done_;
    unsigned generation_ = 0;
    bool closing_ = false;
    HWND notify_ = nullptr;
    std::atomic<bool> stopWalk_{false};
    HANDLE worker_ = nullptr;
};

} // namespace rb
