// Finding and reading the Explorer file list in a real list-view control.
#include <gtest/gtest.h>

#include "export/formats.h"
#include "export/listview_source.h"
#include "fake_explorer.h"

#include <commctrl.h>

namespace {

using rbtest::FakeExplorer;

TEST(Discovery, FindsTheListInsideTheShellView) {
    FakeExplorer explorer;
    ASSERT_TRUE(explorer.List());
    EXPECT_EQ(rb::FindWindowOfClass(explorer.Frame(), "SHELLDLL_DefView"), explorer.View());
    EXPECT_EQ(rb::FindExplorerListView(explorer.Frame()), explorer.List());
    EXPECT_EQ(rb::FindWindowOfClass(explorer.Frame(), "ExploreWClass"), explorer.Frame());
    EXPECT_EQ(rb::FindWindowOfClass(explorer.Frame(), "NoSuchClass"), nullptr);
    EXPECT_EQ(rb::FindExplorerListView(nullptr), nullptr);
}

TEST(Discovery, NullWithoutTheShellViewOrTheList) {
    FakeExplorer bare(false);
    EXPECT_EQ(rb::FindExplorerListView(bare.Frame()), nullptr);
    HWND frame = CreateWindowExA(0, "STATIC", "frame", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr,
                                 nullptr, nullptr, nullptr);
    HWND view = CreateWindowExA(0, "SHELLDLL_DefView", "", WS_CHILD, 0, 0, 10, 10, frame, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(view);
    EXPECT_EQ(rb::FindExplorerListView(frame), nullptr);
    DestroyWindow(frame);
}

class ListView : public testing::Test {
protected:
    FakeExplorer explorer;
    rb::ListViewSource source{nullptr};
    void SetUp() override { source = rb::ListViewSource(explorer.List()); }
};

TEST_F(ListView, ColumnsInDisplayOrder) {
    explorer.SetColumns({{"Name", 100}, {"Size", 60}, {"Type", 60}, {"Date", 60}});
    EXPECT_EQ(source.GetColumnCount(), 4);
    explorer.SetOrder({2, 3, 0, 1});
    EXPECT_EQ(source.GetDisplayPosition(0), 2);
    EXPECT_EQ(source.GetDisplayPosition(2), 0);
    EXPECT_EQ(source.GetDisplayPosition(7), 7);
    EXPECT_EQ(source.GetDisplayPosition(-1), -1);
    EXPECT_EQ(source.GetColumnAtPosition(0), 2);
    EXPECT_EQ(source.GetColumnAtPosition(3), 1);
    rb::ExportedColumns chosen = rb::ChooseExportedColumns(source);
    EXPECT_EQ(chosen.indices, (std::vector<int>{0, 1}));
    EXPECT_EQ(chosen.captions, (std::vector<std::string>{"Name", "Size"}));
}

TEST_F(ListView, NarrowColumnsAreHidden) {
    explorer.SetColumns({{"Name", 100}, {"Ten", 10}, {"Eleven", 11}, {"Gone", 0}});
    EXPECT_EQ(source.GetColumnWidth(1), 10);
    EXPECT_EQ(source.GetColumnWidth(2), 11);
    EXPECT_EQ(rb::ChooseExportedColumns(source).indices, (std::vector<int>{0, 2}));
}

TEST_F(ListView, LongCaptionIsCutAndLongCellReadWhole) {
    std::string caption(700, 'C');
    std::string cell(300, 'x');
    std::string longer(2000, 'y');
    explorer.SetColumns({{caption, 100}, {"B", 50}});
    explorer.AddRows({{cell, longer}, {"", "255chars" + std::string(247, '.')}});
    EXPECT_EQ(source.GetHeaderText(0), std::string(511, 'C'));
    EXPECT_EQ(source.GetItemText(0, 0), cell);
    EXPECT_EQ(source.GetItemText(0, 1), longer);
    EXPECT_EQ(source.GetItemText(1, 0), "");
    EXPECT_EQ(source.GetItemText(1, 1).size(), 255u);
}

TEST_F(ListView, EveryItemWhetherSelectedOrNot) {
    explorer.SetColumns({{"Name", 100}});
    explorer.AddRows({{"a"}, {"b"}, {"c"}});
    explorer.SelectItem(1);
    EXPECT_EQ(source.GetItemCount(), 3);
    EXPECT_EQ(rb::TextOf(source, rb::TextFormat::Txt), "Name\t\r\na\t\r\nb\t\r\nc\t\r\n");
}

TEST_F(ListView, EachFormatMatchesTheSameListInMemory) {
    std::vector<rbtest::FakeColumn> columns = {{"Name", 120},
                                               {"Gr\xF6\xDF"
                                                "e",
                                                70},
                                               {"Typ", 9},
                                               {"Ge\xE4ndert", 90},
                                               {"", 40}};
    std::vector<std::vector<std::string>> rows = {
        {"a.txt", "12 KB", "Text", "01.02.2003", "x"},
        {"b & <c>", "", "Ordner", "", ""},
        {"\"quoted\";", "1 KB", "", "04.05.2006", std::string(400, 'z')},
        {"\xD8\xD8\xD8\xD8.txt", "0 KB", "Text", "07.08.2009", "\t|\t|\t|\t"},
    };
    explorer.SetColumns(columns);
    explorer.AddRows(rows);
    explorer.SetOrder({3, 0, 1, 2, 4});
    explorer.SelectItem(2);

    rb::MemoryListSource memory;
    for (const auto& c : columns)
        memory.columns.push_back({c.caption, c.width});
    memory.rows = rows;
    memory.order = {3, 0, 1, 2, 4};

    EXPECT_EQ(rb::TextOf(source, rb::TextFormat::Txt), rb::TextOf(memory, rb::TextFormat::Txt));
    EXPECT_EQ(rb::TextOf(source, rb::TextFormat::Csv), rb::TextOf(memory, rb::TextFormat::Csv));
    EXPECT_EQ(rb::BuildHtml(source, rb::kHtmlHead, rb::kHtmlTail),
              rb::BuildHtml(memory, rb::kHtmlHead, rb::kHtmlTail));
    rb::Worksheet a, b;
    rb::XlsFill fa = rb::FillWorksheet(source, a);
    rb::XlsFill fb = rb::FillWorksheet(memory, b);
    EXPECT_EQ(fa.rowsWritten, fb.rowsWritten);
    EXPECT_EQ(fa.columnsWritten, 3);
    ASSERT_EQ(a.RowCount(), b.RowCount());
    for (std::uint32_t r = 0; r < a.RowCount(); ++r)
        for (std::uint32_t c = 0; c < 3; ++c)
            EXPECT_STREQ(a.CellAt(r, c).Text(), b.CellAt(r, c).Text()) << r << "," << c;
    // What was read: from the name column on (the date column left of it is out), the
    // 9-pixel column hidden, the one without a caption kept.
    std::string text = rb::TextOf(source, rb::TextFormat::Txt);
    EXPECT_EQ(text.substr(0, 30), "Name\tGr\xF6\xDF"
                                  "e\t\t\r\na.txt\t12 KB\tx\t\r\n");
}

TEST(ListViewWithoutColumns, ItemsGiveEmptyRows) {
    FakeExplorer explorer;
    HWND icons = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_ICON, 0, 0, 100, 100,
                                 explorer.View(), nullptr, nullptr, nullptr);
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.pszText = const_cast<char*>("only");
    SendMessageA(icons, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    rb::ListViewSource source(icons);
    EXPECT_EQ(source.GetColumnCount(), 0);
    EXPECT_EQ(rb::TextOf(source, rb::TextFormat::Txt), "\r\n\r\n");
}

} // namespace
