#include "common/text.h"

#include <gtest/gtest.h>

namespace rb {
namespace {

TEST(ReplaceAll, ReplacesLeftToRightWithoutOverlap) {
    std::string text = "aaaa";
    ReplaceAll(text, "aa", "b");
    EXPECT_EQ(text, "bb");
    text = "aaa";
    ReplaceAll(text, "aa", "xaa");
    EXPECT_EQ(text, "xaaa");
}

TEST(ReplaceAll, GrowsShrinksAndLeavesUnmatchedTextAlone) {
    std::string text = "x\t|\ty\t|\t";
    ReplaceAll(text, "\t|\t", ";;;;");
    EXPECT_EQ(text, "x;;;;y;;;;");
    ReplaceAll(text, ";;;;", "");
    EXPECT_EQ(text, "xy");
    ReplaceAll(text, "zz", "q");
    EXPECT_EQ(text, "xy");
    ReplaceAll(text, "", "q");
    EXPECT_EQ(text, "xy");
}

TEST(Format, PrintsLongTextsWhole) {
    EXPECT_EQ(Format("%d-%s", 42, "x"), "42-x");
    std::string big(5000, 'q');
    EXPECT_EQ(Format("<%s>", big.c_str()).size(), 5002u);
    EXPECT_EQ(Format("%s", ""), "");
}

TEST(CopyBounded, CutsAndAlwaysTerminates) {
    char buffer[5] = {'x', 'x', 'x', 'x', 'x'};
    EXPECT_EQ(CopyBounded(buffer, sizeof buffer, "abcdefgh"), 4u);
    EXPECT_STREQ(buffer, "abcd");
    EXPECT_EQ(CopyBounded(buffer, sizeof buffer, "ab"), 2u);
    EXPECT_STREQ(buffer, "ab");
    EXPECT_EQ(CopyBounded(buffer, sizeof buffer, nullptr), 0u);
    EXPECT_STREQ(buffer, "");
}

TEST(ParseLeadingInt, BehavesLikeAtoi) {
    EXPECT_EQ(ParseLeadingInt("1"), 1);
    EXPECT_EQ(ParseLeadingInt(" 2"), 2);
    EXPECT_EQ(ParseLeadingInt("\t-17xyz"), -17);
    EXPECT_EQ(ParseLeadingInt("+5"), 5);
    EXPECT_EQ(ParseLeadingInt("abc"), 0);
    EXPECT_EQ(ParseLeadingInt(""), 0);
    EXPECT_EQ(ParseLeadingInt("- 3"), 0);
    EXPECT_EQ(ParseLeadingInt("99999999999999999999"), 2147483647);
    EXPECT_EQ(ParseLeadingInt("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(ParseLeadingInt("-99999999999999999999"), -2147483647 - 1);
}

} // namespace
} // namespace rb
