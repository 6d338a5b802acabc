// German-style texts of sizes and counts: "." between groups of thousands, "," before
// the decimals, and one leading space per digit group so that right-aligned columns
// of different magnitudes line up in Explorer.
#pragma once

#include "columns/options.h"

#include <cstdint>
#include <string>

namespace rb {

// The grouped digits of `value` (1234567 gives "1.234.567"). When `spaces` is given,
// one space per digit group is appended to it.
std::string GroupThousands(std::uint64_t value, std::string* spaces);

// "%d" without grouping; with grouping the spaced grouped form (1234 gives "  1.234").
std::string FormatCount(std::int64_t count, bool grouping);

// The size text under `format`. Kilobyte and megabyte values are rounded exactly, half
// up, whatever the C runtime's printf would do with a tie.
std::string FormatSize(std::uint64_t bytes, const SizeFormat& format);

// A size in the largest unit that keeps it at or above one, with one decimal: "0 Bytes",
// "999 Bytes", "1,0 KB", "1,2 GB" (units of 1024, half up). For a progress line.
std::string FormatShortSize(std::uint64_t bytes);

} // namespace rb
