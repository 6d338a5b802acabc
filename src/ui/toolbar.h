// The main dialog's toolbar: the buttons of toolbar resource 128 with their texts and
// images, and the keyboard (arrows move between the buttons, Enter or Space presses one).
#pragma once

#include <windows.h>
#include <commctrl.h>

namespace rb {

class MainToolbar {
public:
    MainToolbar() = default;
    ~MainToolbar();
    MainToolbar(const MainToolbar&) = delete;
    MainToolbar& operator=(const MainToolbar&) = delete;

    // Makes the toolbar in `place` (client coordinates of `dialog`), its images at the
    // small icon size of `dpi`; "Liste" enabled when `exportEnabled`. Null on failure.
    HWND Create(HWND dialog, const RECT& place, HICON programIcon, bool exportEnabled, int dpi);
    // Images and button sizes for another scale (the window moved to another monitor).
    void SetScale(int dpi);

private:
    HWND toolbar_ = nullptr;
    RECT place_ = {};
    HICON programIcon_ = nullptr;
    HIMAGELIST images_ = nullptr;
};

// The command that pressing button `index` gives; 0 for a separator, a disabled button
// (one disabled while the keyboard marked it) or no button at all.
UINT PressedCommand(HWND toolbar, int index);

// The toolbar strip at `size` pixels an image: drawn at 16, 24 and 32; for other sizes the
// next larger one (or the largest), each pixel repeated so that the grey that marks the
// transparent parts stays exact.
HBITMAP ToolbarStrip(int size);

} // namespace rb
