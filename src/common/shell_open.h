// The one way the module asks the shell to open a file or link ("open" verb), so that
// tests can record the request instead of starting a program.
#pragma once

#include <windows.h>

#include <string>

namespace rb {

// ShellExecuteW(owner, "open", target, no parameters, no directory, showCommand); true
// when the shell took the request (a result above 32).
bool ShellOpen(HWND owner, const std::wstring& target, int showCommand);
// A target in the ANSI code page (links, the help page).
bool ShellOpen(HWND owner, const std::string& target, int showCommand);

using ShellOpenFunction = bool (*)(HWND owner, const std::wstring& target, int showCommand);
ShellOpenFunction SetShellOpenFunction(ShellOpenFunction replacement);

} // namespace rb
