// The twelve columns the handler adds to Explorer's Details view.
#pragma once

#include <cstdint>
#include <cstddef>

namespace rb {

// The id is also the column's property id.
enum ColumnId : std::uint32_t {
    FolderSize = 0,
    FolderCount = 1,
    FileCount = 2,
    Dpi = 3,
    BitDepth = 4,
    ImageSize = 5,
    FullPath = 6,
    Extension = 7,
    ContentType = 8,
    ModifiedSeconds = 9,
    CreatedSeconds = 10,
    AccessedSeconds = 11,
};

constexpr std::int32_t kAlignLeft = 0;  // LVCFMT_LEFT
constexpr std::int32_t kAlignRight = 1; // LVCFMT_RIGHT

struct ColumnRecord {
    const char* title; // Windows-1252, at most 79 characters; null ends the table
    std::uint32_t propertyId;
    std::int32_t alignment;
};

// Twelve records in id order, then the end record without a title.
extern const ColumnRecord ColumnCatalogue[];

// Readers walk the table to its end record rather than assume a count.
std::size_t ColumnCount();
// Title of column `index`, or null past the end.
const char* ColumnTitle(std::size_t index);

enum class ColumnOutcome {
    HasValue,     // a text, possibly empty: S_OK
    NoValue,      // the column does not apply to the item: S_FALSE, VT_EMPTY
    UnknownColumn // not in the catalogue: S_FALSE, empty BSTR
};

// The 50-byte text every producer writes into; always zero-terminated.
struct ValueText {
    static constexpr std::size_t kCapacity = 50;
    char text[kCapacity] = {};

    void Clear() { text[0] = '\0'; }
    bool Empty() const { return text[0] == '\0'; }
    // Copies at most 49 characters.
    void Assign(const char* value);
    // printf into the buffer, cut at 49 characters.
    void Print(const char* format, ...) __attribute__((format(printf, 2, 3)));
};

} // namespace rb
