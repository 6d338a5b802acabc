// The "&Rubrikator" entry of the context menu and its command.
#pragma once

#include <windows.h>
#include <shlobj.h>

namespace rb {

constexpr const char* kMenuText = "&Rubrikator";
constexpr const char* kMenuHelpText = "Deine Liebste Spalte";

// What the command opens: the main dialog for the Explorer window it came from, with
// `owner` as owner. The dialog lives in a layer above this one: the module hands it down
// at start-up (tests hand down a recorder). Without one the command does nothing.
using MainDialogOpener = INT_PTR (*)(HWND explorerWindow, HWND owner);
MainDialogOpener SetMainDialogOpener(MainDialogOpener opener);

// Returns the number of command ids used, 0 or 1.
UINT AddContextMenuEntry(HMENU menu, UINT index, UINT firstId, UINT flags, HBITMAP bitmap);
HRESULT InvokeContextMenuCommand(const CMINVOKECOMMANDINFO* info);
HRESULT ContextMenuCommandString(UINT_PTR command, UINT type, CHAR* buffer, UINT size);

} // namespace rb
