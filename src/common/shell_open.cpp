#include "common/shell_open.h"

#include "common/win_text.h"

#include <shellapi.h>

namespace rb {

namespace {

bool OpenWithShell(HWND owner, const std::wstring& target, int showCommand) {
    HINSTANCE result = ShellExecuteW(owner, L"open", target.c_str(), nullptr, nullptr, showCommand);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

ShellOpenFunction openFunction = &OpenWithShell;

} // namespace

bool ShellOpen(HWND owner, const std::wstring& target, int showCommand) {
    return openFunction(owner, target, showCommand);
}

bool ShellOpen(HWND owner, const std::string& target, int showCommand) {
    return openFunction(owner, AnsiToWide(target), showCommand);
}

ShellOpenFunction SetShellOpenFunction(ShellOpenFunction replacement) {
    ShellOpenFunction previous = openFunction;
    openFunction = replacement ? replacement : &OpenWithShell;
    return previous;
}

} // namespace rb
