// The one way the module asks the shell to open a file or link ("open" verb), so that
// tests can record the request instead of starting a program.
#pragma once

#include <string>

namespace rb {

// ShellExecuteA(no owner, "open", target, no parameters, no directory, showCommand).
void ShellOpen(const std::string& target, int showCommand);

using ShellOpenFunction = void (*)(const std::string& target, int showCommand);
ShellOpenFunction SetShellOpenFunction(ShellOpenFunction replacement);

} // namespace rb
