// The one way the module asks the shell to open a file or link ("open" verb), so that
// tests can record the request instead of starting a program.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>

namespace rb {

// ShellExecuteW(owner, "open", target, no parameters, no directory, showCommand); true
// when the shell took the request (a result above 32).
bool ShellOpen(HWND owner, const std::wstring& target, int showCommand);
// A target in the ANSI code page (links, the help page).
bool ShellOpen(HWND owner, const std::string& target, int showCommand);

using ShellOpenFunction = bool (*)(HWND owner, const std::wstring& target, int showCommand);
ShellOpenFunction SetShellOpenFunction(ShellOpenFunction replacement);

// The shell's default verb on an item of any kind (a file, a .zip, a Control Panel item), as
// a double-click in Explorer: ShellExecuteEx with the absolute ID list `item`.
bool ShellOpenItem(HWND owner, LPCITEMIDLIST item);

using ShellOpenItemFunction = bool (*)(HWND owner, LPCITEMIDLIST item);
ShellOpenItemFunction SetShellOpenItemFunction(ShellOpenItemFunction replacement);

} // namespace rb
