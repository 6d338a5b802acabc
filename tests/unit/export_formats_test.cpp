#include "export/biff2/worksheet.h"
#include "export/formats.h"
#include "export/list_source.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace rb {
namespace {

class MemorySink : public ByteSink {
public:
    explicit MemorySink(std::string& out, bool& closed) : out_(out), closed_(closed) {}
    void Write(const void* data, std::size_t size) override {
        out_.append(static_cast<const char*>(data), size);
    }
    void Close() override { closed_ = true; }

private:
    std::string& out_;
    bool& closed_;
};

std::string Save(Worksheet& sheet) {
    std::string bytes;
    bool closed = false;
    BiffStream stream(std::unique_ptr<ByteSink>(new MemorySink(bytes, closed)));
    sheet.SaveTo(stream);
    EXPECT_TRUE(closed);
    return bytes;
}

// The file as the export streams it; the grid built in memory must save the same bytes.
std::string Xls(ListSource& list, XlsFill* fill = nullptr) {
    std::string streamed;
    bool closed = false;
    BiffStream stream(std::unique_ptr<ByteSink>(new MemorySink(streamed, closed)));
    XlsFill f = WriteXls(list, stream);
    EXPECT_TRUE(closed);
    Worksheet sheet;
    XlsFill g = FillWorksheet(list, sheet);
    EXPECT_EQ(Save(sheet), streamed);
    EXPECT_EQ(g.rowsWritten, f.rowsWritten);
    EXPECT_EQ(g.columnsWritten, f.columnsWritten);
    if (fill)
        *fill = f;
    return streamed;
}

std::string Hex(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty())
            out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string Unhex(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i + 1 < text.size();) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        out += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
        i += 2;
    }
    return out;
}

// Two columns Name and Größe; a.txt / 12 KB and b / (empty).
MemoryListSource Example() {
    MemoryListSource list;
    list.columns = {{"Name", 120},
                    {"Gr\xF6\xDF"
                     "e",
                     80}};
    list.rows = {{"a.txt", "12 KB"}, {"b", ""}};
    return list;
}

const std::string kHead = kHtmlHead;
const std::string kTail = kHtmlTail;

TEST(ExportFormats, WorkedExampleAsText) {
    MemoryListSource list = Example();
    EXPECT_EQ(TextOf(list, TextFormat::Txt), "Name\tGr\xF6\xDF"
                                             "e\t\r\na.txt\t12 KB\t\r\nb\t\t\r\n");
}

TEST(ExportFormats, WorkedExampleAsCsv) {
    MemoryListSource list = Example();
    EXPECT_EQ(TextOf(list, TextFormat::Csv), "\"Name\";\"Gr\xF6\xDF"
                                             "e\";\r\n\"a.txt\";\"12 KB\";\r\n\"b\";\"\";\r\n");
}

TEST(ExportFormats, WorkedExampleAsHtml) {
    MemoryListSource list = Example();
    EXPECT_EQ(kHead.size(), 171u);
    EXPECT_EQ(kTail.size(), 16u);
    EXPECT_EQ(BuildHtml(list, kHead, kTail),
              kHead +
                  "<TABLE Border=0><TR><td><b><nobr>Name</b></td><td><b><nobr>Gr\xF6\xDF"
                  "e</b></td></TR>\r\n\r\n"
                  "  <TR BGCOLOR=#EEEEEE><td><nobr>a.txt</td><td><nobr>12 KB</td>   </TR>\r\n"
                  "  <TR><td><nobr>b</td><td>&nbsp;</td>   </TR>\r\n"
                  "</TABLE>" +
                  kTail);
}

TEST(ExportFormats, WorkedExampleAsXls) {
    MemoryListSource list = Example();
    std::string bytes = Xls(list);
    EXPECT_EQ(bytes.size(), 104u);
    EXPECT_EQ(Hex(bytes), Hex(Unhex("09 00 04 00 02 00 10 00"
                                    "04 00 0C 00 00 00 00 00 00 00 70 04 4E 61 6D 65"
                                    "04 00 0D 00 00 00 01 00 00 00 70 05 47 72 F6 DF 65"
                                    "04 00 0D 00 01 00 00 00 00 00 00 05 61 2E 74 78 74"
                                    "04 00 0D 00 01 00 01 00 00 00 00 05 31 32 20 4B 42"
                                    "04 00 09 00 02 00 00 00 00 00 00 01 62"
                                    "04 00 08 00 02 00 01 00 00 00 00 00"
                                    "0A 00 00 00")));
}

TEST(ExportFormats, CellsThatAreNumbersBecomeNumberRecordsInXls) {
    // A list whose second column holds numbers, as the details page's sizes and counts.
    struct Numbers : MemoryListSource {
        bool GetItemNumber(int item, int column, double& value) override {
            if (column != 1 || item != 0)
                return false;
            value = 1234.5;
            return true;
        }
    } list;
    list.columns = {{"Name", 100}, {"Gr\xF6\xDF" "e", 100}};
    list.rows = {{"a", "  1.234,50 MB"}, {"b", ""}};
    std::string bytes;
    bool closed = false;
    BiffStream stream(std::unique_ptr<ByteSink>(new MemorySink(bytes, closed)));
    WriteXls(list, stream);
    // NUMBER (3), 15 bytes: row 1, column 1, no attributes, 1234.5 as a little-endian double.
    EXPECT_NE(Hex(bytes).find(Hex(Unhex("03 00 0F 00 01 00 01 00 00 00 00 00 00 00 00 00 4A 93 40"))),
              std::string::npos);
    // The name beside it and the empty cell of the row below stay labels.
    EXPECT_NE(Hex(bytes).find(Hex(Unhex("04 00 09 00 01 00 00 00 00 00 00 01 61"))), std::string::npos);
    EXPECT_NE(Hex(bytes).find(Hex(Unhex("04 00 08 00 02 00 01 00 00 00 00 00"))), std::string::npos);
}

TEST(ExportFormats, NoItemsGiveTheHeaderOnly) {
    MemoryListSource list = Example();
    list.rows.clear();
    EXPECT_EQ(TextOf(list, TextFormat::Txt), "Name\tGr\xF6\xDF"
                                             "e\t\r\n");
    EXPECT_EQ(TextOf(list, TextFormat::Csv), "\"Name\";\"Gr\xF6\xDF"
                                             "e\";\r\n");
    EXPECT_EQ(BuildHtml(list, kHead, kTail),
              kHead +
                  "<TABLE Border=0><TR><td><b><nobr>Name</b></td><td><b><nobr>Gr\xF6\xDF"
                  "e</b></td></TR>\r\n\r\n</TABLE>" +
                  kTail);
    EXPECT_EQ(Xls(list).size(), 8u + 16u + 17u + 4u);
}

TEST(ExportFormats, NoExportedColumns) {
    MemoryListSource list = Example();
    list.hasHeader = false;
    EXPECT_EQ(TextOf(list, TextFormat::Txt), "\r\n\r\n\r\n");
    EXPECT_EQ(TextOf(list, TextFormat::Csv), "\r\n\r\n\r\n");
    EXPECT_EQ(BuildHtml(list, kHead, kTail),
              kHead +
                  "<TABLE Border=0><TR></TR>\r\n\r\n  <TR BGCOLOR=#EEEEEE>   </TR>\r\n  <TR>   "
                  "</TR>\r\n</TABLE>" +
                  kTail);
    EXPECT_EQ(Hex(Xls(list)), "09 00 04 00 02 00 10 00 0A 00 00 00");
}

TEST(ExportFormats, EmptyCaption) {
    MemoryListSource list;
    list.columns = {{"", 50}, {"B", 50}};
    list.rows = {{"1", "2"}};
    EXPECT_EQ(TextOf(list, TextFormat::Txt), "\tB\t\r\n1\t2\t\r\n");
    EXPECT_EQ(TextOf(list, TextFormat::Csv), "\"\";\"B\";\r\n\"1\";\"2\";\r\n");
    std::string html = BuildHtml(list, "", "");
    EXPECT_EQ(html.rfind("<TABLE Border=0><TR><td>&nbsp;</td><td><b><nobr>B</b></td></TR>", 0), 0u);
    std::string xls = Xls(list);
    // An empty, bordered text cell: 04 00 08 00, row 0, column 0, 00 00 70, length 0.
    EXPECT_EQ(Hex(xls.substr(8, 12)), "04 00 08 00 00 00 00 00 00 00 70 00");
}

TEST(ExportFormats, WalkStartsAtTheNameColumn) {
    // The name column (index 0) dragged to the third position: the two columns left of
    // it are not exported.
    MemoryListSource list;
    list.columns = {{"Name", 100}, {"Size", 60}, {"Type", 60}, {"Date", 60}, {"Attr", 60}};
    list.order = {2, 3, 0, 1, 4};
    list.rows = {{"n", "s", "t", "d", "a"}};
    EXPECT_EQ(TextOf(list, TextFormat::Txt), "Name\tSize\tAttr\t\r\nn\ts\ta\t\r\n");
    ExportedColumns chosen = ChooseExportedColumns(list);
    EXPECT_EQ(chosen.indices, (std::vector<int>{0, 1, 4}));
    // Reordered columns right of it follow the display order.
    list.order = {0, 3, 1, 2, 4};
    EXPECT_EQ(ChooseExportedColumns(list).indices, (std::vector<int>{0, 3, 1, 2, 4}));
}

TEST(ExportFormats, ColumnsOfTenPixelsOrLessAreHidden) {
    MemoryListSource list;
    list.columns = {{"Name", 100}, {"Ten", 10}, {"Eleven", 11}, {"Zero", 0}};
    list.rows = {{"n", "x", "y", "z"}};
    EXPECT_EQ(TextOf(list, TextFormat::Txt), "Name\tEleven\t\r\nn\ty\t\r\n");
    EXPECT_EQ(Xls(list).size(), 8u + (12 + 4) + (12 + 6) + (12 + 1) + (12 + 1) + 4);
}

TEST(ExportFormats, LongCellIsWholeExceptInXls) {
    MemoryListSource list;
    std::string longText(300, 'L');
    list.columns = {{"Name", 100}};
    list.rows = {{longText}};
    EXPECT_EQ(TextOf(list, TextFormat::Txt), "Name\t\r\n" + longText + "\t\r\n");
    std::string xls = Xls(list);
    std::size_t label = 8 + 12 + 4; // BOF, header label
    EXPECT_EQ(Hex(xls.substr(label, 12)), "04 00 07 01 01 00 00 00 00 00 00 FF");
    EXPECT_EQ(xls.substr(label + 12, 255), std::string(255, 'L'));
    EXPECT_EQ(xls.size(), label + 12 + 255 + 4);
}

TEST(Worksheet, EmptySheetIsBofAndEof) {
    Worksheet sheet;
    EXPECT_EQ(Hex(Save(sheet)), "09 00 04 00 02 00 10 00 0A 00 00 00");
}

TEST(Worksheet, LoneCellKeepsItsPlace) {
    Worksheet sheet;
    sheet.CellAt(2, 3).SetText("x");
    EXPECT_EQ(sheet.RowCount(), 3u);
    EXPECT_EQ(sheet.CellAt(2, 0).CellKind(), WorksheetCell::Kind::Empty);
    EXPECT_EQ(Hex(Save(sheet)),
              "09 00 04 00 02 00 10 00 04 00 09 00 02 00 03 00 00 00 00 01 78 0A 00 00 00");
    EXPECT_EQ(sheet.RowCount(), 3u); // saving does not empty the sheet
}

TEST(Worksheet, CellsAreWrittenRowByRow) {
    Worksheet sheet;
    sheet.CellAt(1, 0).SetText("c");
    sheet.CellAt(0, 1).SetText("b");
    sheet.CellAt(0, 0).SetText("a");
    sheet.CellAt(0, 0).SetText("A"); // replaces the text
    std::string bytes = Save(sheet);
    ASSERT_EQ(bytes.size(), 8u + 3 * 13 + 4);
    EXPECT_EQ(bytes[8 + 12], 'A');
    EXPECT_EQ(bytes[8 + 13 + 12], 'b');
    EXPECT_EQ(bytes[8 + 26 + 12], 'c');
}

TEST(Worksheet, BorderTakesOnlyTheBorderBits) {
    WorksheetCell cell;
    cell.SetBorder(0x70);
    EXPECT_EQ(cell.Attribute(2), 0x70);
    EXPECT_EQ(cell.Attribute(0), 0);
    EXPECT_EQ(cell.Attribute(1), 0);
    // Shading and alignment bits stay; the left border goes.
    WorksheetCell shaded;
    shaded.SetAttributes(0x01, 0x02, 0x8B);
    shaded.SetBorder(0x70);
    EXPECT_EQ(shaded.Attribute(2), 0xF3);
    EXPECT_EQ(shaded.Attribute(0), 0x01);
    EXPECT_EQ(shaded.Attribute(1), 0x02);
    WorksheetCell all;
    all.SetBorder(0xFF);
    EXPECT_EQ(all.Attribute(2), 0x78);
    Worksheet sheet;
    sheet.CellAt(0, 0) = shaded;
    sheet.CellAt(0, 0).SetText("h");
    EXPECT_EQ(Hex(Save(sheet).substr(8, 13)), "04 00 09 00 00 00 00 00 01 02 F3 01 68");
}

TEST(Worksheet, HighBytesAreWrittenUnchanged) {
    Worksheet sheet;
    sheet.CellAt(0, 0).SetText("\x80\xC4\xFF");
    std::string bytes = Save(sheet);
    EXPECT_EQ(bytes.substr(8 + 12, 3), "\x80\xC4\xFF");
}

TEST(Worksheet, CopiesOwnTheirText) {
    WorksheetCell a;
    a.SetText("one");
    WorksheetCell b = a;
    a.SetText("two");
    EXPECT_STREQ(b.Text(), "one");
    EXPECT_STREQ(a.Text(), "two");
    b = a;
    EXPECT_STREQ(b.Text(), "two");
    EXPECT_NE(b.Text(), a.Text());
}

// What we mend beyond the plain formats.
TEST(ExportFaults, HtmlTextsAreEscaped) {
    MemoryListSource list;
    list.columns = {{"A&B", 50}, {"<i>", 50}};
    list.rows = {{"<script>alert(\"x\")</script>", "Tom & Jerry > 1"}};
    std::string html = BuildHtml(list, "", "");
    EXPECT_EQ(html, "<TABLE Border=0><TR><td><b><nobr>A&amp;B</b></td><td><b><nobr>&lt;i&gt;</b>"
                    "</td></TR>\r\n\r\n  <TR BGCOLOR=#EEEEEE><td><nobr>&lt;script&gt;alert(&quot;"
                    "x&quot;)&lt;/script&gt;</td><td><nobr>Tom &amp; Jerry &gt; 1</td>   </TR>"
                    "\r\n</TABLE>");
}

TEST(ExportFaults, CsvQuotesAreDoubledAndNothingElseChanges) {
    MemoryListSource list;
    list.columns = {{"Say \"hi\"", 50}, {"a;b", 50}};
    list.rows = {{"\"", "x\ty\r\nz"}};
    EXPECT_EQ(TextOf(list, TextFormat::Csv),
              "\"Say \"\"hi\"\"\";\"a;b\";\r\n\"\"\"\";\"x\ty\r\nz\";\r\n");
    // TXT keeps quotes as they are, but quotes a text that begins with one or holds a
    // TAB or a line break.
    EXPECT_EQ(TextOf(list, TextFormat::Txt), "Say \"hi\"\ta;b\t\r\n\"\"\"\"\t\"x\ty\r\nz\"\t\r\n");
}

TEST(ExportFaults, TxtQuotesWhatWouldBreakItsRowsAndColumnsAndNothingElse) {
    MemoryListSource list;
    list.columns = {{"Tab\there", 50}, {"\"quoted\" caption", 50}, {"plain \"inner\"", 50}};
    list.rows = {{"cr\ralone", "lf\nalone", "\""}, {"", " \"leading blank", "no;change,here"}};
    EXPECT_EQ(TextOf(list, TextFormat::Txt),
              "\"Tab\there\"\t\"\"\"quoted\"\" caption\"\tplain \"inner\"\t\r\n"
              "\"cr\ralone\"\t\"lf\nalone\"\t\"\"\"\"\t\r\n"
              "\t \"leading blank\tno;change,here\t\r\n");
    // CSV is unchanged by this: every text was quoted there already.
    EXPECT_EQ(TextOf(list, TextFormat::Csv),
              "\"Tab\there\";\"\"\"quoted\"\" caption\";\"plain \"\"inner\"\"\";\r\n"
              "\"cr\ralone\";\"lf\nalone\";\"\"\"\";\r\n"
              "\"\";\" \"\"leading blank\";\"no;change,here\";\r\n");
}

TEST(ExportFaults, MarkerTextsInsideCellsAreKept) {
    MemoryListSource list;
    const std::string cellLike = "\xD8\xD8\xD8\xD8.txt";
    const std::string separatorLike = "a|b;c";
    const std::string lineEndLike = "c\r|\n|d";
    list.columns = {{cellLike, 50}, {separatorLike, 50}};
    list.rows = {{cellLike, lineEndLike}};
    EXPECT_EQ(TextOf(list, TextFormat::Txt), cellLike + "\t" + separatorLike + "\t\r\n" + cellLike +
                                                 "\t\"" + lineEndLike + "\"\t\r\n");
    EXPECT_EQ(TextOf(list, TextFormat::Csv), "\"" + cellLike + "\";\"" + separatorLike +
                                                 "\";\r\n\"" + cellLike + "\";\"" + lineEndLike +
                                                 "\";\r\n");
}

struct Label {
    int row, column;
};

// The LABEL records of a BIFF2 stream, in order.
std::vector<Label> Labels(const std::string& bytes) {
    auto byte = [&](std::size_t i) {
        return static_cast<unsigned>(static_cast<unsigned char>(bytes[i]));
    };
    std::vector<Label> labels;
    std::size_t at = 8;
    while (at + 4 <= bytes.size()) {
        unsigned id = byte(at) | (byte(at + 1) << 8);
        unsigned length = byte(at + 2) | (byte(at + 3) << 8);
        if (id != 0x04)
            break;
        labels.push_back({static_cast<int>(byte(at + 4) | (byte(at + 5) << 8)),
                          static_cast<int>(byte(at + 6) | (byte(at + 7) << 8))});
        at += 4 + length;
    }
    return labels;
}

TEST(ExportFaults, XlsStopsAtTheLastRowTheFormatHolds) {
    MemoryListSource list;
    list.columns = {{"Name", 100}, {"Size", 50}};
    for (int r = 0; r < 70000; ++r)
        list.rows.push_back({"r" + std::to_string(r), "s"});
    XlsFill fill;
    std::string bytes = Xls(list, &fill);
    EXPECT_EQ(fill.rowsInList, 70001);
    EXPECT_EQ(fill.rowsWritten, 16384);
    EXPECT_EQ(fill.columnsWritten, 2);
    EXPECT_TRUE(fill.Cut());
    std::vector<Label> labels = Labels(bytes);
    ASSERT_EQ(labels.size(), 2u * 16384u);
    // Row numbers climb without wrapping and end at 16383.
    for (std::size_t i = 1; i < labels.size(); ++i)
        ASSERT_GE(labels[i].row, labels[i - 1].row) << i;
    EXPECT_EQ(labels.back().row, 16383);
    // The other formats keep every row.
    std::string text = TextOf(list, TextFormat::Txt);
    std::size_t lines = 0;
    for (std::size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", p + 2))
        ++lines;
    EXPECT_EQ(lines, 70001u);
}

TEST(ExportFaults, XlsStopsAtTheLastColumnTheFormatHolds) {
    MemoryListSource list;
    for (int c = 0; c < 300; ++c)
        list.columns.push_back({"c" + std::to_string(c), 20});
    list.rows = {std::vector<std::string>(300, "v")};
    XlsFill fill;
    std::string bytes = Xls(list, &fill);
    EXPECT_EQ(fill.columnsInList, 300);
    EXPECT_EQ(fill.columnsWritten, 256);
    EXPECT_EQ(fill.rowsWritten, 2);
    EXPECT_TRUE(fill.Cut());
    std::vector<Label> labels = Labels(bytes);
    ASSERT_EQ(labels.size(), 2u * 256u);
    for (const Label& label : labels)
        EXPECT_LT(label.column, 256);
    EXPECT_EQ(BuildHtml(list, "", "").size() > 300 * 20, true);

    MemoryListSource example = Example();
    XlsFill small;
    Xls(example, &small);
    EXPECT_FALSE(small.Cut());
}

} // namespace
} // namespace rb
