#include "ui/main_dialog_entry.h"

#include "columns/option_store.h"
#include "ui/main_dialog.h"

namespace rb {

namespace {

INT_PTR RunRealDialog(HWND explorerWindow, HWND owner) {
    MainDialog dialog(explorerWindow);
    return dialog.RunModal(owner);
}

MainDialogRunner runner = &RunRealDialog;

} // namespace

INT_PTR RunMainDialog(HWND explorerWindow, HWND owner) {
    return runner(explorerWindow, owner);
}

int RunMainDialogStandalone(int templateId) {
    LoadOptions();
    MainDialog dialog(nullptr);
    return static_cast<int>(dialog.RunModal(GetActiveWindow(), templateId));
}

MainDialogRunner SetMainDialogRunner(MainDialogRunner replacement) {
    MainDialogRunner previous = runner;
    runner = replacement ? replacement : &RunRealDialog;
    return previous;
}

} // namespace rb
