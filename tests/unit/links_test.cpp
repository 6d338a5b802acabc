#include "web/links.h"

#include <gtest/gtest.h>

namespace rb {
namespace {

TEST(PercentEncode, Examples) {
    EXPECT_EQ(PercentEncode("a b&c=d"), "a+b%26c%3Dd");
    EXPECT_EQ(PercentEncode("x+y z/w"), "x+y+z/w");
    EXPECT_EQ(PercentEncode("Gr\xF6\xDF"
                            "e"),
              "Gr%F6%DFe");
    EXPECT_EQ(PercentEncode("~"), "%7E");
    EXPECT_EQ(PercentEncode(""), "");
    EXPECT_EQ(PercentEncode(std::string("a\0b", 3)), "a%00b");
}

TEST(PercentEncode, EveryByteOnce) {
    std::string all;
    for (int c = 0; c < 256; ++c)
        all += static_cast<char>(c);
    std::string expected;
    const char* hex = "0123456789ABCDEF";
    for (int c = 0; c < 256; ++c) {
        bool safe = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '*' || c == '+' || c == '-' || c == '.' || c == '/' || c == '_';
        if (c == ' ')
            expected += '+';
        else if (safe)
            expected += static_cast<char>(c);
        else
            expected += std::string("%") + hex[c / 16] + hex[c % 16];
    }
    EXPECT_EQ(PercentEncode(all), expected);
    // 68 safe bytes and the blank stay one byte; the other 187 become three.
    EXPECT_EQ(expected.size(), 69u + 187u * 3u);
}

TEST(SafeCharacters, MarksExactlyTheSafeSetAndTheEqualsSign) {
    int marked = 0;
    for (int c = 0; c < 256; ++c)
        if (SafeCharacters[c])
            ++marked;
    EXPECT_EQ(marked, 26 + 26 + 10 + 6 + 1);
    EXPECT_NE(SafeCharacters['='], 0u);
    EXPECT_EQ(SafeCharacters['&'], 0u);
    EXPECT_EQ(SafeCharacters[' '], 0u);
    EXPECT_EQ(SafeCharacters[0xF6], 0u);
}

TEST(Links, SitesAndSearchLinkAreJoinedInOrder) {
    const std::string main = MainSiteAddress();
    const std::string second = SecondSiteAddress();
    EXPECT_EQ(main.rfind("https://", 0), 0u);
    EXPECT_EQ(main.back(), '/');
    EXPECT_NE(main.find(".example/"), std::string::npos);
    EXPECT_NE(second.find(".example/"), std::string::npos);
    EXPECT_NE(main, second);

    SetProductName("Rubrikator");
    std::string link = MakeSearchLink("Gr\xF6\xDF"
                                      "e & mehr",
                                      "ignored");
    ASSERT_EQ(link.rfind(second, 0), 0u);
    std::string rest = link.substr(second.size());
    size_t term = rest.find("Gr%F6%DFe+%26+mehr");
    ASSERT_NE(term, std::string::npos);
    EXPECT_GT(term, 0u); // a fixed part before the term
    std::string tail = rest.substr(term + 18);
    ASSERT_GE(tail.size(), 10u);
    EXPECT_EQ(tail.substr(tail.size() - 10), "Rubrikator");
    EXPECT_GT(tail.size(), 10u); // a fixed part before the product name
    EXPECT_EQ(MakeSearchLink("x", "a"), MakeSearchLink("x", "b"));
    SetProductName("Andere");
    EXPECT_EQ(MakeSearchLink("x").substr(MakeSearchLink("x").size() - 6), "Andere");
    SetProductName("Rubrikator");
}

TEST(MailTemplate, HasItsLinesAndTwoHundredTwentyNineCharacters) {
    const std::string text = MailTemplate();
    EXPECT_EQ(text.size(), 229u);
    const std::string site = MainSiteAddress();
    const std::string expected = "Hallo,\r\n\r\nVor Kurzem habe ich ##### gefunden . \r\n\r\n" +
                                 std::string(37, '.') + "\r\n\r\nWebseite: " + site +
                                 "?seite=freware&SID=#####\r\nDownload Link: " + site +
                                 "?Download&SID=#####\r\n\r\nViel Spa\xDF !\r\n";
    EXPECT_EQ(text, expected);
    int placeholders = 0;
    for (size_t at = text.find("#####"); at != std::string::npos; at = text.find("#####", at + 5))
        ++placeholders;
    EXPECT_EQ(placeholders, 3);
    // Only CR LF line ends.
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            EXPECT_EQ(text[i - 1], '\r');
        }
    }
}

} // namespace
} // namespace rb
