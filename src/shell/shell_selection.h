// The folder and selection of the latest IShellExtInit::Initialize in the process.
// Initialize may run on the thread of any Explorer window; readers (the main dialog,
// the search menu) take their own copy when they start, under the record's lock.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include "common/win_handles.h"
#include "common/win_lock.h"

#include <vector>

namespace rb {

// An absolute or relative item ID list owned through the shell's allocator.
struct IdListTraits {
    using Handle = LPITEMIDLIST;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ILFree(h); }
};
using UniqueIdList = UniqueResource<IdListTraits>;

// What a reader gets: its own folder clone and its own copy of the "Shell IDList Array"
// block (a count n, then n + 1 offsets; offset 0 leads to the parent folder).
struct SelectionCopy {
    UniqueIdList folder;
    std::vector<BYTE> cida; // empty when the latest Initialize gave no selection

    UINT Count() const;
    // The ID list at offset `index` (0: the parent folder, 1..n: the items), or null when
    // its offset or the list itself does not lie inside the block.
    LPCITEMIDLIST At(UINT index) const;
};

class ShellSelection {
public:
    // Nothing is released at destruction: at process exit the shell's allocator may be
    // gone already. The module releases the record when it is unloaded.
    ShellSelection() = default;
    ~ShellSelection() = default;
    ShellSelection(const ShellSelection&) = delete;
    ShellSelection& operator=(const ShellSelection&) = delete;

    // IShellExtInit::Initialize: replaces folder and selection. Never fails.
    void Replace(PCIDLIST_ABSOLUTE folder, IDataObject* data);
    SelectionCopy Copy();
    // Frees what is held (module unload): memory only, nothing of another apartment.
    void Release();

private:
    CriticalSection lock_;
    LPITEMIDLIST folderIdList_ = nullptr;
    std::vector<BYTE> cida_; // a copy of the "Shell IDList Array" block, or empty
};

ShellSelection& TheShellSelection();
void ReleaseShellSelection();

// The clipboard format number of "Shell IDList Array", registered on first use.
UINT ShellIdListFormat();

} // namespace rb
