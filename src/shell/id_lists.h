// Small helpers for item ID lists, used by the main dialog and the search menu.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>

namespace rb {

// The shell's task allocator for the life of the record (null when unavailable).
class ShellAllocatorHolder {
public:
    ShellAllocatorHolder();
    ~ShellAllocatorHolder();
    ShellAllocatorHolder(const ShellAllocatorHolder&) = delete;
    ShellAllocatorHolder& operator=(const ShellAllocatorHolder&) = delete;
    IMalloc* get() const { return allocator_; }

private:
    IMalloc* allocator_ = nullptr;
};

// Splits an absolute list into a clone of its parent and a clone of its last element;
// either out pointer may be null. Returns false when a clone cannot be made.
bool SplitIdList(LPCITEMIDLIST list, LPITEMIDLIST* parent, LPITEMIDLIST* item);

// The shell folder of an absolute list: the desktop itself for the empty list, else the
// desktop's child bound by the list.
HRESULT BindToFolder(LPCITEMIDLIST absolute, IShellFolder** folder);

// The parsing name of an absolute list as `desktop` gives it (for a file-system item its
// whole path, of any length); empty when it gives none.
std::wstring ParsingNameOf(IShellFolder* desktop, LPCITEMIDLIST absolute);

} // namespace rb
