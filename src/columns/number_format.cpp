#include "columns/number_format.h"

namespace rb {

namespace {

std::string Digits(std::uint64_t value) {
    char buffer[24];
    char* end = buffer + sizeof buffer;
    char* p = end;
    do {
        *--p = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value);
    return std::string(p, end);
}

std::string SpacedGroups(std::uint64_t value, bool keepSeparators) {
    std::string text;
    std::string grouped = GroupThousands(value, &text);
    if (!keepSeparators) {
        std::string plain;
        for (char c : grouped)
            if (c != '.')
                plain += c;
        grouped.swap(plain);
    }
    return text + grouped;
}

} // namespace

std::string GroupThousands(std::uint64_t value, std::string* spaces) {
    const std::string digits = Digits(value);
    std::string grouped;
    grouped.reserve(digits.size() + digits.size() / 3);
    std::size_t groups = 0;
    std::size_t lead = digits.size() % 3 ? digits.size() % 3 : 3;
    grouped.append(digits, 0, lead);
    ++groups;
    for (std::size_t at = lead; at < digits.size(); at += 3) {
        grouped += '.';
        grouped.append(digits, at, 3);
        ++groups;
    }
    if (spaces)
        spaces->append(groups, ' ');
    return grouped;
}

std::string FormatCount(std::int64_t count, bool grouping) {
    if (!grouping || count < 0)
        return count < 0 ? "-" + Digits(static_cast<std::uint64_t>(-(count + 1)) + 1)
                         : Digits(static_cast<std::uint64_t>(count));
    return SpacedGroups(static_cast<std::uint64_t>(count), true);
}

std::string FormatSize(std::uint64_t bytes, const SizeFormat& format) {
    if (format.unit == kUnitBytes)
        return SpacedGroups(bytes, format.grouping);

    // Dividing by a power of two: quotient and remainder give the value exactly.
    // A unit outside 0 to 2 is taken as megabytes, the default.
    const std::uint64_t divisor = format.unit == kUnitKilobytes ? 1024u : 1048576u;
    std::uint64_t whole = bytes / divisor;
    const std::uint64_t rest = bytes % divisor;
    unsigned hundredths = 0;
    if (format.decimals) {
        hundredths = static_cast<unsigned>((rest * 100 + divisor / 2) / divisor);
        if (hundredths == 100) {
            hundredths = 0;
            ++whole;
        }
    } else if (rest * 2 >= divisor) {
        ++whole;
    }

    std::string text = SpacedGroups(whole, format.grouping);
    if (format.decimals) {
        text += ',';
        text += static_cast<char>('0' + hundredths / 10);
        text += static_cast<char>('0' + hundredths % 10);
    }
    text += format.unit == kUnitKilobytes ? " KB" : " MB";
    return text;
}

std::string FormatShortSize(std::uint64_t bytes) {
    if (bytes < 1024)
        return GroupThousands(bytes, nullptr) + " Bytes";
    static const char* const units[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    std::uint64_t scale = 1024;
    for (int unit = 0;; ++unit, scale *= 1024) {
        // Tenths of the unit, half up; 1.023,95 KB is 1,0 MB.
        const std::uint64_t tenths = bytes / scale * 10 + ((bytes % scale) * 10 + scale / 2) / scale;
        if (tenths < 10240 || unit == 5)
            return GroupThousands(tenths / 10, nullptr) + "," + std::to_string(tenths % 10) + " " +
                   units[unit];
    }
}

} // namespace rb
