// The main dialog opened for real on the test's thread and worked from a second one.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace rbtest {

HWND WaitForMainDialog();
HWND MainToolbar(HWND dialog);
bool ButtonChecked(HWND dialog, UINT command);

// The page shown: 'i'nfo, 'c'olumns, 'n'otes, 'd'etails, or '-' for none or several.
char VisiblePage(HWND dialog);
// The page window that holds a control with `id`.
HWND PageWithItem(HWND dialog, int id);

// Opens the dialog as DoRubrikatorDlg does (options loaded, no Explorer window), runs
// `drive` on another thread with the dialog's window, and returns the dialog's result.
INT_PTR OpenStandalone(const std::function<void(HWND dialog)>& drive);

// Points the user's documents folder somewhere else for the life of the object.
class DocumentsFolder {
public:
    explicit DocumentsFolder(const std::wstring& folder);
    ~DocumentsFolder();
    DocumentsFolder(const DocumentsFolder&) = delete;
    DocumentsFolder& operator=(const DocumentsFolder&) = delete;

private:
    std::wstring previous_;
    bool hadValue_ = false;
};

// Types `text` into `control` as WM_CHAR messages ("\r" for Enter).
void Type(HWND control, const std::string& text);

} // namespace rbtest
