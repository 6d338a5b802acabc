#include "ui/page.h"

#include "com/module.h"

namespace rb {

Page::~Page() {
    if (window_ && IsWindow(window_))
        DestroyWindow(window_);
}

bool Page::Create(HWND parent) {
    window_ = nullptr;
    HWND made = CreateDialogParamA(ModuleInstance(), MAKEINTRESOURCEA(templateId_), parent,
                                   &Page::Procedure, reinterpret_cast<LPARAM>(this));
    return made != nullptr;
}

void Page::Focus() {
    if (!window_)
        return;
    // Through the dialog, which keeps its default button and focus bookkeeping right.
    if (HWND first = GetNextDlgTabItem(window_, nullptr, FALSE))
        SendMessageA(GetParent(window_), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(first), TRUE);
}

void Page::StartLayout() {
    layout_.Start(window_);
    for (HWND child = GetWindow(window_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT place = {};
        GetWindowRect(child, &place);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&place), 2);
        layout_.Add(child, AnchorsOf(child, place));
    }
}

unsigned Page::AnchorsOf(HWND control, const RECT& place) {
    char kind[16] = {};
    GetClassNameA(control, kind, sizeof kind);
    const bool groupBox = lstrcmpiA(kind, "Button") == 0 &&
                          (GetWindowLongPtrA(control, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
    return groupBox && place.left <= 0 && place.top <= 0 ? kGrow : kStay;
}

INT_PTR Page::OnMessage(UINT message, WPARAM wParam, LPARAM) {
    // The pages' own OK and Cancel buttons are hidden; Enter and Escape do nothing here.
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL))
        return TRUE;
    return FALSE;
}

INT_PTR CALLBACK Page::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Page* page = nullptr;
    if (message == WM_INITDIALOG) {
        page = reinterpret_cast<Page*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        page->window_ = window;
    } else {
        page = reinterpret_cast<Page*>(GetWindowLongPtrA(window, DWLP_USER));
    }
    if (!page)
        return FALSE;
    // Nothing may reach the system's message loop, which is Explorer's.
    try {
        if (message == WM_SIZE)
            page->layout_.Follow();
        INT_PTR result = message == WM_INITDIALOG ? page->OnInitDialog()
                                                  : page->OnMessage(message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrA(window, DWLP_USER, 0);
            page->window_ = nullptr;
        }
        return result;
    } catch (...) {
        return FALSE;
    }
}

} // namespace rb
