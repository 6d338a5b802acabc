// The shell-independent core of a column request.
#pragma once

#include "columns/catalogue.h"

#include <cstdint>
#include <string>

namespace rb {

class ImageLibrary;

struct ColumnValue {
    ColumnOutcome outcome = ColumnOutcome::HasValue;
    std::wstring text;
};

// `attributes` are the item's file attributes; FILE_ATTRIBUTE_DIRECTORY makes it a folder.
// `extension` may be null.
ColumnValue ComputeColumnValue(unsigned column, const wchar_t* path, std::uint32_t attributes,
                               const wchar_t* extension, ImageLibrary& images);

} // namespace rb
