// What the user does to items from a list of them, as Explorer does it: the shell's own
// context menu with a few entries of ours above it, copying their paths, showing them in
// Explorer, and deleting them through the shell. The items are absolute ID lists, so any
// list of files from any folders can offer these.
#pragma once

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <functional>
#include <string>
#include <vector>

namespace rb {

// What the caller adds to the menu.
struct ItemMenuOwn {
    // "Öffnen": shown when set and the one item is a folder of the file system.
    std::function<void()> open;
    // The shell's "rename" verb chosen (the shell needs a view to edit the name in).
    std::function<void()> rename;
};

// Shows, at `screen`, our entries ("Öffnen", "Im Explorer zeigen", "Pfad kopieren"), a
// separator and the shell's menu for `items` when they share one parent folder (else our
// entries and "Löschen"), and does what is chosen. The menu belongs to `owner`, whose
// window procedure must hand its messages to ForwardMenuMessage first while it is shown.
// The items are copied first: a change notification may free the caller's during the menu.
void ShowItemMenu(HWND owner, POINT screen, const std::vector<LPCITEMIDLIST>& items,
                  const ItemMenuOwn& own);

// WM_INITMENUPOPUP, WM_DRAWITEM, WM_MEASUREITEM and WM_MENUCHAR given to the shell's menu
// shown by `owner` ("Senden an", "Öffnen mit" fill and draw their submenus so); true when
// it took the message, with the window procedure's result in `result`.
bool ForwardMenuMessage(HWND owner, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

// The items' file-system paths (any length); items outside the file system are skipped.
std::vector<std::wstring> FileSystemPaths(const std::vector<LPCITEMIDLIST>& items);

// The paths one per line, joined by CR LF, as Unicode text on the clipboard.
bool CopyPaths(HWND owner, const std::vector<std::wstring>& paths);
// `text` on the clipboard as Unicode text; false when it could not be put there.
bool CopyText(HWND owner, const std::wstring& text);

// Explorer opened on each parent folder with its items selected.
void ShowInExplorer(const std::vector<LPCITEMIDLIST>& items);

// Deletes `paths` as Explorer does, on a thread of its own so that the page keeps
// painting: into the recycle bin, or for good with `forGood`, after the shell's own
// confirmation owned by `owner`. The shell reports failures itself; what went is then
// told to the shell's listeners, and with `notify` posted to it as `message` (lParam: a
// std::vector<std::wstring>* of the paths gone, the receiver's to delete), for folders whose
// changes nobody tells. False when nothing was started (no paths, or no thread).
bool DeleteItems(HWND owner, std::vector<std::wstring> paths, bool forGood, HWND notify = nullptr,
                 UINT message = 0);

// Seams for tests: SHFileOperationW, and SHOpenFolderAndSelectItems (null when the system
// lacks it, as XP before SP1 does). Null puts the real function back; the previous one is
// returned.
using FileOperationFunction = int (*)(SHFILEOPSTRUCTW* operation);
FileOperationFunction SetFileOperationFunction(FileOperationFunction replacement);
using OpenFolderAndSelectFunction = HRESULT(WINAPI*)(LPCITEMIDLIST folder, UINT count,
                                                    LPCITEMIDLIST* children, DWORD flags);
OpenFolderAndSelectFunction SetOpenFolderAndSelectFunction(OpenFolderAndSelectFunction replacement);

// The command ids of our entries; the shell's lie from 1 to kLastShellCommand.
constexpr UINT kLastShellCommand = 0x7FFF;
enum : UINT {
    kMenuOpen = 0x8001,
    kMenuShowInExplorer,
    kMenuCopyPath,
    kMenuDelete,
};

} // namespace rb
