// Popup menus with a small icon beside each item that has one. Items get the
// callback bitmap; the owner window passes WM_MEASUREITEM and WM_DRAWITEM on to here.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <map>

namespace rb {

class MenuRenderer {
public:
    MenuRenderer();
    ~MenuRenderer();
    MenuRenderer(const MenuRenderer&) = delete;
    MenuRenderer& operator=(const MenuRenderer&) = delete;

    // The icon shown beside items with `command` (copied into the renderer's image list;
    // the icon itself must live as long as the renderer).
    void SetIcon(UINT command, HICON icon);
    // Icons at the small icon size of `dpi` (the owner moved to another monitor).
    void SetScale(int dpi);
    bool HasIcon(UINT command) const { return images_.count(command) != 0; }

    // Gives the items of `menu` and its submenus that have an icon the callback bitmap.
    void Prepare(HMENU menu) const;

    // Shows `menu` with its top-left corner at `corner` (screen coordinates) and returns
    // the chosen command, 0 when dismissed. The right mouse button chooses as well.
    UINT Track(HMENU menu, POINT corner, HWND owner) const;

    // For the owner's window procedure: true when the message was a menu item's.
    bool MeasureItem(MEASUREITEMSTRUCT* item) const;
    bool DrawItem(const DRAWITEMSTRUCT* item) const;

    // The icons' size: the system's small icon size, or that of the last SetScale.
    int IconSize() const { return size_; }

private:
    int size_;
    int gap_; // between icon and text
    HIMAGELIST list_ = nullptr;
    std::map<UINT, int> images_;  // command id -> image
    std::map<UINT, HICON> icons_; // command id -> the icon given, for another scale
};

// Tests replace the tracking of popup menus to choose an item without a mouse.
using PopupChooser = UINT (*)(HMENU menu, POINT corner, HWND owner);
PopupChooser SetPopupChooser(PopupChooser chooser);

} // namespace rb
