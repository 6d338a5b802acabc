// The four export formats over a ListSource: tab-separated text, CSV, an HTML table and
// a BIFF2 worksheet. Each is written into a byte sink as the list is read, in blocks, so
// that a long list never has to fit in memory as a whole.
#pragma once

#include "export/biff2/worksheet.h"
#include "export/list_source.h"

#include <cstddef>
#include <string>

namespace rb {

extern const char* const kHtmlHead; // 171 bytes
extern const char* const kHtmlTail; // 16 bytes

// Bytes gathered in a string (tests, and callers that want the whole text).
class StringSink : public ByteSink {
public:
    explicit StringSink(std::string& out) : out_(out) {}
    void Write(const void* data, std::size_t size) override {
        out_.append(static_cast<const char*>(data), size);
    }
    void Close() override {}

private:
    std::string& out_;
};

enum class TextFormat { Txt, Csv };

// One line per row, the header first, each ended by CR LF; every cell followed by its
// separator (TAB or ";"). CSV puts every text in double quotes and doubles the quotes
// inside. TXT writes a text as it is, unless it holds a TAB, CR or LF or begins with a
// double quote: such a text is quoted the same way, so that rows and columns survive.
void WriteText(ListSource& list, TextFormat format, ByteSink& sink);
std::string TextOf(ListSource& list, TextFormat format);

// "&", "<", ">" and '"' as entities; other bytes unchanged.
std::string HtmlEscape(const std::string& text);

// Head, a table with a header row and one row per item (every other row shaded), tail.
void WriteHtml(ListSource& list, const std::string& head, const std::string& tail, ByteSink& sink);
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
// format's limits are left out. FillWorksheet builds the grid in memory; WriteXls writes
// the same records straight into the stream, which it closes.
XlsFill FillWorksheet(ListSource& list, Worksheet& sheet);
XlsFill WriteXls(ListSource& list, BiffStream& stream);

} // namespace rb
