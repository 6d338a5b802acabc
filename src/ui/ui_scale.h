// The user's text scale, for what does not grow with the dialog's font by itself:
// pictures, image lists and list columns given in pixels.
#pragma once

#include <windows.h>

namespace rb {

// Pixels per inch of the screen: 96 at 100 %, 144 at 150 %, 192 at 200 %.
int ScreenDpi();
// Pixels per inch of the monitor that shows `window` (Windows 10 on, where Explorer is
// aware of each monitor's scale: looked up at run time); elsewhere the screen's.
int WindowDpi(HWND window);
// `pixels` meant for 96 dpi, at `dpi`.
int ScaleTo(int pixels, int dpi);
// `pixels` meant for 96 dpi, at the screen's.
int ScaleForDpi(int pixels);
// The system's small icon size (SM_CXSMICON) at `dpi`: toolbar and menu images.
int SmallIconSizeAt(int dpi);
int SmallIconSize();

// A copy of `source` stretched to `width` x `height`; `smooth` blends neighbouring pixels
// (for photographs and banners), else each pixel is repeated (for masked pictures, whose
// mask colour must stay exact). Null on failure; the caller deletes it.
HBITMAP StretchedBitmap(HBITMAP source, int width, int height, bool smooth);

// Shows `bitmap` in the static control and deletes the picture it showed before (the one
// it loaded from the template, say), which a static control never frees once replaced.
void ReplaceStaticBitmap(HWND control, HBITMAP bitmap);

} // namespace rb
