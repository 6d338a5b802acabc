#include "shell/id_lists.h"

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

} // namespace rb
