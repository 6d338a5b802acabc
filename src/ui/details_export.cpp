// "Liste" while the details page is in front: the shown tab's rows as they are shown,
// with all their columns, through the same save dialog and formats.
#include "ui/main_dialog.h"

#include "common/win_text.h"
#include "export/export_command.h"
#include "export/list_exporter.h"
#include "export/list_source.h"

#include <exception>

namespace rb {

namespace {

class DetailsPageSource : public ListSource {
public:
    explicit DetailsPageSource(DetailsPage& page) : page_(page) {}

    int GetColumnCount() override { return page_.ColumnCount(); }
    int GetDisplayPosition(int column) override { return column; }
    int GetColumnAtPosition(int position) override { return position; }
    std::string GetHeaderText(int column) override { return WideToAnsi(page_.TitleOf(column).c_str()); }
    int GetColumnWidth(int) override { return kHiddenColumnWidth + 1; } // every column goes
    int GetItemCount() override { return page_.RowCount(); }
    std::string GetItemText(int item, int column) override {
        // The spaces that line numbers up in the list mean nothing in a file.
        std::wstring text = page_.CellOf(item, column);
        std::size_t first = text.find_first_not_of(L' ');
        return WideToAnsi(first == std::wstring::npos ? L"" : text.c_str() + first);
    }
    bool GetItemNumber(int item, int column, double& value) override {
        return page_.NumberOf(item, column, value);
    }

private:
    DetailsPage& page_;
};

} // namespace

void MainDialog::ExportDetailsPage() {
    // Once every row's values are there: no running walk's mark in a file.
    detailsPage_.WhenAllValues([this] {
        try {
            DetailsPageSource source(detailsPage_);
            ListExporter exporter(source, window_);
            rb::ExportList(exporter, "Rubrikator");
        } catch (const std::exception&) { // out of memory in a huge list
            MessageBoxA(window_, kExportFailedText, "", MB_OK | MB_ICONERROR);
        }
    });
}

} // namespace rb
