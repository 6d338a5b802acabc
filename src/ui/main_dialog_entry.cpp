#include "ui/main_dialog_entry.h"

namespace rb {

namespace {

// The main dialog itself is not part of the module yet: nothing opens.
INT_PTR NoDialog(HWND, HWND) {
    return 0;
}

MainDialogRunner runner = &NoDialog;

} // namespace

INT_PTR RunMainDialog(HWND explorerWindow, HWND owner) {
    return runner(explorerWindow, owner);
}

int RunMainDialogStandalone() {
    return -1;
}

MainDialogRunner SetMainDialogRunner(MainDialogRunner replacement) {
    MainDialogRunner previous = runner;
    runner = replacement ? replacement : &NoDialog;
    return previous;
}

} // namespace rb
