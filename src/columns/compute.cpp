#include "columns/compute.h"

#include "columns/producers.h"
#include "columns/tree_walk.h"
#include "common/win_text.h"

namespace rb {

ColumnValue ComputeColumnValue(unsigned column, const wchar_t* path, std::uint32_t attributes,
                               const wchar_t* extension, ImageLibrary& images) {
    ColumnValue result;
    const bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!path)
        path = L"";
    // Columns that read the item need a full path: a relative one would name something
    // in whatever the current folder is.
    const bool readsItem =
        column <= ImageSize || (column >= ModifiedSeconds && column <= AccessedSeconds);
    if (readsItem && ExtendedPath(path).empty()) {
        result.outcome = ColumnOutcome::NoValue;
        return result;
    }
    ValueText value;
    switch (column) {
    case FolderSize:
    case FolderCount:
    case FileCount:
        if (!ProduceFolderColumn(column, path, isFolder, value))
            result.outcome = ColumnOutcome::NoValue;
        break;
    case Dpi:
        ProduceDpi(images, path, attributes, value);
        break;
    case BitDepth:
        ProduceBitDepth(images, path, attributes, value);
        break;
    case ImageSize:
        if (!ProduceImageSize(images, path, attributes, value))
            result.outcome = ColumnOutcome::NoValue;
        break;
    case FullPath:
        result.text = path;
        return result;
    case Extension:
        if (isFolder)
            result.outcome = ColumnOutcome::NoValue;
        else if (extension)
            result.text = extension;
        return result;
    case ContentType: {
        std::string ansi;
        if (extension)
            ansi = WideToAnsi(extension);
        ProduceContentType(extension ? ansi.c_str() : nullptr, value);
        break;
    }
    case ModifiedSeconds:
    case CreatedSeconds:
    case AccessedSeconds:
        ProduceTimeText(column, path, value);
        break;
    default:
        result.outcome = ColumnOutcome::UnknownColumn;
        return result;
    }
    if (result.outcome == ColumnOutcome::HasValue)
        result.text = AnsiToWide(value.text);
    return result;
}

} // namespace rb
