// What the export reads from a list: its columns in display order and its cells.
#pragma once

#include <string>
#include <vector>

namespace rb {

class ListSource {
public:
    virtual ~ListSource() = default;
    // 0 when the list has no header.
    virtual int GetColumnCount() = 0;
    // The first position whose order entry is `column`; `column` itself when it is out of
    // range, the order cannot be read, or it is not in the order.
    virtual int GetDisplayPosition(int column) = 0;
    // The column shown at `position`; the position itself without a header.
    virtual int GetColumnAtPosition(int position) = 0;
    // The caption, at most 511 characters.
    virtual std::string GetHeaderText(int column) = 0;
    virtual int GetColumnWidth(int column) = 0;
    virtual int GetItemCount() = 0;
    // The whole text of a cell.
    virtual std::string GetItemText(int item, int column) = 0;
    // A cell that is a number (a size, a count) gives it here, for a spreadsheet to sum;
    // false for a text cell, as every cell of a list view is.
    virtual bool GetItemNumber(int /*item*/, int /*column*/, double& /*value*/) { return false; }
};

// Columns wider than this many pixels are exported; narrower ones are hidden.
constexpr int kHiddenColumnWidth = 10;

struct ExportedColumns {
    std::vector<int> indices;          // in display order
    std::vector<std::string> captions; // one per index
};

// From the name column's display position (column 0) to the last position: every
// column wider than 10 pixels, with its caption.
ExportedColumns ChooseExportedColumns(ListSource& list);

// A list held in memory with the same semantics as a real list view.
class MemoryListSource : public ListSource {
public:
    struct Column {
        std::string caption;
        int width;
    };
    std::vector<Column> columns;
    std::vector<int> order; // display position -> column; empty: natural order
    std::vector<std::vector<std::string>> rows;
    bool hasHeader = true;

    int GetColumnCount() override;
    int GetDisplayPosition(int column) override;
    int GetColumnAtPosition(int position) override;
    std::string GetHeaderText(int column) override;
    int GetColumnWidth(int column) override;
    int GetItemCount() override;
    std::string GetItemText(int item, int column) override;
};

} // namespace rb
