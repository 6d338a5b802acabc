// The ways into the main dialog: the context-menu command and the exported function.
#pragma once

#include <windows.h>

namespace rb {

// Runs the main dialog modally for an Explorer window; returns the dialog's result.
INT_PTR RunMainDialog(HWND explorerWindow, HWND owner);

// DoRubrikatorDlg: reloads the options and runs the dialog without an Explorer window.
// Returns the dialog's result, -1 when it could not be made (`templateId` is for tests).
int RunMainDialogStandalone(int templateId = 129);

} // namespace rb
