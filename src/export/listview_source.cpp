#include "export/listview_source.h"

#include <commctrl.h>
#include <cstring>
#include <new>
#include <vector>

namespace rb {

HWND FindWindowOfClass(HWND window, const char* className) {
    if (!window)
        return nullptr;
    char name[32] = {};
    GetClassNameA(window, name, sizeof name);
    if (std::strncmp(name, className, sizeof name) == 0)
        return window;
    for (HWND child = GetTopWindow(window); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (HWND found = FindWindowOfClass(child, className))
            return found;
    }
    return nullptr;
}

HWND FindExplorerListView(HWND explorerWindow) {
    HWND view = FindWindowOfClass(explorerWindow, "SHELLDLL_DefView");
    return view ? FindWindowOfClass(view, "SysListView32") : nullptr;
}

HWND ListViewSource::Header() const {
    return reinterpret_cast<HWND>(SendMessageA(list_, LVM_GETHEADER, 0, 0));
}

int ListViewSource::GetColumnCount() {
    HWND header = Header();
    return header ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

int ListViewSource::GetDisplayPosition(int column) {
    int count = GetColumnCount();
    if (column < 0 || column >= count)
        return column;
    std::vector<int> order(static_cast<size_t>(count) + 1, -1);
    if (!SendMessageA(list_, LVM_GETCOLUMNORDERARRAY, static_cast<WPARAM>(count),
                      reinterpret_cast<LPARAM>(order.data())))
        return column;
    for (int position = 0; position < count; ++position)
        if (order[position] == column)
            return position;
    return column;
}

int ListViewSource::GetColumnAtPosition(int position) {
    HWND header = Header();
    if (!header)
        return position;
    return static_cast<int>(
        SendMessageA(header, HDM_ORDERTOINDEX, static_cast<WPARAM>(position), 0));
}

std::string ListViewSource::GetHeaderText(int column) {
    HWND header = Header();
    if (!header)
        return std::string();
    char text[512] = {};
    HDITEMA item = {};
    item.mask = HDI_WIDTH | HDI_TEXT;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(header, HDM_GETITEMA, static_cast<WPARAM>(column),
                 reinterpret_cast<LPARAM>(&item));
    text[sizeof text - 1] = '\0';
    return text;
}

int ListViewSource::GetColumnWidth(int column) {
    return static_cast<int>(
        SendMessageA(list_, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

int ListViewSource::GetItemCount() {
    return static_cast<int>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0));
}

std::string ListViewSource::GetItemText(int item, int column) {
    // The first try fits most cells and needs no allocation of its own.
    char first[256];
    std::vector<char> grown;
    char* buffer = first;
    for (int size = 256;; size *= 2) {
        if (size > 256) {
            try {
                grown.assign(static_cast<size_t>(size) + 1, '\0');
            } catch (const std::bad_alloc&) {
                return std::string();
            }
            buffer = grown.data();
        }
        buffer[0] = '\0';
        buffer[size - 1] = '\0';
        LVITEMA request = {};
        request.iSubItem = column;
        request.pszText = buffer;
        request.cchTextMax = size;
        int length =
            static_cast<int>(SendMessageA(list_, LVM_GETITEMTEXTA, static_cast<WPARAM>(item),
                                          reinterpret_cast<LPARAM>(&request)));
        if (length < size - 1 || size > (1 << 28))
            break;
    }
    return std::string(buffer, strnlen(buffer, buffer == first ? sizeof first : grown.size()));
}

} // namespace rb
