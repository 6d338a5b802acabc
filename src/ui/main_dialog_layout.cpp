// The main dialog as a window that grows: which controls follow its size, its smallest
// size, and the size kept for the next opening.
#include "ui/main_dialog.h"

#include "columns/option_store.h"
#include "columns/options.h"

namespace rb {

namespace {

// Pixels for `units` dialog units across (x) or down (y) in `dialog`.
SIZE DialogUnitsToPixels(HWND dialog, LONG x, LONG y) {
    RECT r = {0, 0, x, y};
    MapDialogRect(dialog, &r);
    return {r.right, r.bottom};
}

SIZE PixelsToDialogUnits(HWND dialog, LONG x, LONG y) {
    RECT unit = {0, 0, 400, 800}; // a hundred base units, for the rounding
    MapDialogRect(dialog, &unit);
    if (unit.right <= 0 || unit.bottom <= 0)
        return {0, 0};
    return {MulDiv(x, 400, unit.right), MulDiv(y, 800, unit.bottom)};
}

} // namespace

void MainDialog::StartLayout() {
    // Banner, toolbar place and page origin stay; the toolbar and the lines grow wider,
    // the pages with the window, the version line goes down.
    RECT client = {};
    GetClientRect(window_, &client);
    layout_.Start(window_);
    RECT version = {};
    GetWindowRect(GetDlgItem(window_, IDC_VERSION_TEXT), &version);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&version), 2);
    for (HWND child = GetWindow(window_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT place = {};
        GetWindowRect(child, &place);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&place), 2);
        bool page = false;
        for (Page* each : Pages())
            page = page || each->Window() == child;
        const int id = GetDlgCtrlID(child);
        unsigned anchors = kStay;
        if (page)
            anchors = kGrow;
        else if (child == toolbar_)
            anchors = kRightEdge;
        else if (place.top >= version.top - 2 && id != IDC_BANNER)
            anchors = id == IDC_VERSION_TEXT ? kTopBottom : kTopBottom | kRightEdge;
        else if (id == -1 || id == 0xFFFF)
            anchors = kRightEdge; // the line under the banner
        layout_.Add(child, anchors);
    }
    for (Page* page : Pages())
        if (page->Window())
            page->StartLayout();
    RECT window = {};
    GetWindowRect(window_, &window);
    smallest_ = {window.right - window.left, window.bottom - window.top};
}

void MainDialog::RestoreSize() {
    const int width = ReadIntOption(kOptDialogBreite, 0);
    const int height = ReadIntOption(kOptDialogHoehe, 0);
    RECT window = {}, client = {};
    GetWindowRect(window_, &window);
    GetClientRect(window_, &client);
    if (width > 0 && height > 0 && width <= 10000 && height <= 10000) {
        SIZE pixels = DialogUnitsToPixels(window_, width, height);
        // The frame around the client area stays as it is.
        LONG frameX = (window.right - window.left) - client.right;
        LONG frameY = (window.bottom - window.top) - client.bottom;
        LONG cx = pixels.cx + frameX, cy = pixels.cy + frameY;
        if (cx < smallest_.cx)
            cx = smallest_.cx;
        if (cy < smallest_.cy)
            cy = smallest_.cy;
        // Never larger than the screen it opens on.
        MONITORINFO monitor = {};
        monitor.cbSize = sizeof monitor;
        if (GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST), &monitor)) {
            const RECT& work = monitor.rcWork;
            if (cx > work.right - work.left)
                cx = work.right - work.left > smallest_.cx ? work.right - work.left : smallest_.cx;
            if (cy > work.bottom - work.top)
                cy = work.bottom - work.top > smallest_.cy ? work.bottom - work.top : smallest_.cy;
        }
        SetWindowPos(window_, nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void MainDialog::KeepSize() {
    // The size it has when not maximised, in dialog units: right at any text scale.
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(window_, &placement))
        return;
    RECT window = {}, client = {};
    GetWindowRect(window_, &window);
    GetClientRect(window_, &client);
    const bool maximised = IsZoomed(window_) != FALSE;
    LONG cx = client.right, cy = client.bottom;
    if (maximised) {
        const RECT& normal = placement.rcNormalPosition;
        cx = (normal.right - normal.left) - ((window.right - window.left) - client.right);
        cy = (normal.bottom - normal.top) - ((window.bottom - window.top) - client.bottom);
    }
    SIZE units = PixelsToDialogUnits(window_, cx, cy);
    WriteIntOption(kOptDialogBreite, units.cx);
    WriteIntOption(kOptDialogHoehe, units.cy);
    WriteIntOption(kOptDialogMaximiert, maximised ? 1 : 0);
}

void MainDialog::ScaleLayout(int from, int to) {
    layout_.Scale(from, to);
    for (Page* page : Pages())
        page->Layout().Scale(from, to);
    smallest_ = {MulDiv(smallest_.cx, to, from), MulDiv(smallest_.cy, to, from)};
    layout_.Follow();
}

} // namespace rb
