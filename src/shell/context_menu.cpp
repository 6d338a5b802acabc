#include "shell/context_menu.h"

#include "common/win_text.h"

#include <cstring>

namespace rb {

namespace {

MainDialogOpener opener = nullptr;

} // namespace

MainDialogOpener SetMainDialogOpener(MainDialogOpener replacement) {
    MainDialogOpener previous = opener;
    opener = replacement;
    return previous;
}

UINT AddContextMenuEntry(HMENU menu, UINT index, UINT firstId, UINT flags, HBITMAP bitmap) {
    if (flags & CMF_DEFAULTONLY)
        return 0;
    // Only a right-click that comes from a file list gets the entry.
    if (HWND focus = GetFocus()) {
        char className[33] = {};
        GetClassNameA(focus, className, 32);
        if (std::strncmp(className, "SysListView32", 32) != 0)
            return 0;
    }
    if (index == 0xFFFFFFFFu)
        index = 0;
    InsertMenuA(menu, index, MF_BYPOSITION | MF_STRING, firstId, kMenuText);
    if (bitmap)
        SetMenuItemBitmaps(menu, index, MF_BYPOSITION, bitmap, nullptr);
    return 1;
}

HRESULT InvokeContextMenuCommand(const CMINVOKECOMMANDINFO* info) {
    if (!info)
        return E_INVALIDARG;
    // Only command offset 0; a verb string has bits above the low word.
    ULONG_PTR verb = reinterpret_cast<ULONG_PTR>(info->lpVerb);
    if ((verb >> 16) != 0 || (verb & 0xFFFF) != 0)
        return E_INVALIDARG;
    if (opener)
        opener(info->hwnd, GetActiveWindow());
    return S_OK;
}

HRESULT ContextMenuCommandString(UINT_PTR command, UINT type, CHAR* buffer, UINT size) {
    if (command != 0)
        return E_INVALIDARG;
    // Validation only asks whether the command exists; it may come without a buffer.
    const bool validation = (type & ~static_cast<UINT>(GCS_UNICODE)) == GCS_VALIDATEA;
    if (!buffer)
        return validation ? S_OK : E_POINTER;
    if (type & GCS_UNICODE) {
        std::wstring text = AnsiToWide(kMenuHelpText);
        lstrcpynW(reinterpret_cast<LPWSTR>(buffer), text.c_str(), static_cast<int>(size));
    } else {
        lstrcpynA(buffer, kMenuHelpText, static_cast<int>(size));
    }
    return S_OK;
}

} // namespace rb
