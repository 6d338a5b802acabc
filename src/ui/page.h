// A page of the main dialog: a modeless dialog from its own template, which the main
// dialog turns into a child and embeds.
#pragma once

#include <windows.h>

#include "ui/dialog_layout.h"

namespace rb {

class Page {
public:
    explicit Page(int templateId) : templateId_(templateId) {}
    virtual ~Page();
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;

    // Creates the page's window with `parent` as its owner; false when it cannot be made.
    bool Create(HWND parent);
    HWND Window() const { return window_; }
    HWND Item(int id) const { return GetDlgItem(window_, id); }

    // Called by the main dialog before its window goes (the page window still exists).
    virtual void OnClosing() {}
    // Gives the keyboard focus to the page's first control, as the main dialog shows it.
    virtual void Focus();
    // What the page sizes in pixels itself, for `dpi` (the dialog moved to another monitor).
    virtual void SetScale(int /*dpi*/) {}
    // From the page's size and places now, its controls follow its size: the frame grows,
    // the rest as AnchorsOf says.
    void StartLayout();
    ControlLayout& Layout() { return layout_; }

protected:
    // The page's messages after WM_INITDIALOG; what a dialog procedure returns.
    virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnInitDialog() { return TRUE; }
    // How a control (at `place` in the page) follows the page's size; by default only the
    // page's frame grows.
    virtual unsigned AnchorsOf(HWND control, const RECT& place);

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    int templateId_;
    HWND window_ = nullptr;
    ControlLayout layout_;
};

} // namespace rb
