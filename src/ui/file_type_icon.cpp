#include "ui/file_type_icon.h"

#include "common/win_lock.h"
#include "com/module.h"

#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <utility>
#include <vector>

namespace rb {

namespace {

// Two lists, as the shell hands out one icon per system image index: from extension to
// icon, and from image index to icon. Dialogs on several Explorer threads share them.
struct IconCache {
    CriticalSection lock;
    std::vector<std::pair<std::string, HICON>> byExtension;
    std::vector<std::pair<int, HICON>> byIndex;
    HIMAGELIST smallList = nullptr;
    HIMAGELIST largeList = nullptr;
    bool listsAsked = false;
    bool cleanupAdded = false;
};

IconCache& Cache() {
    static IconCache cache;
    return cache;
}

// At unload: the icons were made for this module and go with it.
void DestroyIcons() {
    IconCache& cache = Cache();
    ScopedLock lock(cache.lock);
    for (auto& entry : cache.byIndex)
        DestroyIcon(entry.second);
    cache.byIndex.clear();
    cache.byExtension.clear();
    cache.listsAsked = false;
    cache.cleanupAdded = false;
}

HIMAGELIST SystemList(UINT sizeFlag) {
    SHFILEINFOA info = {};
    return reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoA("C:\\", 0, &info, sizeof info, SHGFI_SYSICONINDEX | sizeFlag));
}

} // namespace

HICON FileTypeIcon(const char* extension, bool large) {
    if (!extension)
        return nullptr;
    IconCache& cache = Cache();
    ScopedLock lock(cache.lock);
    for (const auto& entry : cache.byExtension)
        if (entry.first == extension)
            return entry.second;

    SHFILEINFOA info = {};
    if (!SHGetFileInfoA(extension, FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                        SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SMALLICON))
        return nullptr;
    HICON icon = nullptr;
    for (const auto& entry : cache.byIndex)
        if (entry.first == info.iIcon)
            icon = entry.second;
    if (!icon) {
        if (!cache.listsAsked) {
            cache.smallList = SystemList(SHGFI_SMALLICON);
            cache.largeList = SystemList(0);
            cache.listsAsked = true;
        }
        HIMAGELIST list = large ? cache.largeList : cache.smallList;
        icon = list ? ImageList_GetIcon(list, info.iIcon, ILD_NORMAL) : nullptr;
        if (!icon)
            return nullptr;
        cache.byIndex.emplace_back(info.iIcon, icon);
        if (!cache.cleanupAdded) {
            AddModuleCleanup(&DestroyIcons);
            cache.cleanupAdded = true;
        }
    }
    cache.byExtension.emplace_back(extension, icon);
    return icon;
}

} // namespace rb
