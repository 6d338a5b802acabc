#include "ui/search_menu.h"

#include "com/guids.h"
#include "common/win_handles.h"
#include "common/win_text.h"
#include "shell/id_lists.h"
#include "shell/shell_selection.h"

#include <shlwapi.h>

namespace rb {

namespace {

const IID kIidIShellDetails = {0x000214EC, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

constexpr int kDetailColumns = 32;

// The item's display name; empty when the shell gives none.
std::string DisplayName(LPCITEMIDLIST absolute) {
    SHFILEINFOA info = {};
    if (!SHGetFileInfoA(reinterpret_cast<LPCSTR>(absolute), 0, &info, sizeof info,
                        SHGFI_PIDL | SHGFI_DISPLAYNAME))
        return std::string();
    return info.szDisplayName;
}

// A detail's text as 8-bit text. An offset text lies inside `item`, the list that was
// asked about; StrRetToBufW reads it there and frees a wide text.
std::string DetailText(STRRET& text, LPCITEMIDLIST item) {
    wchar_t buffer[MAX_PATH * 2] = {};
    if (FAILED(StrRetToBufW(&text, item, buffer, sizeof buffer / sizeof buffer[0])))
        return std::string();
    return WideToAnsi(buffer);
}

} // namespace

std::vector<std::string> DetailTexts(IShellFolder* folder, LPCITEMIDLIST item, HWND owner) {
    std::vector<std::string> texts;
    // Both interfaces answer GetDetailsOf alike.
    auto collect = [&](auto* source) {
        for (UINT column = 0; column < kDetailColumns; ++column) {
            SHELLDETAILS detail = {};
            if (SUCCEEDED(source->GetDetailsOf(item, column, &detail)))
                texts.push_back(DetailText(detail.str, item));
        }
    };
    ComPtr<IShellFolder2> details;
    ComPtr<IShellDetails> view;
    if (SUCCEEDED(folder->QueryInterface(kIidIShellFolder2, details.put_void())) && details)
        collect(details.get());
    else if (SUCCEEDED(folder->CreateViewObject(owner, kIidIShellDetails, view.put_void())) && view)
        collect(view.get());
    return texts;
}

void SearchMenu::Reset() {
    if (menu_)
        DestroyMenu(menu_); // with its submenus
    menu_ = nullptr;
    texts_.clear();
}

const std::string* SearchMenu::TextOf(UINT command) const {
    for (const auto& entry : texts_)
        if (entry.first == command)
            return &entry.second;
    return nullptr;
}

void SearchMenu::AppendText(HMENU menu, const std::string& text) {
    // Texts of one or two characters make no search.
    if (text.size() <= 2)
        return;
    UINT id = static_cast<UINT>(texts_.size()) + 1;
    texts_.emplace_back(id, text);
    AppendMenuA(menu, MF_STRING, id, text.c_str());
}

void SearchMenu::AppendDetailTexts(LPCITEMIDLIST absolute, HMENU menu, HWND owner) {
    LPITEMIDLIST parentList = nullptr, lastList = nullptr;
    if (!SplitIdList(absolute, &parentList, &lastList))
        return;
    UniqueIdList parent(parentList), last(lastList);
    ComPtr<IShellFolder> folder;
    if (FAILED(BindToFolder(parent.get(), folder.put())))
        return;
    for (const std::string& text : DetailTexts(folder.get(), last.get(), owner))
        AppendText(menu, text);
}

bool SearchMenu::Build(const SelectionCopy& selection, HWND owner) {
    UINT count = selection.Count();
    if (selection.cida.empty() || count == 0)
        return false;
    Reset();
    menu_ = CreatePopupMenu();
    if (!menu_)
        return true;
    LPCITEMIDLIST folder = selection.At(0);
    for (std::uint64_t k = 0; k <= count; ++k) {
        // The folder's list is absolute; the items' lists are relative to it.
        LPCITEMIDLIST list = selection.At(static_cast<UINT>(k));
        UniqueIdList absolute(!list || !folder ? nullptr
                              : k == 0         ? ILClone(list)
                                               : ILCombine(folder, list));
        if (absolute) {
            HMENU submenu = CreatePopupMenu();
            AppendDetailTexts(absolute.get(), submenu, owner);
            AppendMenuA(menu_, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(submenu),
                        DisplayName(absolute.get()).c_str());
        }
        if (k + 1 >= kMaxEntries) {
            AppendMenuA(menu_, MF_STRING | MF_GRAYED, 0, ".......");
            break;
        }
    }
    return true;
}

void SearchMenu::BuildForFolder(LPCITEMIDLIST folder, HWND owner) {
    Reset();
    menu_ = CreatePopupMenu();
    if (menu_ && folder)
        AppendDetailTexts(folder, menu_, owner);
}

} // namespace rb
