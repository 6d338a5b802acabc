// An Explorer-like window for tests and benchmarks: a frame holding a SHELLDLL_DefView
// child, which holds a SysListView32 in report view.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace rbtest {

struct FakeColumn {
    std::string caption;
    int width;
};

class FakeExplorer {
public:
    // Without `withView` the list sits directly in the frame (no SHELLDLL_DefView).
    explicit FakeExplorer(bool withView = true);
    ~FakeExplorer();
    FakeExplorer(const FakeExplorer&) = delete;
    FakeExplorer& operator=(const FakeExplorer&) = delete;

    HWND Frame() const { return frame_; }
    HWND View() const { return view_; }
    HWND List() const { return list_; }

    void SetColumns(const std::vector<FakeColumn>& columns);
    void SetOrder(const std::vector<int>& order);
    void AddRows(const std::vector<std::vector<std::string>>& rows);
    void SelectItem(int item);

private:
    HWND frame_ = nullptr;
    HWND view_ = nullptr;
    HWND list_ = nullptr;
    int columns_ = 0;
};

} // namespace rbtest
