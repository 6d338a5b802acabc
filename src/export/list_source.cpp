#include "export/list_source.h"

namespace rb {

ExportedColumns ChooseExportedColumns(ListSource& list) {
    ExportedColumns chosen;
    int count = list.GetColumnCount();
    int start = list.GetDisplayPosition(0);
    if (start < 0)
        start = 0;
    for (int position = start; position < count; ++position) {
        int column = list.GetColumnAtPosition(position);
        std::string caption = list.GetHeaderText(column);
        if (list.GetColumnWidth(column) > kHiddenColumnWidth) {
            chosen.indices.push_back(column);
            chosen.captions.push_back(caption);
        }
    }
    return chosen;
}

int MemoryListSource::GetColumnCount() {
    return hasHeader ? static_cast<int>(columns.size()) : 0;
}

int MemoryListSource::GetDisplayPosition(int column) {
    int count = GetColumnCount();
    if (column < 0 || column >= count || order.empty())
        return column;
    for (int position = 0; position < static_cast<int>(order.size()); ++position)
        if (order[position] == column)
            return position;
    return column;
}

int MemoryListSource::GetColumnAtPosition(int position) {
    if (!hasHeader || order.empty() || position < 0 || position >= static_cast<int>(order.size()))
        return position;
    return order[position];
}

std::string MemoryListSource::GetHeaderText(int column) {
    if (!hasHeader || column < 0 || column >= static_cast<int>(columns.size()))
        return std::string();
    return columns[column].caption.substr(0, 511);
}

int MemoryListSource::GetColumnWidth(int column) {
    if (column < 0 || column >= static_cast<int>(columns.size()))
        return 0;
    return columns[column].width;
}

int MemoryListSource::GetItemCount() {
    return static_cast<int>(rows.size());
}

std::string MemoryListSource::GetItemText(int item, int column) {
    if (item < 0 || item >= static_cast<int>(rows.size()) || column < 0 ||
        column >= static_cast<int>(rows[item].size()))
        return std::string();
    return rows[item][column];
}

} // namespace rb
