// The Explorer file list: finding it under an Explorer window and reading it.
#pragma once

#include <windows.h>

#include "export/list_source.h"

namespace rb {

// Depth first over the window and its children in Z order: the first window whose
// class name (first 31 characters) equals `className`.
HWND FindWindowOfClass(HWND window, const char* className);

// The SysListView32 inside the SHELLDLL_DefView under `explorerWindow`, or null.
HWND FindExplorerListView(HWND explorerWindow);

// A list-view control of this process, read with list-view and header messages.
class ListViewSource : public ListSource {
public:
    explicit ListViewSource(HWND list) : list_(list) {}
    HWND Window() const { return list_; }

    int GetColumnCount() override;
    int GetDisplayPosition(int column) override;
    int GetColumnAtPosition(int position) override;
    std::string GetHeaderText(int column) override;
    int GetColumnWidth(int column) override;
    int GetItemCount() override;
    std::string GetItemText(int item, int column) override;

private:
    HWND Header() const;
    HWND list_;
};

} // namespace rb
