#include "shell/shell_selection.h"

#include <cstdint>
#include <cstring>

namespace rb {

UINT SelectionCopy::Count() const {
    if (cida.size() < sizeof(UINT))
        return 0;
    UINT count;
    std::memcpy(&count, cida.data(), sizeof count);
    return count;
}

LPCITEMIDLIST SelectionCopy::At(UINT index) const {
    // The block comes from another program: every bound is checked in 64 bits, so that
    // a count near 2^32 cannot wrap it, and the list must end inside the block.
    const std::uint64_t size = cida.size();
    const std::uint64_t slot = (static_cast<std::uint64_t>(index) + 1) * sizeof(UINT);
    if (index > Count() || slot + sizeof(UINT) > size)
        return nullptr;
    UINT offset;
    std::memcpy(&offset, cida.data() + slot, sizeof offset);
    for (std::uint64_t at = offset;;) {
        USHORT length;
        if (at + sizeof length > size)
            return nullptr;
        std::memcpy(&length, cida.data() + at, sizeof length);
        if (length == 0)
            break;
        if (length < sizeof length)
            return nullptr; // an item of less than its own length field never ends
        at += length;
    }
    return reinterpret_cast<LPCITEMIDLIST>(cida.data() + offset);
}

UINT ShellIdListFormat() {
    static UINT format = RegisterClipboardFormatA("Shell IDList Array");
    return format;
}

void ShellSelection::Replace(PCIDLIST_ABSOLUTE folder, IDataObject* data) {
    LPITEMIDLIST clone = folder ? ILClone(folder) : nullptr;
    // The block is copied and the medium let go here, on the thread and in the apartment
    // that got it: nothing of the data object's is held until the module is unloaded,
    // which may happen on any thread.
    std::vector<BYTE> cida;
    if (data) {
        FORMATETC format = {static_cast<CLIPFORMAT>(ShellIdListFormat()), nullptr, DVASPECT_CONTENT,
                            -1, TYMED_HGLOBAL};
        STGMEDIUM medium = {};
        if (SUCCEEDED(data->QueryGetData(&format)) && SUCCEEDED(data->GetData(&format, &medium))) {
            if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
                if (const BYTE* bytes = static_cast<const BYTE*>(GlobalLock(medium.hGlobal))) {
                    try {
                        cida.assign(bytes, bytes + GlobalSize(medium.hGlobal));
                    } catch (...) {
                        cida.clear(); // no memory for the copy: no selection
                    }
                    GlobalUnlock(medium.hGlobal);
                }
            }
            ReleaseStgMedium(&medium);
        }
    }

    LPITEMIDLIST oldFolder;
    {
        ScopedLock lock(lock_);
        oldFolder = folderIdList_;
        folderIdList_ = clone;
        cida_.swap(cida);
    }
    // Readers work on copies, so what was replaced can go at once.
    if (oldFolder)
        ILFree(oldFolder);
}

SelectionCopy ShellSelection::Copy() {
    SelectionCopy copy;
    ScopedLock lock(lock_);
    if (folderIdList_)
        copy.folder.reset(ILClone(folderIdList_));
    try {
        copy.cida = cida_;
    } catch (...) {
        copy.cida.clear();
    }
    return copy;
}

void ShellSelection::Release() {
    Replace(nullptr, nullptr);
}

ShellSelection& TheShellSelection() {
    static ShellSelection selection;
    return selection;
}

void ReleaseShellSelection() {
    TheShellSelection().Release();
}

} // namespace rb
