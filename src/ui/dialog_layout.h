// Controls that follow a window's size: each keeps its place or goes with the right and
// bottom edges, as its anchors say; the sizes the window was made at are the smallest.
#pragma once

#include <windows.h>

#include <vector>

namespace rb {

// Which edges of a control go with the window's right and bottom edges.
enum Anchor : unsigned {
    kStay = 0,
    kLeftRight = 1,  // moves right (left and right edge)
    kTopBottom = 2,  // moves down (top and bottom edge)
    kRightEdge = 4,  // grows wider
    kBottomEdge = 8, // grows taller
    kGrow = kRightEdge | kBottomEdge,
};

class ControlLayout {
public:
    // Takes `window`'s client size and the places of the controls added after as they are
    // now: the layout they follow from. Controls added before are dropped.
    void Start(HWND window);
    void Add(HWND control, unsigned anchors);
    // The controls' places for the window's client size now.
    void Follow() const;
    // The places it starts from, grown by `to` / `from` (another scale of text).
    void Scale(int from, int to);
    // The client size the layout started from.
    SIZE StartSize() const { return start_; }

private:
    struct Placed {
        HWND control;
        RECT start; // in the window's client coordinates
        unsigned anchors;
    };
    HWND window_ = nullptr;
    SIZE start_ = {};
    std::vector<Placed> controls_;
};

} // namespace rb
