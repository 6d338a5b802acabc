// What the user does to the details page's rows: the shell's context menu, deleting and
// renaming. The actions themselves work on ID lists (ui/item_actions.h); the disk's
// changes come back to the rows through the page's change following.
#include "ui/details_page.h"

#include "columns/catalogue.h"
#include "common/win_handles.h"
#include "shell/shell_selection.h"
#include "ui/item_actions.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <memory>

namespace rb {

namespace {

const IID kIidShellFolder = {0x000214E6, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

} // namespace

std::vector<LPCITEMIDLIST> DetailsPage::SelectedItems() {
    std::vector<LPCITEMIDLIST> items;
    if (tab_ == Tab::Largest) {
        // The largest files come from many folders: their ID lists made from their paths,
        // held until the next asking.
        heldItems_.clear();
        for (const std::wstring& path : SelectedPaths()) {
            LPITEMIDLIST full = nullptr;
            if (SUCCEEDED(SHParseDisplayName(path.c_str(), nullptr, &full, 0, nullptr)) && full) {
                heldItems_.emplace_back(full);
                items.push_back(full);
            }
        }
        return items;
    }
    if (tab_ != Tab::Folders)
        return items; // a type is no item
    for (int index : SelectedRows())
        if (LPCITEMIDLIST full = rows_.Full(index))
            items.push_back(full);
    return items;
}

std::vector<std::wstring> DetailsPage::SelectedPaths() {
    std::vector<std::wstring> paths;
    if (tab_ == Tab::Folders) {
        // The rows' own paths (empty outside the file system): no shell binding per row
        // when Ctrl+A took a hundred thousand of them.
        for (int index : SelectedRows()) {
            std::wstring path = rows_.Cell(index, 1 + FullPath);
            if (!path.empty())
                paths.push_back(std::move(path));
        }
        return paths;
    }
    if (tab_ != Tab::Largest)
        return paths;
    for (int index : SelectedRows())
        if (index >= 0 && index < static_cast<int>(largest_.size())) {
            const LargeFile& file = largest_[index];
            paths.push_back(file.folder + (!file.folder.empty() && file.folder.back() == L'\\' ? L"" : L"\\") +
                            file.name);
        }
    return paths;
}

void DetailsPage::ShowRowMenu(LPARAM at) {
    HWND list = ShownList();
    POINT screen = {static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
    if (screen.x == -1 && screen.y == -1) {
        // From the keyboard: below the focused row's name.
        int row = static_cast<int>(
            SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED | LVNI_SELECTED));
        if (row < 0)
            row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
        RECT label = {LVIR_LABEL, 0, 0, 0};
        if (row < 0 || !SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                                     reinterpret_cast<LPARAM>(&label)))
            return;
        screen = {label.left, label.bottom};
        ClientToScreen(list, &screen);
    } else {
        // A click on no row shows nothing.
        LVHITTESTINFO hit = {};
        hit.pt = screen;
        ScreenToClient(list, &hit.pt);
        if (SendMessageW(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)) < 0)
            return;
    }
    std::vector<LPCITEMIDLIST> items = SelectedItems();
    if (items.empty())
        return;
    ItemMenuOwn own;
    if (items.size() == 1) {
        std::shared_ptr<ITEMIDLIST> folder(ILClone(items[0]), &ILFree);
        if (folder)
            own.open = [this, folder] {
                ShowTab(Tab::Folders);
                Fill(folder.get());
            };
        if (tab_ == Tab::Folders)
            own.rename = [this] { RenameFocused(); };
    }
    ShowItemMenu(Window(), screen, items, own);
}

void DetailsPage::DeleteSelected(bool forGood) {
    std::vector<std::wstring> paths = SelectedPaths();
    if (!paths.empty())
        DeleteItems(GetAncestor(Window(), GA_ROOT), std::move(paths), forGood, Window(), kItemsDeleted);
}

void DetailsPage::RenameFocused() {
    const int focused = static_cast<int>(
        SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    if (tab_ != Tab::Folders || focused < 0 || !rows_.Child(focused))
        return;
    SetFocus(list_);
    renaming_ = true; // a click on a selected row's name does not start editing
    SendMessageW(list_, LVM_EDITLABELW, static_cast<WPARAM>(focused), 0);
    renaming_ = false;
}

LRESULT DetailsPage::OnBeginRename(const NMLVDISPINFOW& edit) {
    LPCITEMIDLIST child = rows_.Child(edit.item.iItem);
    if (!renaming_ || !rows_.ShellFolder() || !child)
        return TRUE;
    // The item edited is held, not its row: a change may list the rows anew meanwhile.
    renameFolder_.reset();
    rows_.ShellFolder()->QueryInterface(kIidShellFolder, renameFolder_.put_void());
    renameChild_.reset(ILClone(child));
    if (!renameFolder_ || !renameChild_)
        return TRUE;
    // The name as the shell edits it: with the extension that the list may hide.
    STRRET name = {};
    wchar_t text[MAX_PATH] = {};
    if (SUCCEEDED(renameFolder_->GetDisplayNameOf(child, SHGDN_INFOLDER | SHGDN_FOREDITING, &name)) &&
        SUCCEEDED(StrRetToBufW(&name, child, text, MAX_PATH)))
        SetWindowTextW(reinterpret_cast<HWND>(SendMessageW(list_, LVM_GETEDITCONTROL, 0, 0)), text);
    return FALSE;
}

void DetailsPage::OnEndRename(const NMLVDISPINFOW& edit) {
    ComPtr<IShellFolder> folder(std::move(renameFolder_));
    UniqueIdList child(renameChild_.release());
    if (!edit.item.pszText || !folder || !child)
        return; // Esc
    // The shell renames and tells its listeners; the page follows them as any change. A
    // name it refuses, it says so itself.
    LPITEMIDLIST renamed = nullptr;
    if (SUCCEEDED(folder->SetNameOf(GetAncestor(Window(), GA_ROOT), child.get(), edit.item.pszText,
                                    SHGDN_INFOLDER | SHGDN_FOREDITING, &renamed)))
        UniqueIdList(renamed).reset();
}

} // namespace rb
