// The file list of an Explorer window read through the shell's own objects: since Windows
// Vista an Explorer window shows its files in a control that is no list view, so its
// columns, items and cells are asked of its shell view instead.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "common/win_handles.h"
#include "export/list_source.h"
#include "shell/shell_selection.h"

#include <memory>
#include <string>
#include <vector>

namespace rb {

// The active shell view of the Explorer window `explorerWindow` (or of its top-level
// window), found in the shell's list of its windows; null when there is none.
ComPtr<IShellView> FindShellView(HWND explorerWindow);

// Of the views of one top-level window (one per tab; null entries are browsers without a
// view), the one the command came from: whose window is or holds `explorerWindow`;
// failing that the one visible; a single view in any case; else none, never a guess
// among tabs.
ComPtr<IShellView> ChooseShellView(const std::vector<ComPtr<IShellView>>& views,
                                   HWND explorerWindow);

// Tests put a list of their own in place of the shell's browsers of a window: the views
// of those whose window is `top` or `explorerWindow`.
using ShellViewsLister = std::vector<ComPtr<IShellView>> (*)(HWND top, HWND explorerWindow);
ShellViewsLister SetShellViewsLister(ShellViewsLister lister);

// Tests put a finder of their own in place of the shell's list of windows.
using ShellViewFinder = ComPtr<IShellView> (*)(HWND explorerWindow);
ShellViewFinder SetShellViewFinder(ShellViewFinder finder);

class ShellViewSource : public ListSource {
public:
    // Reads the visible columns and the items of `view` once; null when the view lacks
    // the folder view, the column manager or the folder, or any of them refuses.
    static std::unique_ptr<ShellViewSource> Open(IShellView* view);

    // Columns: 0 is the name column, wherever it stands; the others follow the display
    // order.
    int GetColumnCount() override;
    int GetDisplayPosition(int column) override;
    int GetColumnAtPosition(int position) override;
    std::string GetHeaderText(int column) override;
    int GetColumnWidth(int column) override;
    int GetItemCount() override;
    std::string GetItemText(int item, int column) override;

private:
    struct Column {
        PROPERTYKEY key;
        std::string caption;
        int width;
        int detailIndex; // the folder's column of the same key, or -1
    };

    ShellViewSource() = default;
    bool ReadColumns(IColumnManager* manager);
    bool ReadItems(IFolderView* folderView);
    void MapDetailColumns();
    // Column index and display position are the same but for the name column, which is
    // column 0: its position and 0 swap places.
    int Swap(int index) const;

    ComPtr<IShellFolder2> folder_;
    std::vector<Column> columns_; // in display order
    int namePosition_ = 0;
    std::vector<UniqueIdList> items_; // in view order, relative to the folder
};

} // namespace rb
