#include "dialog_driver.h"

#include "resource_ids.h"
#include "ui/main_dialog_entry.h"
#include "windows_found.h"

#include <commctrl.h>

namespace rbtest {

namespace {

const wchar_t kUserShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const wchar_t kShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

void SetPersonal(const wchar_t* key, DWORD type, const std::wstring& value) {
    HKEY opened = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened,
                        nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExW(opened, L"Personal", 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(opened);
}

} // namespace

HWND WaitForMainDialog() {
    return WaitForWindow("#32770", "Rubrikator");
}

HWND MainToolbar(HWND dialog) {
    return GetDlgItem(dialog, ID_TOOLBAR);
}

bool ButtonChecked(HWND dialog, UINT command) {
    return SendMessageA(MainToolbar(dialog), TB_ISBUTTONCHECKED, command, 0) != 0;
}

char VisiblePage(HWND dialog) {
    char shown = 0;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char name[16] = {};
        GetClassNameA(child, name, sizeof name);
        if (std::string(name) != "#32770" || !IsWindowVisible(child))
            continue;
        char page = GetDlgItem(child, IDC_SYSTEM_TEXT) ? 'i'
                    : GetDlgItem(child, IDC_UNIT)      ? 'c'
                    : GetDlgItem(child, IDC_LIST)      ? 'd'
                                                       : 'n';
        shown = shown ? '-' : page;
    }
    return shown ? shown : '-';
}

HWND PageWithItem(HWND dialog, int id) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (GetDlgItem(child, id))
            return child;
    return nullptr;
}

INT_PTR OpenStandalone(const std::function<void(HWND dialog)>& drive) {
    INT_PTR result = 0;
    RunDriven([&] { result = rb::RunMainDialogStandalone(); },
              [&] {
                  if (HWND dialog = WaitForMainDialog())
                      drive(dialog);
              });
    return result;
}

DocumentsFolder::DocumentsFolder(const std::wstring& folder) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kUserShellFolders, 0, KEY_QUERY_VALUE, &key) ==
        ERROR_SUCCESS) {
        wchar_t value[1024] = {};
        DWORD size = sizeof value - sizeof(wchar_t);
        hadValue_ = RegQueryValueExW(key, L"Personal", nullptr, nullptr,
                                     reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS;
        previous_ = value;
        RegCloseKey(key);
    }
    SetPersonal(kUserShellFolders, REG_EXPAND_SZ, folder);
    SetPersonal(kShellFolders, REG_SZ, folder);
}

DocumentsFolder::~DocumentsFolder() {
    if (hadValue_) {
        SetPersonal(kUserShellFolders, REG_EXPAND_SZ, previous_);
        SetPersonal(kShellFolders, REG_SZ, previous_);
    }
}

void Type(HWND control, const std::string& text) {
    for (char c : text)
        PostMessageA(control, WM_CHAR, static_cast<unsigned char>(c), 0);
}

} // namespace rbtest
