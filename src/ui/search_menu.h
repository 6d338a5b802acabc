// The "I-net ?!" menu: the folder and the selected items of the latest right-click, each
// with a submenu of the texts the shell shows for it in its detail columns.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <utility>
#include <vector>

namespace rb {

struct SelectionCopy;

// The texts of detail columns 0 to 31 that `folder` shows for its item `item`, through
// IShellFolder2 or else a view object with IShellDetails; columns that fail are left out.
std::vector<std::string> DetailTexts(IShellFolder* folder, LPCITEMIDLIST item, HWND owner);

class SearchMenu {
public:
    SearchMenu() = default;
    ~SearchMenu() { Reset(); }
    SearchMenu(const SearchMenu&) = delete;
    SearchMenu& operator=(const SearchMenu&) = delete;

    // At most this many entries (the folder and 21 items), then a greyed "......." item.
    static constexpr UINT kMaxEntries = 22;

    // Builds the menu from the selection block; false (and nothing changed) when there is
    // no block or it counts no item.
    bool Build(const SelectionCopy& selection, HWND owner);
    // A menu of the detail texts of `folder` itself, without submenus.
    void BuildForFolder(LPCITEMIDLIST folder, HWND owner);

    HMENU Menu() const { return menu_; }
    // The text behind a chosen item, or null.
    const std::string* TextOf(UINT command) const;
    // Forgets the texts but keeps the menu (a new press of the button).
    void ForgetTexts() { texts_.clear(); }

private:
    void Reset();
    // Appends the detail texts of the item `absolute` to `menu` and to the texts.
    void AppendDetailTexts(LPCITEMIDLIST absolute, HMENU menu, HWND owner);
    void AppendText(HMENU menu, const std::string& text);

    HMENU menu_ = nullptr;
    std::vector<std::pair<UINT, std::string>> texts_;
};

} // namespace rb
