#include "ui/item_actions.h"

#include "common/module_thread.h"
#include "common/win_handles.h"
#include "shell/id_lists.h"
#include "shell/shell_selection.h"

#include <cstring>
#include <memory>
#include <new>

namespace rb {

namespace {

// Declared here: the import library's constants do not link for every interface.
const IID kIidContextMenu = {0x000214E4, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kIidContextMenu2 = {0x000214F4, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kIidContextMenu3 = {0xBCFCE0A0, 0xEC17, 0x11D0, {0x8D, 0x10, 0x00, 0xA0, 0xC9, 0x0F, 0x27, 0x19}};
const IID kIidShellFolder = {0x000214E6, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// The shell's menu while it is shown, kept beside its owner window.
constexpr const wchar_t* kShownMenu = L"RubrikatorShellMenu";
struct ShownMenu {
    ComPtr<IContextMenu2> menu2;
    ComPtr<IContextMenu3> menu3;
};

int RealFileOperation(SHFILEOPSTRUCTW* operation) {
    return SHFileOperationW(operation);
}

FileOperationFunction fileOperation = &RealFileOperation;

OpenFolderAndSelectFunction RealOpenFolderAndSelect() {
    // From XP SP1 on; XP before it must still load the module.
    HMODULE shell = GetModuleHandleW(L"shell32.dll");
    return shell ? reinterpret_cast<OpenFolderAndSelectFunction>(reinterpret_cast<void (*)()>(
                       GetProcAddress(shell, "SHOpenFolderAndSelectItems")))
                 : nullptr;
}

OpenFolderAndSelectFunction openFolderAndSelect = nullptr;
bool openFolderAndSelectSet = false;

std::vector<UniqueIdList> Copies(const std::vector<LPCITEMIDLIST>& items) {
    std::vector<UniqueIdList> copies;
    for (LPCITEMIDLIST item : items)
        if (item) {
            UniqueIdList copy(ILClone(item));
            if (copy)
                copies.push_back(std::move(copy));
        }
    return copies;
}

std::vector<LPCITEMIDLIST> Pointers(const std::vector<UniqueIdList>& lists) {
    std::vector<LPCITEMIDLIST> pointers;
    for (const UniqueIdList& list : lists)
        pointers.push_back(list.get());
    return pointers;
}

UniqueIdList ParentOf(LPCITEMIDLIST item) {
    UniqueIdList parent(ILClone(item));
    if (parent && !ILRemoveLastID(parent.get()))
        parent.reset();
    return parent;
}

// The one file-system folder among `items` (not a .zip, which is also a file).
bool OneFileSystemFolder(const std::vector<LPCITEMIDLIST>& items) {
    if (items.size() != 1)
        return false;
    ComPtr<IShellFolder> parent;
    LPCITEMIDLIST child = nullptr;
    if (FAILED(SHBindToParent(items[0], kIidShellFolder, parent.put_void(), &child)))
        return false;
    SFGAOF attributes = SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_STREAM;
    if (FAILED(parent->GetAttributesOf(1, &child, &attributes)))
        return false;
    return (attributes & SFGAO_FOLDER) && (attributes & SFGAO_FILESYSTEM) && !(attributes & SFGAO_STREAM);
}

// The shell's menu of items that share a parent folder; null for items from several.
ComPtr<IContextMenu> ShellMenuOf(HWND owner, const std::vector<LPCITEMIDLIST>& items) {
    ComPtr<IContextMenu> menu;
    if (items.empty())
        return menu;
    UniqueIdList first = ParentOf(items[0]);
    for (LPCITEMIDLIST item : items) {
        UniqueIdList parent = ParentOf(item);
        if (!first || !parent || !ILIsEqual(first.get(), parent.get()))
            return menu;
    }
    ComPtr<IShellFolder> parent;
    LPCITEMIDLIST unused = nullptr;
    if (FAILED(SHBindToParent(items[0], kIidShellFolder, parent.put_void(), &unused)))
        return menu;
    std::vector<LPCITEMIDLIST> children;
    for (LPCITEMIDLIST item : items)
        children.push_back(ILFindLastID(item));
    parent->GetUIObjectOf(owner, static_cast<UINT>(children.size()), children.data(), kIidContextMenu,
                          nullptr, menu.put_void());
    return menu;
}

void InvokeShellCommand(HWND owner, IContextMenu* menu, UINT offset, POINT screen) {
    CMINVOKECOMMANDINFOEX invoke = {};
    invoke.cbSize = sizeof invoke;
    invoke.fMask = CMIC_MASK_UNICODE | CMIC_MASK_PTINVOKE;
    if (GetKeyState(VK_SHIFT) < 0)
        invoke.fMask |= CMIC_MASK_SHIFT_DOWN;
    if (GetKeyState(VK_CONTROL) < 0)
        invoke.fMask |= CMIC_MASK_CONTROL_DOWN;
    invoke.hwnd = owner;
    invoke.lpVerb = MAKEINTRESOURCEA(offset);
    invoke.lpVerbW = MAKEINTRESOURCEW(offset);
    invoke.nShow = SW_SHOWNORMAL;
    invoke.ptInvoke = screen;
    menu->InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO*>(&invoke));
}

bool IsVerb(IContextMenu* menu, UINT offset, const wchar_t* verb) {
    wchar_t name[64] = {};
    return SUCCEEDED(menu->GetCommandString(offset, GCS_VERBW, nullptr, reinterpret_cast<LPSTR>(name),
                                            64)) &&
           lstrcmpiW(name, verb) == 0;
}

} // namespace

void ShowItemMenu(HWND owner, POINT screen, const std::vector<LPCITEMIDLIST>& given,
                  const ItemMenuOwn& own) {
    const std::vector<UniqueIdList> copies = Copies(given);
    const std::vector<LPCITEMIDLIST> items = Pointers(copies);
    if (items.empty())
        return;
    struct MenuHandle {
        HMENU menu = CreatePopupMenu();
        ~MenuHandle() {
            if (menu)
                DestroyMenu(menu);
        }
    } popup;
    if (!popup.menu)
        return;
    if (own.open && OneFileSystemFolder(items))
        AppendMenuW(popup.menu, MF_STRING, kMenuOpen, L"\u00D6ffnen");
    AppendMenuW(popup.menu, MF_STRING, kMenuShowInExplorer, L"Im Explorer zeigen");
    AppendMenuW(popup.menu, MF_STRING, kMenuCopyPath, L"Pfad kopieren");
    AppendMenuW(popup.menu, MF_SEPARATOR, 0, nullptr);
    ComPtr<IContextMenu> shellMenu = ShellMenuOf(owner, items);
    UINT flags = CMF_NORMAL | CMF_EXPLORE | (own.rename ? CMF_CANRENAME : 0);
    if (GetKeyState(VK_SHIFT) < 0)
        flags |= CMF_EXTENDEDVERBS;
    if (!shellMenu || FAILED(shellMenu->QueryContextMenu(popup.menu, GetMenuItemCount(popup.menu), 1,
                                                         kLastShellCommand, flags))) {
        shellMenu.reset();
        AppendMenuW(popup.menu, MF_STRING, kMenuDelete, L"L\u00F6schen");
    }
    // The shell's submenus fill and draw through the owner while the menu is up.
    ShownMenu shown;
    if (shellMenu) {
        shellMenu->QueryInterface(kIidContextMenu2, shown.menu2.put_void());
        shellMenu->QueryInterface(kIidContextMenu3, shown.menu3.put_void());
    }
    UINT chosen = 0;
    {
        struct Shown {
            HWND owner;
            Shown(HWND window, ShownMenu& menu) : owner(window) {
                SetPropW(owner, kShownMenu, reinterpret_cast<HANDLE>(&menu));
            }
            ~Shown() { RemovePropW(owner, kShownMenu); }
        } beside(owner, shown);
        chosen = static_cast<UINT>(TrackPopupMenuEx(popup.menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x,
                                                    screen.y, owner, nullptr));
    }
    if (chosen >= 1 && chosen <= kLastShellCommand && shellMenu) {
        if (own.rename && IsVerb(shellMenu.get(), chosen - 1, L"rename"))
            own.rename();
        else
            InvokeShellCommand(GetAncestor(owner, GA_ROOT), shellMenu.get(), chosen - 1, screen);
        return;
    }
    switch (chosen) {
    case kMenuOpen:
        own.open();
        break;
    case kMenuShowInExplorer:
        ShowInExplorer(items);
        break;
    case kMenuCopyPath:
        CopyPaths(owner, FileSystemPaths(items));
        break;
    case kMenuDelete:
        DeleteItems(GetAncestor(owner, GA_ROOT), FileSystemPaths(items), GetKeyState(VK_SHIFT) < 0);
        break;
    default:
        break;
    }
}

bool ForwardMenuMessage(HWND owner, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message != WM_INITMENUPOPUP && message != WM_DRAWITEM && message != WM_MEASUREITEM &&
        message != WM_MENUCHAR)
        return false;
    // Control ids in WM_DRAWITEM and WM_MEASUREITEM are the owner's own controls'.
    if ((message == WM_DRAWITEM || message == WM_MEASUREITEM) && wParam != 0)
        return false;
    auto* shown = static_cast<ShownMenu*>(GetPropW(owner, kShownMenu));
    if (!shown)
        return false;
    result = 0;
    if (shown->menu3)
        return SUCCEEDED(shown->menu3->HandleMenuMsg2(message, wParam, lParam, &result));
    if (shown->menu2 && message != WM_MENUCHAR)
        return SUCCEEDED(shown->menu2->HandleMenuMsg(message, wParam, lParam));
    return false;
}

std::vector<std::wstring> FileSystemPaths(const std::vector<LPCITEMIDLIST>& items) {
    std::vector<std::wstring> paths;
    ComPtr<IShellFolder> desktop;
    if (FAILED(SHGetDesktopFolder(desktop.put())))
        return paths;
    for (LPCITEMIDLIST item : items) {
        ComPtr<IShellFolder> parent;
        LPCITEMIDLIST child = nullptr;
        SFGAOF attributes = SFGAO_FILESYSTEM;
        if (!item || FAILED(SHBindToParent(item, kIidShellFolder, parent.put_void(), &child)) ||
            FAILED(parent->GetAttributesOf(1, &child, &attributes)) || !(attributes & SFGAO_FILESYSTEM))
            continue;
        std::wstring path = ParsingNameOf(desktop.get(), item);
        if (!path.empty())
            paths.push_back(path);
    }
    return paths;
}

bool CopyPaths(HWND owner, const std::vector<std::wstring>& paths) {
    if (paths.empty())
        return false;
    std::wstring text;
    for (const std::wstring& path : paths)
        text += (text.empty() ? L"" : L"\r\n") + path;
    return CopyText(owner, text);
}

bool CopyText(HWND owner, const std::wstring& text) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    if (!memory)
        return false;
    if (void* bytes = GlobalLock(memory)) {
        memcpy(bytes, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
        GlobalUnlock(memory);
    }
    if (OpenClipboard(owner)) {
        EmptyClipboard();
        if (SetClipboardData(CF_UNICODETEXT, memory))
            memory = nullptr; // the clipboard's now
        CloseClipboard();
    }
    if (memory)
        GlobalFree(memory);
    return memory == nullptr;
}

void ShowInExplorer(const std::vector<LPCITEMIDLIST>& items) {
    if (!openFolderAndSelectSet) {
        openFolderAndSelect = RealOpenFolderAndSelect();
        openFolderAndSelectSet = true;
    }
    if (!openFolderAndSelect)
        return;
    // One window per parent folder, with its items selected; each parent made once, and
    // the items grouped against the parents found so far (one, for a folder's rows).
    std::vector<UniqueIdList> parents;
    std::vector<std::vector<LPCITEMIDLIST>> children;
    for (LPCITEMIDLIST item : items) {
        UniqueIdList parent = ParentOf(item);
        if (!parent)
            continue;
        std::size_t group = 0;
        while (group < parents.size() && !ILIsEqual(parents[group].get(), parent.get()))
            ++group;
        if (group == parents.size()) {
            parents.push_back(std::move(parent));
            children.emplace_back();
        }
        children[group].push_back(ILFindLastID(item));
    }
    for (std::size_t group = 0; group < parents.size(); ++group)
        openFolderAndSelect(parents[group].get(), static_cast<UINT>(children[group].size()),
                            children[group].data(), 0);
}

bool DeleteItems(HWND owner, std::vector<std::wstring> paths, bool forGood, HWND notify, UINT message) {
    if (paths.empty())
        return false;
    // Each path ended by a NUL, the list by another.
    std::wstring from;
    for (const std::wstring& path : paths)
        from += path + L'\0';
    from += L'\0';
    const FileOperationFunction operation = fileOperation;
    HANDLE thread = StartModuleThread([owner, from = std::move(from), forGood, operation, notify, message] {
        // The recycle bin and the copy hooks are shell objects: an apartment of its own.
        const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        SHFILEOPSTRUCTW request = {};
        request.hwnd = owner; // the shell's confirmation and progress belong to the dialog
        request.wFunc = FO_DELETE;
        request.pFrom = from.c_str();
        // Never FOF_NOCONFIRMATION: the shell asks, and for good it says so.
        request.fFlags = static_cast<FILEOP_FLAGS>(forGood ? 0 : FOF_ALLOWUNDO);
#ifdef FOF_WANTNUKEWARNING
        request.fFlags |= FOF_WANTNUKEWARNING; // a file too large for the bin: asked again
#endif
        // What was there before, folder or file: told below once it is gone.
        std::vector<DWORD> before;
        for (const wchar_t* path = from.c_str(); *path; path += lstrlenW(path) + 1)
            before.push_back(GetFileAttributesW(path));
        operation(&request);
        // Wine's shell tells no listener of what it moved to the bin; Windows' does, and a
        // second telling is gathered with it.
        std::size_t at = 0;
        std::unique_ptr<std::vector<std::wstring>> gone(notify ? new (std::nothrow) std::vector<std::wstring> : nullptr);
        for (const wchar_t* path = from.c_str(); *path; path += lstrlenW(path) + 1, ++at)
            if (before[at] != INVALID_FILE_ATTRIBUTES && GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) {
                SHChangeNotify(before[at] & FILE_ATTRIBUTE_DIRECTORY ? SHCNE_RMDIR : SHCNE_DELETE,
                               SHCNF_PATHW | SHCNF_FLUSHNOWAIT, path, nullptr);
                try {
                    if (gone)
                        gone->push_back(path);
                } catch (...) { // out of memory: what is not told is gathered anew
                }
            }
        if (gone && !gone->empty() && PostMessageW(notify, message, 0, reinterpret_cast<LPARAM>(gone.get())))
            gone.release(); // the receiver's now
        if (SUCCEEDED(com))
            CoUninitialize();
    });
    if (!thread)
        return false;
    CloseHandle(thread);
    return true;
}

FileOperationFunction SetFileOperationFunction(FileOperationFunction replacement) {
    FileOperationFunction previous = fileOperation;
    fileOperation = replacement ? replacement : &RealFileOperation;
    return previous;
}

OpenFolderAndSelectFunction SetOpenFolderAndSelectFunction(OpenFolderAndSelectFunction replacement) {
    if (!openFolderAndSelectSet)
        openFolderAndSelect = RealOpenFolderAndSelect();
    OpenFolderAndSelectFunction previous = openFolderAndSelect;
    openFolderAndSelect = replacement ? replacement : RealOpenFolderAndSelect();
    openFolderAndSelectSet = true;
    return previous;
}

} // namespace rb
