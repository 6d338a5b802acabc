#include "common/shell_open.h"

#include <windows.h>
#include <shellapi.h>

namespace rb {

namespace {

void OpenWithShell(const std::string& target, int showCommand) {
    ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, showCommand);
}

ShellOpenFunction openFunction = &OpenWithShell;

} // namespace

void ShellOpen(const std::string& target, int showCommand) {
    openFunction(target, showCommand);
}

ShellOpenFunction SetShellOpenFunction(ShellOpenFunction replacement) {
    ShellOpenFunction previous = openFunction;
    openFunction = replacement ? replacement : &OpenWithShell;
    return previous;
}

} // namespace rb
