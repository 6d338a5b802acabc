// An in-memory grid of text cells saved as a genuine BIFF2 worksheet.
#pragma once

#include "export/biff2/biff_stream.h"

#include <cstdint>
#include <string>
#include <vector>

namespace rb {

class WorksheetCell {
public:
    enum class Kind { Empty, Text };

    WorksheetCell() = default;
    WorksheetCell(const WorksheetCell& other);
    WorksheetCell& operator=(const WorksheetCell& other);
    WorksheetCell(WorksheetCell&& other) noexcept;
    WorksheetCell& operator=(WorksheetCell&& other) noexcept;
    ~WorksheetCell();

    // The cell becomes a text cell holding its own copy of `text`.
    void SetText(const std::string& text);
    // Bits 0x78 (left, right, top, bottom border) of attribute byte 2 take those of
    // `value`; the other bits stay.
    void SetBorder(std::uint8_t value);
    // All three attribute bytes at once (format and protection, number format and
    // font, alignment, borders and shading).
    void SetAttributes(std::uint8_t first, std::uint8_t second, std::uint8_t third) {
        attributes_[0] = first;
        attributes_[1] = second;
        attributes_[2] = third;
    }

    Kind CellKind() const { return kind_; }
    const char* Text() const { return text_; }
    std::uint8_t Attribute(int index) const { return attributes_[index]; }

    // Set when the worksheet is saved: the cell's place in the grid.
    std::int32_t row = 0;
    std::int32_t column = 0;

private:
    std::uint8_t attributes_[3] = {0, 0, 0};
    Kind kind_ = Kind::Empty;
    char* text_ = nullptr;
};

// A LABEL record: row, column, the three attribute bytes and at most 255 text bytes.
class LabelRecord : public BiffRecord {
public:
    explicit LabelRecord(const WorksheetCell& cell);
    void Write(BiffStream& stream) const override;

private:
    std::uint16_t row_, column_;
    std::uint8_t attributes_[3];
    std::string text_;
};

// One LABEL record: row, column, the three attribute bytes and at most 255 text bytes.
void WriteLabel(BiffStream& stream, std::uint16_t row, std::uint16_t column,
                const std::uint8_t (&attributes)[3], const std::string& text);

// One NUMBER record: row, column, the three attribute bytes and the value as an IEEE
// double.
void WriteNumber(BiffStream& stream, std::uint16_t row, std::uint16_t column,
                 const std::uint8_t (&attributes)[3], double value);

class Worksheet {
public:
    // Grows the grid as needed: every row before `row`, and every cell before `column`
    // in that row, is created (empty).
    WorksheetCell& CellAt(std::uint32_t row, std::uint32_t column);
    // Room for this many rows of this many cells; changes nothing else.
    void Reserve(std::size_t rows, std::size_t columns);
    // BOF, a LABEL per text cell in row-major order, EOF; then closes the stream.
    void SaveTo(BiffStream& stream);

    std::size_t RowCount() const { return rows_.size(); }

private:
    std::vector<std::vector<WorksheetCell>> rows_;
    std::size_t rowCapacity_ = 0;
};

} // namespace rb
