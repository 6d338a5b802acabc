#include "shell/id_lists.h"

#include "com/guids.h"

#include <shlwapi.h>

namespace rb {

ShellAllocatorHolder::ShellAllocatorHolder() {
    if (FAILED(SHGetMalloc(&allocator_)))
        allocator_ = nullptr;
}

ShellAllocatorHolder::~ShellAllocatorHolder() {
    if (allocator_)
        allocator_->Release();
}

bool SplitIdList(LPCITEMIDLIST list, LPITEMIDLIST* parent, LPITEMIDLIST* item) {
    LPITEMIDLIST parentClone = nullptr;
    if (parent) {
        *parent = nullptr;
        parentClone = ILClone(list);
        if (!parentClone)
            return false;
        ILRemoveLastID(parentClone);
    }
    if (item) {
        *item = nullptr;
        LPITEMIDLIST itemClone = ILClone(ILFindLastID(list));
        if (!itemClone) {
            if (parentClone)
                ILFree(parentClone);
            return false;
        }
        *item = itemClone;
    }
    if (parent)
        *parent = parentClone;
    return true;
}

HRESULT BindToFolder(LPCITEMIDLIST absolute, IShellFolder** folder) {
    *folder = nullptr;
    if (!absolute)
        return E_INVALIDARG;
    IShellFolder* desktop = nullptr;
    HRESULT result = SHGetDesktopFolder(&desktop);
    if (FAILED(result) || !desktop)
        return FAILED(result) ? result : E_FAIL;
    result = absolute->mkid.cb == 0
                 ? desktop->QueryInterface(kIidIShellFolder, reinterpret_cast<void**>(folder))
                 : desktop->BindToObject(absolute, nullptr, kIidIShellFolder,
                                         reinterpret_cast<void**>(folder));
    desktop->Release();
    if (SUCCEEDED(result) && !*folder)
        result = E_FAIL;
    return result;
}

std::wstring ParsingNameOf(IShellFolder* desktop, LPCITEMIDLIST absolute) {
    STRRET name = {};
    wchar_t* text = nullptr;
    if (!desktop || !absolute ||
        FAILED(desktop->GetDisplayNameOf(absolute, SHGDN_FORPARSING, &name)) ||
        FAILED(StrRetToStrW(&name, absolute, &text)) || !text)
        return std::wstring();
    std::wstring path;
    try {
        path = text;
    } catch (...) {
        CoTaskMemFree(text);
        throw;
    }
    CoTaskMemFree(text);
    return path;
}

} // namespace rb
