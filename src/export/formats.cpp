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

void Place(MarkedText& marked, MarkedText::Kind kind, const char* marker) {
    marked.markers.push_back({marked.text.size(), kind});
    marked.text += marker;
}

void AppendCell(MarkedText& marked, const std::string& text) {
    Place(marked, MarkedText::Kind::Cell, kCellMarker);
    marked.text += text;
    Place(marked, MarkedText::Kind::Cell, kCellMarker);
    Place(marked, MarkedText::Kind::Separator, kSeparatorMarker);
}

std::size_t MarkerLength(MarkedText::Kind kind) {
    switch (kind) {
    case MarkedText::Kind::Cell:
        return std::strlen(kCellMarker);
    case MarkedText::Kind::Separator:
        return std::strlen(kSeparatorMarker);
    case MarkedText::Kind::LineEnd:
        return std::strlen(kLineEndMarker);
    }
    return 0;
}

// Copies the text between the placed markers through `text` (told whether it is a
// cell's text) and puts `replacement(kind)` for each marker.
template <typename Text, typename Replacement>
std::string Replace(const MarkedText& marked, Text text, Replacement replacement) {
    std::string out;
    out.reserve(marked.text.size());
    std::size_t done = 0;
    bool insideCell = false;
    for (const MarkedText::Marker& marker : marked.markers) {
        text(out, marked.text.data() + done, marker.offset - done, insideCell);
        out += replacement(marker.kind);
        if (marker.kind == MarkedText::Kind::Cell)
            insideCell = !insideCell;
        done = marker.offset + MarkerLength(marker.kind);
    }
    text(out, marked.text.data() + done, marked.text.size() - done, insideCell);
    return out;
}

} // namespace

MarkedText BuildMarkedText(ListSource& list) {
    MarkedText marked;
    ExportedColumns columns = ChooseExportedColumns(list);
    for (const std::string& caption : columns.captions)
        AppendCell(marked, caption);
    Place(marked, MarkedText::Kind::LineEnd, kLineEndMarker);
    int items = list.GetItemCount();
    if (items > 0) {
        std::size_t room = static_cast<std::size_t>(items) * columns.indices.size() * 128;
        marked.text.reserve(marked.text.size() + room);
        marked.markers.reserve(static_cast<std::size_t>(items) * (columns.indices.size() * 3 + 1));
    }
    for (int item = 0; item < items; ++item) {
        for (int column : columns.indices)
            AppendCell(marked, list.GetItemText(item, column));
        Place(marked, MarkedText::Kind::LineEnd, kLineEndMarker);
    }
    return marked;
}

std::string ApplyTxtReplacements(const MarkedText& marked) {
    return Replace(
        marked,
        [](std::string& out, const char* text, std::size_t length, bool) {
            out.append(text, length);
        },
        [](MarkedText::Kind kind) -> const char* {
            switch (kind) {
            case MarkedText::Kind::LineEnd:
                return "\r\n";
            case MarkedText::Kind::Separator:
                return "\t";
            default:
                return "";
            }
        });
}

std::string ApplyCsvReplacements(const MarkedText& marked) {
    return Replace(
        marked,
        [](std::string& out, const char* text, std::size_t length, bool insideCell) {
            for (std::size_t i = 0; i < length; ++i) {
                if (insideCell && text[i] == '"')
                    out += '"';
                out += text[i];
            }
        },
        [](MarkedText::Kind kind) -> const char* {
            switch (kind) {
            case MarkedText::Kind::LineEnd:
                return "\r\n";
            case MarkedText::Kind::Cell:
                return "\"";
            default:
                return ";";
            }
        });
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

std::string BuildHtml(ListSource& list, const std::string& head, const std::string& tail) {
    std::string html = head + "<TABLE Border=0><TR>";
    ExportedColumns columns = ChooseExportedColumns(list);
    for (const std::string& caption : columns.captions) {
        if (caption.empty())
            html += "<td>&nbsp;</td>";
        else
            html += "<td><b><nobr>" + HtmlEscape(caption) + "</b></td>";
    }
    html += "</TR>\r\n\r\n";
    int items = list.GetItemCount();
    bool shaded = true;
    for (int item = 0; item < items; ++item) {
        html += shaded ? "  <TR BGCOLOR=#EEEEEE>" : "  <TR>";
        shaded = !shaded;
        for (int column : columns.indices) {
            std::string text = list.GetItemText(item, column);
            if (text.empty())
                html += "<td>&nbsp;</td>";
            else
                html += "<td><nobr>" + HtmlEscape(text) + "</td>";
        }
        html += "   </TR>\r\n";
    }
    html += "</TABLE>";
    html += tail;
    return html;
}

XlsFill FillWorksheet(ListSource& list, Worksheet& sheet) {
    XlsFill fill;
    ExportedColumns columns = ChooseExportedColumns(list);
    fill.columnsInList = static_cast<int>(columns.indices.size());
    fill.columnsWritten = fill.columnsInList < kXlsMaxColumns ? fill.columnsInList : kXlsMaxColumns;
    for (int k = 0; k < fill.columnsWritten; ++k) {
        WorksheetCell& cell = sheet.CellAt(0, static_cast<std::uint32_t>(k));
        cell.SetBorder(0x70);
        cell.SetText(columns.captions[k]);
    }
    int items = list.GetItemCount();
    fill.rowsInList = items + 1;
    fill.rowsWritten = fill.rowsInList < kXlsMaxRows ? fill.rowsInList : kXlsMaxRows;
    sheet.Reserve(static_cast<std::size_t>(fill.rowsWritten),
                  static_cast<std::size_t>(fill.columnsWritten));
    for (int item = 0; item + 1 < fill.rowsWritten; ++item)
        for (int k = 0; k < fill.columnsWritten; ++k)
            sheet.CellAt(static_cast<std::uint32_t>(item + 1), static_cast<std::uint32_t>(k))
                .SetText(list.GetItemText(item, columns.indices[k]));
    return fill;
}

} // namespace rb
