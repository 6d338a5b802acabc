#include "export/biff2/worksheet.h"

#include <cstring>
#include <utility>

namespace rb {

namespace {

char* CopyText(const char* text) {
    if (!text)
        return nullptr;
    std::size_t length = std::strlen(text);
    char* copy = new char[length + 1];
    std::memcpy(copy, text, length + 1);
    return copy;
}

} // namespace

WorksheetCell::WorksheetCell(const WorksheetCell& other)
    : row(other.row), column(other.column), kind_(other.kind_), text_(CopyText(other.text_)) {
    std::memcpy(attributes_, other.attributes_, sizeof attributes_);
}

WorksheetCell& WorksheetCell::operator=(const WorksheetCell& other) {
    if (this != &other) {
        WorksheetCell copy(other);
        *this = std::move(copy);
    }
    return *this;
}

WorksheetCell::WorksheetCell(WorksheetCell&& other) noexcept
    : row(other.row), column(other.column), kind_(other.kind_), text_(other.text_) {
    std::memcpy(attributes_, other.attributes_, sizeof attributes_);
    other.text_ = nullptr;
    other.kind_ = Kind::Empty;
}

WorksheetCell& WorksheetCell::operator=(WorksheetCell&& other) noexcept {
    if (this != &other) {
        delete[] text_;
        row = other.row;
        column = other.column;
        kind_ = other.kind_;
        text_ = other.text_;
        std::memcpy(attributes_, other.attributes_, sizeof attributes_);
        other.text_ = nullptr;
        other.kind_ = Kind::Empty;
    }
    return *this;
}

WorksheetCell::~WorksheetCell() {
    delete[] text_;
}

void WorksheetCell::SetText(const std::string& text) {
    char* copy = CopyText(text.c_str());
    delete[] text_;
    text_ = copy;
    kind_ = Kind::Text;
}

void WorksheetCell::SetBorder(std::uint8_t value) {
    attributes_[2] = static_cast<std::uint8_t>((attributes_[2] & ~0x78) | (value & 0x78));
}

LabelRecord::LabelRecord(const WorksheetCell& cell)
    : row_(static_cast<std::uint16_t>(cell.row)),
      column_(static_cast<std::uint16_t>(cell.column)), attributes_{cell.Attribute(0),
                                                                    cell.Attribute(1),
                                                                    cell.Attribute(2)} {
    const char* text = cell.Text() ? cell.Text() : "";
    text_.assign(text, strnlen(text, 255));
}

void LabelRecord::Write(BiffStream& stream) const {
    WriteLabel(stream, row_, column_, attributes_, text_);
}

void WriteLabel(BiffStream& stream, std::uint16_t row, std::uint16_t column,
                const std::uint8_t (&attributes)[3], const std::string& text) {
    // One record, one write: identifier, length, row, column, attributes, text. The text
    // ends at 255 bytes or at a zero byte, as a C string held in a cell would.
    std::uint8_t record[12 + 255];
    const std::size_t length = strnlen(text.c_str(), text.size() < 255 ? text.size() : 255);
    const std::uint16_t words[4] = {0x0004, static_cast<std::uint16_t>(length + 8), row, column};
    for (int i = 0; i < 4; ++i) {
        record[2 * i] = static_cast<std::uint8_t>(words[i] & 0xFF);
        record[2 * i + 1] = static_cast<std::uint8_t>(words[i] >> 8);
    }
    std::memcpy(record + 8, attributes, 3);
    record[11] = static_cast<std::uint8_t>(length);
    std::memcpy(record + 12, text.data(), length);
    stream.WriteBytes(record, 12 + length);
}

void WriteNumber(BiffStream& stream, std::uint16_t row, std::uint16_t column,
                 const std::uint8_t (&attributes)[3], double value) {
    std::uint8_t record[4 + 15];
    const std::uint16_t words[4] = {0x0003, 15, row, column};
    for (int i = 0; i < 4; ++i) {
        record[2 * i] = static_cast<std::uint8_t>(words[i] & 0xFF);
        record[2 * i + 1] = static_cast<std::uint8_t>(words[i] >> 8);
    }
    std::memcpy(record + 8, attributes, 3);
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 8; ++i) // little-endian, whatever the machine
        record[11 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
    stream.WriteBytes(record, sizeof record);
}

void Worksheet::Reserve(std::size_t rows, std::size_t columns) {
    rows_.reserve(rows);
    rowCapacity_ = columns;
}

WorksheetCell& Worksheet::CellAt(std::uint32_t row, std::uint32_t column) {
    while (row >= rows_.size()) {
        rows_.emplace_back();
        rows_.back().reserve(rowCapacity_);
    }
    std::vector<WorksheetCell>& cells = rows_[row];
    while (column >= cells.size())
        cells.emplace_back();
    return cells[column];
}

void Worksheet::SaveTo(BiffStream& stream) {
    BofRecord().Write(stream);
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        for (std::size_t c = 0; c < rows_[r].size(); ++c) {
            WorksheetCell& cell = rows_[r][c];
            if (cell.CellKind() != WorksheetCell::Kind::Text)
                continue;
            cell.row = static_cast<std::int32_t>(r);
            cell.column = static_cast<std::int32_t>(c);
            LabelRecord(cell).Write(stream);
        }
    }
    EofRecord().Write(stream);
    stream.Close();
}

} // namespace rb
