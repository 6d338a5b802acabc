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

bool OpenItemWithShell(HWND owner, LPCITEMIDLIST item) {
    SHELLEXECUTEINFOW request = {};
    request.cbSize = sizeof request;
    request.fMask = SEE_MASK_IDLIST | SEE_MASK_INVOKEIDLIST;
    request.hwnd = owner;
    request.lpIDList = const_cast<LPITEMIDLIST>(item);
    request.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&request) != FALSE;
}

ShellOpenItemFunction openItemFunction = &OpenItemWithShell;

} // namespace

bool ShellOpen(HWND owner, const std::wstring& target, int showCommand) {
    return openFunction(owner, target, showCommand);
}

bool ShellOpen(HWND owner, const std::string& target, int showCommand) {
    return openFunction(owner, AnsiToWide(target), showCommand);
}

bool ShellOpenItem(HWND owner, LPCITEMIDLIST item) {
    return item && openItemFunction(owner, item);
}

ShellOpenItemFunction SetShellOpenItemFunction(ShellOpenItemFunction replacement) {
    ShellOpenItemFunction previous = openItemFunction;
    openItemFunction = replacement ? replacement : &OpenItemWithShell;
    return previous;
}

ShellOpenFunction SetShellOpenFunction(ShellOpenFunction replacement) {
    ShellOpenFunction previous = openFunction;
    openFunction = replacement ? replacement : &OpenWithShell;
    return previous;
}

} // namespace rb
