#include "columns/number_format.h"

#include <gtest/gtest.h>

namespace rb {
namespace {

SizeFormat Fmt(int unit, bool grouping = true, bool decimals = true) {
    SizeFormat f;
    f.unit = unit;
    f.grouping = grouping;
    f.decimals = decimals;
    return f;
}

TEST(FormatSize, WorkedValues) {
    EXPECT_EQ(FormatSize(0, Fmt(kUnitMegabytes)), " 0,00 MB");
    EXPECT_EQ(FormatSize(1294336000, Fmt(kUnitMegabytes)), "  1.234,38 MB");
    EXPECT_EQ(FormatSize(1294336000, Fmt(kUnitMegabytes, false)), "  1234,38 MB");
    EXPECT_EQ(FormatSize(512, Fmt(kUnitKilobytes, true, false)), " 1 KB");
    EXPECT_EQ(FormatSize(1536, Fmt(kUnitKilobytes)), " 1,50 KB");
    EXPECT_EQ(FormatSize(1234567, Fmt(kUnitBytes)), "   1.234.567");
    EXPECT_EQ(FormatSize(1234567, Fmt(kUnitBytes, false)), "   1234567");
}

TEST(FormatSize, TiesRoundUpWhateverThePrintfDoes) {
    // 0.5 KB and 0.125 KB are exact ties at the last printed place.
    EXPECT_EQ(FormatSize(512, Fmt(kUnitKilobytes, true, false)), " 1 KB");
    EXPECT_EQ(FormatSize(128, Fmt(kUnitKilobytes)), " 0,13 KB");
    EXPECT_EQ(FormatSize(2560, Fmt(kUnitKilobytes, true, false)), " 3 KB");
    EXPECT_EQ(FormatSize(131072, Fmt(kUnitMegabytes)), " 0,13 MB");
    // Just below a tie rounds down; 0.995 carries into the whole units.
    EXPECT_EQ(FormatSize(127, Fmt(kUnitKilobytes)), " 0,12 KB");
    EXPECT_EQ(FormatSize(1019, Fmt(kUnitKilobytes)), " 1,00 KB");
    EXPECT_EQ(FormatSize(1048575, Fmt(kUnitKilobytes)), "  1.024,00 KB");
}

TEST(FormatSize, WholeUnitsWithoutDecimals) {
    EXPECT_EQ(FormatSize(1023, Fmt(kUnitKilobytes, true, false)), " 1 KB");
    EXPECT_EQ(FormatSize(1536, Fmt(kUnitKilobytes, true, false)), " 2 KB");
    EXPECT_EQ(FormatSize(511, Fmt(kUnitKilobytes, true, false)), " 0 KB");
    EXPECT_EQ(FormatSize(1294336000, Fmt(kUnitMegabytes, true, false)), "  1.234 MB");
}

TEST(FormatSize, LargeSizesKeepTheirIntegerPart) {
    // 2 TiB and 16 EiB in kilobytes do not fit 32 bits.
    EXPECT_EQ(FormatSize(2199023255552ull, Fmt(kUnitKilobytes)), "    2.147.483.648,00 KB");
    EXPECT_EQ(FormatSize(18446744073709551615ull, Fmt(kUnitKilobytes)),
              "      18.014.398.509.481.984,00 KB");
    EXPECT_EQ(FormatSize(18446744073709551615ull, Fmt(kUnitMegabytes)),
              "     17.592.186.044.416,00 MB");
    // The largest byte count: seven groups, 33 characters, fits the 49 of a column text.
    std::string largest = FormatSize(18446744073709551615ull, Fmt(kUnitBytes));
    EXPECT_EQ(largest, "       18.446.744.073.709.551.615");
    EXPECT_LE(largest.size(), 49u);
}

TEST(FormatSize, UnitOutsideTheThreeValuesIsMegabytes) {
    EXPECT_EQ(FormatSize(1048576, Fmt(7)), " 1,00 MB");
    EXPECT_EQ(FormatSize(1048576, Fmt(-1)), " 1,00 MB");
}

TEST(GroupThousands, GroupsAndCountsSpaces) {
    std::string spaces = "x";
    EXPECT_EQ(GroupThousands(1234567, &spaces), "1.234.567");
    EXPECT_EQ(spaces, "x   ");
    EXPECT_EQ(GroupThousands(0, nullptr), "0");
    EXPECT_EQ(GroupThousands(999, nullptr), "999");
    EXPECT_EQ(GroupThousands(1000, nullptr), "1.000");
    EXPECT_EQ(GroupThousands(100000, nullptr), "100.000");
    EXPECT_EQ(GroupThousands(18446744073709551615ull, nullptr), "18.446.744.073.709.551.615");
}

TEST(FormatCount, GroupingOnAndOff) {
    EXPECT_EQ(FormatCount(999, true), " 999");
    EXPECT_EQ(FormatCount(1000, true), "  1.000");
    EXPECT_EQ(FormatCount(1234, true), "  1.234");
    EXPECT_EQ(FormatCount(1234567, true), "   1.234.567");
    EXPECT_EQ(FormatCount(0, true), " 0");
    EXPECT_EQ(FormatCount(1000, false), "1000");
    EXPECT_EQ(FormatCount(1234567, false), "1234567");
    EXPECT_EQ(FormatCount(0, false), "0");
}

} // namespace
} // namespace rb

TEST(FormatShortSize, EachUnitAtItsBoundaries) {
    struct {
        std::uint64_t bytes;
        const char* text;
    } rows[] = {
        {0, "0 Bytes"},          {1023, "1.023 Bytes"},       {1024, "1,0 KB"},
        {1075, "1,0 KB"},        {1076, "1,1 KB"},            {1048524, "1.023,9 KB"},
        {1048525, "1,0 MB"},     {1288490189, "1,2 GB"},      {1099511627776, "1,0 TB"},
        {~0ull, "16,0 EB"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(rb::FormatShortSize(row.bytes), row.text) << row.bytes;
}
