#include "export/formats.h"

#include <cstring>

namespace rb {

const char* const kHtmlHead = "<html><head><style><!-- \r\n"
                              "body,td,a,p,.h{font-family:arial,sans-serif; font-size: 12px; }\r\n"
                              ".h{font-size: 20px;}\r\n"
                              ".q{color:#0000cc;}\r\n"
                              "//-->\r\n"
                              "</style></head>\r\n"
                              "\r\n"
                              "<body>\r\n"
                              "\r\n"
                              "\r\n";
const char* const kHtmlTail = "</body></html>\r\n";

namespace {

// Gathers bytes and hands them to the sink in blocks. The writer flushes at its end
// itself: a destructor that wrote could throw while an exception is already on its way.
class BlockWriter {
public:
    explicit BlockWriter(ByteSink& sink) : sink_(sink) { pending_.reserve(kBlock + 4096); }
    BlockWriter(const BlockWriter&) = delete;
    BlockWriter& operator=(const BlockWriter&) = delete;

    void Append(const char* data, std::size_t size) {
        pending_.append(data, size);
        if (pending_.size() >= kBlock)
            Flush();
    }
    void Append(const std::string& text) { Append(text.data(), text.size()); }
    void Append(char c) { Append(&c, 1); }
    void Flush() {
        if (!pending_.empty())
            sink_.Write(pending_.data(), pending_.size());
        pending_.clear();
    }

private:
    static constexpr std::size_t kBlock = 64 * 1024;
    ByteSink& sink_;
    std::string pending_;
};

// The text between double quotes, each double quote inside it doubled.
void AppendQuoted(BlockWriter& out, const std::string& text) {
    out.Append('"');
    std::size_t done = 0;
    for (std::size_t at = text.find('"'); at != std::string::npos; at = text.find('"', at + 1)) {
        out.Append(text.data() + done, at + 1 - done);
        out.Append('"');
        done = at + 1;
    }
    out.Append(text.data() + done, text.size() - done);
    out.Append('"');
}

bool BreaksTabSeparatedText(const std::string& text) {
    return text.find_first_of("\t\r\n") != std::string::npos || (!text.empty() && text[0] == '"');
}

void AppendCell(BlockWriter& out, TextFormat format, const std::string& text) {
    if (format == TextFormat::Csv) {
        AppendQuoted(out, text);
        out.Append(';');
    } else {
        if (BreaksTabSeparatedText(text))
            AppendQuoted(out, text);
        else
            out.Append(text);
        out.Append('\t');
    }
}

} // namespace

void WriteText(ListSource& list, TextFormat format, ByteSink& sink) {
    BlockWriter out(sink);
    ExportedColumns columns = ChooseExportedColumns(list);
    for (const std::string& caption : columns.captions)
        AppendCell(out, format, caption);
    out.Append("\r\n", 2);
    int items = list.GetItemCount();
    for (int item = 0; item < items; ++item) {
        for (int column : columns.indices)
            AppendCell(out, format, list.GetItemText(item, column));
        out.Append("\r\n", 2);
    }
    out.Flush();
}

std::string TextOf(ListSource& list, TextFormat format) {
    std::string text;
    StringSink sink(text);
    WriteText(list, format, sink);
    return text;
}

std::string HtmlEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

void WriteHtml(ListSource& list, const std::string& head, const std::string& tail, ByteSink& sink) {
    BlockWriter out(sink);
    out.Append(head);
    out.Append("<TABLE Border=0><TR>");
    ExportedColumns columns = ChooseExportedColumns(list);
    for (const std::string& caption : columns.captions) {
        if (caption.empty()) {
            out.Append("<td>&nbsp;</td>");
        } else {
            out.Append("<td><b><nobr>");
            out.Append(HtmlEscape(caption));
            out.Append("</b></td>");
        }
    }
    out.Append("</TR>\r\n\r\n");
    int items = list.GetItemCount();
    bool shaded = true;
    for (int item = 0; item < items; ++item) {
        out.Append(shaded ? "  <TR BGCOLOR=#EEEEEE>" : "  <TR>");
        shaded = !shaded;
        for (int column : columns.indices) {
            std::string text = list.GetItemText(item, column);
            if (text.empty()) {
                out.Append("<td>&nbsp;</td>");
            } else {
                out.Append("<td><nobr>");
                out.Append(HtmlEscape(text));
                out.Append("</td>");
            }
        }
        out.Append("   </TR>\r\n");
    }
    out.Append("</TABLE>");
    out.Append(tail);
    out.Flush();
}

std::string BuildHtml(ListSource& list, const std::string& head, const std::string& tail) {
    std::string html;
    StringSink sink(html);
    WriteHtml(list, head, tail, sink);
    return html;
}

namespace {

XlsFill XlsLimits(ListSource& list, const ExportedColumns& columns) {
    XlsFill fill;
    fill.columnsInList = static_cast<int>(columns.indices.size());
    fill.columnsWritten = fill.columnsInList < kXlsMaxColumns ? fill.columnsInList : kXlsMaxColumns;
    int items = list.GetItemCount();
    fill.rowsInList = (items > 0 ? items : 0) + 1;
    fill.rowsWritten = fill.rowsInList < kXlsMaxRows ? fill.rowsInList : kXlsMaxRows;
    return fill;
}

constexpr std::uint8_t kHeaderBorder = 0x70;

} // namespace

XlsFill WriteXls(ListSource& list, BiffStream& stream) {
    ExportedColumns columns = ChooseExportedColumns(list);
    XlsFill fill = XlsLimits(list, columns);
    BofRecord().Write(stream);
    for (int k = 0; k < fill.columnsWritten; ++k)
        WriteLabel(stream, 0, static_cast<std::uint16_t>(k), {0, 0, kHeaderBorder},
                   columns.captions[k]);
    for (int item = 0; item + 1 < fill.rowsWritten; ++item)
        for (int k = 0; k < fill.columnsWritten; ++k) {
            const auto row = static_cast<std::uint16_t>(item + 1);
            const auto column = static_cast<std::uint16_t>(k);
            double number = 0;
            if (list.GetItemNumber(item, columns.indices[k], number))
                WriteNumber(stream, row, column, {0, 0, 0}, number);
            else
                WriteLabel(stream, row, column, {0, 0, 0}, list.GetItemText(item, columns.indices[k]));
        }
    EofRecord().Write(stream);
    stream.Close();
    return fill;
}

XlsFill FillWorksheet(ListSource& list, Worksheet& sheet) {
    ExportedColumns columns = ChooseExportedColumns(list);
    XlsFill fill = XlsLimits(list, columns);
    for (int k = 0; k < fill.columnsWritten; ++k) {
        WorksheetCell& cell = sheet.CellAt(0, static_cast<std::uint32_t>(k));
        cell.SetBorder(kHeaderBorder);
        cell.SetText(columns.captions[k]);
    }
    sheet.Reserve(static_cast<std::size_t>(fill.rowsWritten),
                  static_cast<std::size_t>(fill.columnsWritten));
    for (int item = 0; item + 1 < fill.rowsWritten; ++item)
        for (int k = 0; k < fill.columnsWritten; ++k)
            sheet.CellAt(static_cast<std::uint32_t>(item + 1), static_cast<std::uint32_t>(k))
                .SetText(list.GetItemText(item, columns.indices[k]));
    return fill;
}

} // namespace rb
