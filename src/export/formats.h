// The four export formats over a ListSource: tab-separated text and CSV (from one marked
// text), an HTML table and a BIFF2 worksheet.
#pragma once

#include "export/biff2/worksheet.h"
#include "export/list_source.h"

#include <cstddef>
#include <string>
#include <vector>

namespace rb {

constexpr const char* kCellMarker = "\xD8\xD8\xD8\xD8"; // four times Ø
constexpr const char* kSeparatorMarker = "\t|\t|\t|\t"; // seven bytes
constexpr const char* kLineEndMarker = "\r|\n|\r|\n";   // seven bytes

extern const char* const kHtmlHead; // 171 bytes
extern const char* const kHtmlTail; // 16 bytes

// The common text of TXT and CSV: every cell as cell marker, text, cell marker,
// separator marker; every line (header first) followed by a line-end marker. The
// offsets of the markers placed here are kept, so that the replacements touch only
// these and never a marker-like text inside a caption or cell.
struct MarkedText {
    enum class Kind { Cell, Separator, LineEnd };
    struct Marker {
        std::size_t offset;
        Kind kind;
    };
    std::string text;
    std::vector<Marker> markers; // in text order
};

MarkedText BuildMarkedText(ListSource& list);

// TXT: line end -> CR LF, separator -> TAB, cell marker removed.
std::string ApplyTxtReplacements(const MarkedText& marked);
// CSV: line end -> CR LF, cell marker -> double quote, separator -> ";". A double quote
// inside a text is doubled, as a quoted field requires.
std::string ApplyCsvReplacements(const MarkedText& marked);

// "&", "<", ">" and '"' as entities; other bytes unchanged.
std::string HtmlEscape(const std::string& text);

// Head, a table with a header row and one row per item (every other row shaded), tail.
std::string BuildHtml(ListSource& list, const std::string& head, const std::string& tail);

// BIFF2 holds 16,384 rows (the header row counts) and 256 columns.
constexpr int kXlsMaxRows = 16384;
constexpr int kXlsMaxColumns = 256;

struct XlsFill {
    int rowsWritten = 0; // header row included
    int rowsInList = 0;  // header row included
    int columnsWritten = 0;
    int columnsInList = 0;
    bool Cut() const { return rowsWritten < rowsInList || columnsWritten < columnsInList; }
};

// Header cells (bordered 0x70) in row 0, the items below; rows and columns beyond the
// format's limits are left out.
XlsFill FillWorksheet(ListSource& list, Worksheet& sheet);

} // namespace rb
