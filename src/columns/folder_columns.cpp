// The folder columns' texts: size, folder count and file count.
#include "columns/folder_walk.h"

#include "columns/catalogue.h"
#include "columns/number_format.h"
#include "columns/options.h"
#include "columns/producers.h"

namespace rb {

bool ProduceFolderColumn(unsigned column, const wchar_t* path, bool isFolder, ValueText& value) {
    const OptionSet& options = Options();
    if (!isFolder) {
        if (column == FolderSize && options.dateiGroesse.load(std::memory_order_relaxed) != 0)
            value.Assign(FormatSize(FileSize(path), CurrentSizeFormat()).c_str());
        return true;
    }
    FolderTotals totals;
    if (!FolderStatistics(ExtendedPath(path ? path : L""), totals))
        return false;
    switch (column) {
    case FolderSize:
        value.Assign(FormatSize(totals.size, CurrentSizeFormat()).c_str());
        break;
    case FolderCount:
        value.Assign(FormatCount(totals.folders,
                                 options.tausenderOrdner.load(std::memory_order_relaxed) != 0)
                         .c_str());
        break;
    case FileCount:
        value.Assign(
            FormatCount(totals.files, options.tausenderDateien.load(std::memory_order_relaxed) != 0)
                .c_str());
        break;
    default:
        break;
    }
    return true;
}

} // namespace rb
