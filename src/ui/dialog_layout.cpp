#include "ui/dialog_layout.h"

namespace rb {

void ControlLayout::Start(HWND window) {
    window_ = window;
    controls_.clear();
    RECT client = {};
    GetClientRect(window, &client);
    start_ = {client.right, client.bottom};
}

void ControlLayout::Add(HWND control, unsigned anchors) {
    if (!control || !window_)
        return;
    RECT place = {};
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&place), 2);
    controls_.push_back({control, place, anchors});
}

void ControlLayout::Scale(int from, int to) {
    if (from <= 0 || from == to)
        return;
    start_ = {MulDiv(start_.cx, to, from), MulDiv(start_.cy, to, from)};
    for (Placed& placed : controls_) {
        RECT& r = placed.start;
        r = {MulDiv(r.left, to, from), MulDiv(r.top, to, from), MulDiv(r.right, to, from),
             MulDiv(r.bottom, to, from)};
    }
}

void ControlLayout::Follow() const {
    RECT client = {};
    if (!window_ || !GetClientRect(window_, &client) || controls_.empty())
        return;
    // Never smaller than the start: the window's smallest size is that one.
    const LONG dx = client.right > start_.cx ? client.right - start_.cx : 0;
    const LONG dy = client.bottom > start_.cy ? client.bottom - start_.cy : 0;
    for (const Placed& placed : controls_) {
        RECT place = placed.start;
        if (placed.anchors & kLeftRight)
            OffsetRect(&place, dx, 0);
        if (placed.anchors & kTopBottom)
            OffsetRect(&place, 0, dy);
        if (placed.anchors & kRightEdge)
            place.right += dx;
        if (placed.anchors & kBottomEdge)
            place.bottom += dy;
        SetWindowPos(placed.control, nullptr, place.left, place.top, place.right - place.left,
                     place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // A group box drawn at its old size would leave its frame behind.
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

} // namespace rb
