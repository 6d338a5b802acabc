// One item of a listed folder as the details page holds it: its values as numbers, read
// once, and the order of two items by any column.
#pragma once

#include <windows.h>

#include "columns/producers.h"
#include "columns/tree_walk.h"

#include <cstdint>
#include <string>

namespace rb {

struct RowValues {
    std::wstring path; // file-system path; empty for other items
    bool isFolder = false;
    bool sizeRead = false;  // attributes and size
    bool timesRead = false;
    std::uint64_t fileSize = 0;
    FILETIME written = {}, created = {}, accessed = {};
    bool imageRead = false;
    ImageFacts image;
    // A folder's three numbers: not known yet (not asked, or its walk runs), known, or
    // none (it cannot be listed, or its walk failed).
    enum class Totals { Unknown, Known, None } totals = Totals::Unknown;
    FolderTotals folder;
    std::wstring contentType; // of a file's extension, once shown or sorted by
};

// The extension column of an item: the text after the last full stop of the file name,
// lower-cased; empty when the name has none or ends in it.
std::wstring ExtensionOfName(const std::wstring& path);

// What a row is ordered by in one column: a number pair or a text, or nothing at all.
struct SortValue {
    bool has = false;
    std::uint64_t first = 0, second = 0;
    std::wstring text;
};

// The value that catalogue column `column` shows for `row`, as it is ordered: sizes and
// counts, DPI and pixel sizes by their numbers, times by their whole value, texts as
// Explorer orders names (numbers inside by value). `fileSizes`: the option that shows
// files' sizes in the size column.
SortValue SortValueOf(const RowValues& row, unsigned column, bool fileSizes);

// Below zero when `a` comes first in ascending order; rows without a value come after
// those with one.
int CompareSortValues(const SortValue& a, const SortValue& b);

// `text` lower-cased by the system's table, as the rows keep their names.
std::wstring LowerForSort(const std::wstring& text);

// Whether a first click on the column sorts largest first, as folder-size tools do for
// sizes and counts (texts and times start with the smallest).
bool SortsDescendingFirst(unsigned column);

} // namespace rb
