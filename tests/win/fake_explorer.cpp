#include "fake_explorer.h"

#include <commctrl.h>

namespace rbtest {

namespace {

ATOM RegisterClassOnce(const char* name) {
    WNDCLASSA cls = {};
    cls.lpfnWndProc = DefWindowProcA;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.lpszClassName = name;
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    ATOM atom = RegisterClassA(&cls);
    return atom ? atom : 1;
}

} // namespace

FakeExplorer::FakeExplorer(bool withView) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    RegisterClassOnce("ExploreWClass");
    RegisterClassOnce("SHELLDLL_DefView");
    frame_ = CreateWindowExA(0, "ExploreWClass", "Explorer", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                             800, 600, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    // Siblings first, so the search has something to walk past.
    CreateWindowExA(0, "STATIC", "address", WS_CHILD | WS_VISIBLE, 0, 0, 800, 20, frame_, nullptr,
                    nullptr, nullptr);
    HWND parent = frame_;
    if (withView) {
        view_ = CreateWindowExA(0, "SHELLDLL_DefView", "", WS_CHILD | WS_VISIBLE, 0, 20, 800, 580,
                                frame_, nullptr, GetModuleHandleA(nullptr), nullptr);
        parent = view_;
    }
    list_ = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 800, 580,
                            parent, nullptr, nullptr, nullptr);
}

FakeExplorer::~FakeExplorer() {
    if (frame_)
        DestroyWindow(frame_);
}

void FakeExplorer::SetColumns(const std::vector<FakeColumn>& columns) {
    for (const FakeColumn& column : columns) {
        LVCOLUMNA info = {};
        info.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        info.pszText = const_cast<char*>(column.caption.c_str());
        info.cx = column.width;
        info.iSubItem = columns_;
        SendMessageA(list_, LVM_INSERTCOLUMNA, static_cast<WPARAM>(columns_),
                     reinterpret_cast<LPARAM>(&info));
        // Insertion may widen a column to fit its caption; the width asked for wins.
        SendMessageA(list_, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(columns_), column.width);
        ++columns_;
    }
}

void FakeExplorer::SetOrder(const std::vector<int>& order) {
    SendMessageA(list_, LVM_SETCOLUMNORDERARRAY, order.size(),
                 reinterpret_cast<LPARAM>(order.data()));
}

void FakeExplorer::AddRows(const std::vector<std::vector<std::string>>& rows) {
    int item = static_cast<int>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0));
    // No painting while filling; room for all items at once.
    SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list_, LVM_SETITEMCOUNT, static_cast<WPARAM>(item + rows.size()), 0);
    for (const auto& row : rows) {
        LVITEMA info = {};
        info.mask = LVIF_TEXT;
        info.iItem = item;
        info.pszText = const_cast<char*>(row.empty() ? "" : row[0].c_str());
        int index = static_cast<int>(
            SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&info)));
        for (size_t column = 1; column < row.size(); ++column) {
            LVITEMA sub = {};
            sub.iSubItem = static_cast<int>(column);
            sub.pszText = const_cast<char*>(row[column].c_str());
            SendMessageA(list_, LVM_SETITEMTEXTA, static_cast<WPARAM>(index),
                         reinterpret_cast<LPARAM>(&sub));
        }
        ++item;
    }
    SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
}

void FakeExplorer::SelectItem(int item) {
    LVITEMA state = {};
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    SendMessageA(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(item),
                 reinterpret_cast<LPARAM>(&state));
}

} // namespace rbtest
