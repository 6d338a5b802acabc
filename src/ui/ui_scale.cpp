#include "ui/ui_scale.h"

namespace rb {

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

namespace {

// A function of user32 that Windows 10 brought, or null; looked up when asked (the dialog
// asks a few times while it lays itself out).
template <typename Fn> Fn User32(const char* name) {
    HMODULE user = GetModuleHandleW(L"user32.dll");
    return reinterpret_cast<Fn>(
        reinterpret_cast<void (*)()>(user ? GetProcAddress(user, name) : nullptr));
}

} // namespace

int WindowDpi(HWND window) {
    auto dpiForWindow = User32<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    UINT dpi = window && dpiForWindow ? dpiForWindow(window) : 0;
    return dpi ? static_cast<int>(dpi) : ScreenDpi();
}

int ScaleTo(int pixels, int dpi) {
    return MulDiv(pixels, dpi > 0 ? dpi : 96, 96);
}

int ScaleForDpi(int pixels) {
    return ScaleTo(pixels, ScreenDpi());
}

int SmallIconSizeAt(int dpi) {
    auto metricsForDpi = User32<int(WINAPI*)(int, UINT)>("GetSystemMetricsForDpi");
    int size = metricsForDpi ? metricsForDpi(SM_CXSMICON, static_cast<UINT>(dpi))
                             : MulDiv(GetSystemMetrics(SM_CXSMICON), dpi, ScreenDpi());
    return size > 0 ? size : ScaleTo(16, dpi);
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
