#include "ui/ui_scale.h"

namespace rb {

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

int ScaleForDpi(int pixels) {
    return MulDiv(pixels, ScreenDpi(), 96);
}

int SmallIconSize() {
    int size = GetSystemMetrics(SM_CXSMICON);
    return size > 0 ? size : 16;
}

HBITMAP StretchedBitmap(HBITMAP source, int width, int height, bool smooth) {
    BITMAP facts = {};
    if (!source || width <= 0 || height <= 0 || !GetObjectW(source, sizeof facts, &facts))
        return nullptr;
    HDC screen = GetDC(nullptr);
    HDC from = CreateCompatibleDC(screen);
    HDC to = CreateCompatibleDC(screen);
    HBITMAP target = CreateCompatibleBitmap(screen, width, height);
    if (from && to && target) {
        HGDIOBJ oldFrom = SelectObject(from, source);
        HGDIOBJ oldTo = SelectObject(to, target);
        SetStretchBltMode(to, smooth ? HALFTONE : COLORONCOLOR);
        SetBrushOrgEx(to, 0, 0, nullptr);
        StretchBlt(to, 0, 0, width, height, from, 0, 0, facts.bmWidth, facts.bmHeight, SRCCOPY);
        SelectObject(to, oldTo);
        SelectObject(from, oldFrom);
    } else if (target) {
        DeleteObject(target);
        target = nullptr;
    }
    if (to)
        DeleteDC(to);
    if (from)
        DeleteDC(from);
    ReleaseDC(nullptr, screen);
    return target;
}

void ReplaceStaticBitmap(HWND control, HBITMAP bitmap) {
    HBITMAP previous = reinterpret_cast<HBITMAP>(
        SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
    if (previous && previous != bitmap)
        DeleteObject(previous);
}

} // namespace rb
