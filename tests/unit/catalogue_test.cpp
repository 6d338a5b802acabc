#include "columns/catalogue.h"

#include <gtest/gtest.h>
#include <string>

namespace rb {
namespace {

TEST(ColumnCatalogue, HoldsTwelveColumnsInIdOrderWithExactTitles) {
    const char* expected[] = {
        "Ordnergr\xF6\xDF"
        "e (RB)",
        "Ordneranzahl (RB)",
        "Dateienanzahl (RB)",
        "DPI (RB)",
        "Bittiefe (RB)",
        "Bildaufl\xF6sung (RB)",
        "Kompletter-Path (RB)",
        "Dateierweiterung (RB)",
        "Content-Type (RB)",
        "\xC4nderungssek. (RB)",
        "Erstellsek. (RB)",
        "Zugriffssek. (RB)",
    };
    ASSERT_EQ(ColumnCount(), 12u);
    for (std::size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(std::string(ColumnCatalogue[i].title), expected[i]) << i;
        EXPECT_EQ(std::string(ColumnTitle(i)), expected[i]) << i;
        EXPECT_EQ(ColumnCatalogue[i].propertyId, i);
        EXPECT_LE(std::string(ColumnCatalogue[i].title).size(), 79u);
    }
    EXPECT_EQ(ColumnCatalogue[12].title, nullptr);
    EXPECT_EQ(ColumnTitle(12), nullptr);
    // The umlauts are single Windows-1252 bytes.
    EXPECT_EQ(std::string(ColumnTitle(0)).size(), 16u);
}

TEST(ColumnCatalogue, PathExtensionAndContentTypeAlignLeftTheRestRight) {
    for (std::size_t i = 0; i < 12; ++i) {
        bool left = i == FullPath || i == Extension || i == ContentType;
        EXPECT_EQ(ColumnCatalogue[i].alignment, left ? kAlignLeft : kAlignRight) << i;
    }
}

TEST(ValueText, KeepsAtMostFortyNineCharacters) {
    ValueText value;
    EXPECT_TRUE(value.Empty());
    value.Assign(std::string(80, 'x').c_str());
    EXPECT_EQ(std::string(value.text), std::string(49, 'x'));
    value.Print("%02d.%03d", 7, 45);
    EXPECT_STREQ(value.text, "07.045");
    value.Print("%s", std::string(60, 'y').c_str());
    EXPECT_EQ(std::string(value.text).size(), 49u);
    value.Clear();
    EXPECT_TRUE(value.Empty());
}

} // namespace
} // namespace rb
