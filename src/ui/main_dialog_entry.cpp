#include "ui/main_dialog_entry.h"

#include "columns/option_store.h"
#include "ui/main_dialog.h"

namespace rb {

INT_PTR RunMainDialog(HWND explorerWindow, HWND owner) {
    MainDialog dialog(explorerWindow);
    return dialog.RunModal(owner);
}

int RunMainDialogStandalone(int templateId) {
    LoadOptions();
    MainDialog dialog(nullptr);
    return static_cast<int>(dialog.RunModal(GetActiveWindow(), templateId));
}

} // namespace rb
