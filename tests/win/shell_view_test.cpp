// The export's second way of reading an Explorer window: through its shell view.
#include <gtest/gtest.h>

#include "export/formats.h"
#include "export/listview_source.h"
#include "export/shell_view_source.h"
#include "fake_explorer.h"
#include "fake_shell_view.h"
#include "support.h"

#include <memory>
#include <vector>

namespace {

using rbtest::FakeView;
using rbtest::NameKey;
using rbtest::TestKey;

// Five visible columns in display order: a date left of the name, a size, a column of
// 8 pixels and a type. The folder has its own detail columns in another order, and none
// for the size, which is then read as a property.
void Describe(FakeView& view) {
    view.columns = {{TestKey(3), L"Ge\u00e4ndert", 90},
                    {NameKey(), L"Name", 120},
                    {TestKey(4), L"Gr\u00f6\u00dfe", 70},
                    {TestKey(5), L"Schmal", 8},
                    {TestKey(6), L"Typ", 60}};
    view.folder.detailColumns = {NameKey(), TestKey(6), TestKey(3), TestKey(5)};
    // View order, not sorted by name.
    view.items = {L"b.txt", L"a.txt", L"Ordner"};
    const wchar_t* cells[3][5] = {{L"01.02.2003", L"b.txt", L"12", L"x", L"Text"},
                                  {L"04.05.2006", L"a.txt", L"3456", L"y", L"Text"},
                                  {L"", L"Ordner", L"", L"z", L"Dateiordner"}};
    for (int item = 0; item < 3; ++item)
        for (int column = 0; column < 5; ++column)
            view.folder.SetCell(view.items[item], view.columns[column].key, cells[item][column]);
}

TEST(ShellViewSource, ColumnsComeInDisplayOrderWithCaptionsAndWidths) {
    FakeView view;
    Describe(view);
    std::unique_ptr<rb::ShellViewSource> source = rb::ShellViewSource::Open(&view);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->GetColumnCount(), 5);
    // Column 0 is the name column, at display position 1.
    EXPECT_EQ(source->GetDisplayPosition(0), 1);
    EXPECT_EQ(source->GetColumnAtPosition(1), 0);
    EXPECT_EQ(source->GetHeaderText(0), "Name");
    EXPECT_EQ(source->GetColumnWidth(0), 120);
    EXPECT_EQ(source->GetHeaderText(source->GetColumnAtPosition(0)), "Ge\xE4ndert");
    EXPECT_EQ(source->GetHeaderText(source->GetColumnAtPosition(2)), "Gr\xF6\xDF"
                                                                     "e");
    EXPECT_EQ(source->GetColumnWidth(source->GetColumnAtPosition(3)), 8);
    rb::ExportedColumns chosen = rb::ChooseExportedColumns(*source);
    EXPECT_EQ(chosen.captions, (std::vector<std::string>{"Name",
                                                         "Gr\xF6\xDF"
                                                         "e",
                                                         "Typ"}));
}

TEST(ShellViewSource, ItemsComeInViewOrderWithTheTextsTheViewShows) {
    FakeView view;
    Describe(view);
    std::unique_ptr<rb::ShellViewSource> source = rb::ShellViewSource::Open(&view);
    ASSERT_TRUE(source);
    ASSERT_EQ(source->GetItemCount(), 3);
    EXPECT_EQ(source->GetItemText(0, 0), "b.txt");
    EXPECT_EQ(source->GetItemText(1, 0), "a.txt");
    EXPECT_EQ(source->GetItemText(2, 0), "Ordner");
    int type = source->GetColumnAtPosition(4), size = source->GetColumnAtPosition(2);
    EXPECT_EQ(source->GetItemText(2, type), "Dateiordner");
    EXPECT_EQ(source->GetItemText(1, size), "3456"); // a property, not a detail column
    EXPECT_EQ(source->GetItemText(2, size), "");
    EXPECT_EQ(source->GetItemText(3, 0), "");
    EXPECT_EQ(
        rb::TextOf(*source, rb::TextFormat::Txt),
        "Name\tGr\xF6\xDF"
        "e\tTyp\t\r\nb.txt\t12\tText\t\r\na.txt\t3456\tText\t\r\nOrdner\t\tDateiordner\t\r\n");
}

TEST(ShellViewSource, AnEmptyViewGivesTheHeaderLine) {
    FakeView view;
    Describe(view);
    view.items.clear();
    std::unique_ptr<rb::ShellViewSource> source = rb::ShellViewSource::Open(&view);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->GetItemCount(), 0);
    EXPECT_EQ(rb::TextOf(*source, rb::TextFormat::Csv), "\"Name\";\"Gr\xF6\xDF"
                                                        "e\";\"Typ\";\r\n");
}

TEST(ShellViewSource, AViewWhoseObjectsAreMissingOrRefuseGivesNoSource) {
    EXPECT_FALSE(rb::ShellViewSource::Open(nullptr));
    FakeView noManager;
    Describe(noManager);
    noManager.withColumnManager = false;
    EXPECT_FALSE(rb::ShellViewSource::Open(&noManager));
    FakeView columnsFail;
    Describe(columnsFail);
    columnsFail.columnsFail = true;
    EXPECT_FALSE(rb::ShellViewSource::Open(&columnsFail));
    FakeView itemsFail;
    Describe(itemsFail);
    itemsFail.itemsFailEntirely = true;
    EXPECT_FALSE(rb::ShellViewSource::Open(&itemsFail));
    FakeView noFolder;
    Describe(noFolder);
    noFolder.withFolder = false;
    EXPECT_FALSE(rb::ShellViewSource::Open(&noFolder));
    // A view without a list of its items gives them one by one, in the same order.
    FakeView oneByOne;
    Describe(oneByOne);
    oneByOne.itemListFails = true;
    std::unique_ptr<rb::ShellViewSource> source = rb::ShellViewSource::Open(&oneByOne);
    ASSERT_TRUE(source);
    ASSERT_EQ(source->GetItemCount(), 3);
    EXPECT_EQ(source->GetItemText(0, 0), "b.txt");
}

TEST(ShellViewSource, EveryFormatWritesTheSameBytesAsAListViewWithTheSameCells) {
    FakeView view;
    Describe(view);
    std::unique_ptr<rb::ShellViewSource> shell = rb::ShellViewSource::Open(&view);
    ASSERT_TRUE(shell);
    // The same list as a list view: columns by index, the display order set apart.
    rbtest::FakeExplorer explorer;
    explorer.SetColumns({{"Name", 120},
                         {"Gr\xF6\xDF"
                          "e",
                          70},
                         {"Schmal", 8},
                         {"Typ", 60},
                         {"Ge\xE4ndert", 90}});
    explorer.SetOrder({4, 0, 1, 2, 3});
    explorer.AddRows({{"b.txt", "12", "x", "Text", "01.02.2003"},
                      {"a.txt", "3456", "y", "Text", "04.05.2006"},
                      {"Ordner", "", "z", "Dateiordner", ""}});
    rb::ListViewSource list(explorer.List());
    EXPECT_EQ(rb::TextOf(*shell, rb::TextFormat::Txt), rb::TextOf(list, rb::TextFormat::Txt));
    EXPECT_EQ(rb::TextOf(*shell, rb::TextFormat::Csv), rb::TextOf(list, rb::TextFormat::Csv));
    EXPECT_EQ(rb::BuildHtml(*shell, rb::kHtmlHead, rb::kHtmlTail),
              rb::BuildHtml(list, rb::kHtmlHead, rb::kHtmlTail));
    std::string a, b;
    {
        rb::BiffStream stream(std::unique_ptr<rb::ByteSink>(new rb::StringSink(a)));
        rb::WriteXls(*shell, stream);
    }
    {
        rb::BiffStream stream(std::unique_ptr<rb::ByteSink>(new rb::StringSink(b)));
        rb::WriteXls(list, stream);
    }
    EXPECT_EQ(a, b);
    EXPECT_GT(a.size(), 100u);
}

// Two tabs of one Explorer window, as Windows 11 has them: each tab's view has a window
// of its own inside the one top-level window; only the active tab's is visible.
struct Tabs {
    HWND top = CreateWindowExW(0, L"STATIC", L"Explorer", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                               nullptr, nullptr, nullptr, nullptr);
    HWND first = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 400, 300, top, nullptr, nullptr,
                                 nullptr);
    HWND second = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 400, 300, top, nullptr,
                                  nullptr, nullptr);
    HWND inSecond = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 100, 100,
                                    second, nullptr, nullptr, nullptr);
    FakeView firstView, secondView;
    Tabs() {
        firstView.window = first;
        secondView.window = second;
    }
    ~Tabs() { DestroyWindow(top); }
    static rb::ComPtr<IShellView> Hold(FakeView* view) {
        rb::ComPtr<IShellView> held;
        if (view)
            *held.put() = static_cast<IShellView*>(view);
        return held;
    }
};

Tabs* tabs = nullptr;
HWND listedTop = nullptr;
std::vector<rb::ComPtr<IShellView>> BothTabs(HWND top, HWND) {
    listedTop = top;
    std::vector<rb::ComPtr<IShellView>> views;
    views.push_back(Tabs::Hold(nullptr)); // a browser without a view comes first
    views.push_back(Tabs::Hold(&tabs->firstView));
    views.push_back(Tabs::Hold(&tabs->secondView));
    return views;
}

TEST(ShellViewOfATab, TheTabTheCommandCameFromElseTheVisibleOneNeverAGuess) {
    Tabs t;
    struct Row {
        const char* what;
        bool firstShown, secondShown;
        std::vector<FakeView*> views;
        HWND command;
        FakeView* expected;
    } rows[] = {
        {"clicked in the second tab",
         false,
         true,
         {&t.firstView, &t.secondView},
         t.inSecond,
         &t.secondView},
        {"the first tab's own view window",
         false,
         true,
         {&t.firstView, &t.secondView},
         t.first,
         &t.firstView},
        {"the window itself: the visible tab",
         false,
         true,
         {&t.firstView, &t.secondView},
         t.top,
         &t.secondView},
        {"the window itself, the first tab active",
         true,
         false,
         {&t.firstView, &t.secondView},
         t.top,
         &t.firstView},
        {"no tab visible", false, false, {&t.firstView, &t.secondView}, t.top, nullptr},
        {"two tabs visible", true, true, {&t.firstView, &t.secondView}, t.top, nullptr},
        {"one view, hidden", false, false, {&t.firstView}, t.top, &t.firstView},
        {"a browser without a view before the tab",
         false,
         true,
         {nullptr, &t.secondView},
         t.inSecond,
         &t.secondView},
        {"no views", false, true, {nullptr}, t.inSecond, nullptr},
    };
    ShowWindow(t.top, SW_SHOWNA);
    for (const Row& row : rows) {
        ShowWindow(t.first, row.firstShown ? SW_SHOWNA : SW_HIDE);
        ShowWindow(t.second, row.secondShown ? SW_SHOWNA : SW_HIDE);
        std::vector<rb::ComPtr<IShellView>> views;
        for (FakeView* view : row.views)
            views.push_back(Tabs::Hold(view));
        rb::ComPtr<IShellView> chosen = rb::ChooseShellView(views, row.command);
        EXPECT_EQ(chosen.get(), row.expected ? static_cast<IShellView*>(row.expected) : nullptr)
            << row.what;
    }

    // Through the list of the shell's windows: the clicked tab, second of two.
    tabs = &t;
    ShowWindow(t.first, SW_SHOWNA);
    ShowWindow(t.second, SW_HIDE);
    rb::ShellViewsLister previous = rb::SetShellViewsLister(&BothTabs);
    rb::ComPtr<IShellView> found = rb::FindShellView(t.inSecond);
    rb::SetShellViewsLister(previous);
    EXPECT_EQ(listedTop, t.top);
    EXPECT_EQ(found.get(), static_cast<IShellView*>(&t.secondView));
    tabs = nullptr;
}

} // namespace
