#include "text/percent_encode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mojing {
namespace {

TEST(PercentEncode, EncodesAsTheOptionsSay) {
    struct Case {
        std::string text;
        bool keepPlain;
        bool asUtf8;
        std::string encoded;
    };
    const std::vector<Case> cases = {
        {"abc", false, false, "%61%62%63"},
        {"abc", true, false, "abc"},
        {"abc", false, true, "%61%62%63"},
        {"abc", true, true, "abc"},
        {"\xD6\xD0", false, false, "%D6%D0"},
        {"\xD6\xD0", false, true, "%E4%B8%AD"},
        {"\xD6\xD0", true, true, "%E4%B8%AD"},
        {"a b/c_1.txt", true, false, "a%20b%2Fc%5F1.txt"},
        {"\t", false, false, "%09"},
        {"\t", true, false, "%09"},
        {"\xAB\xFF\x80", true, false, "%AB%FF%80"},
        {"-.09AZaz", true, false, "-.09AZaz"},
        {",/:@[`{~_ ", true, false, "%2C%2F%3A%40%5B%60%7B%7E%5F%20"},
        {"Az-.", false, false, "%41%7A%2D%2E"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text + (c.keepPlain ? " keepPlain" : "") + (c.asUtf8 ? " asUtf8" : ""));
        EXPECT_EQ(PercentEncode(c.text, c.keepPlain, c.asUtf8), c.encoded);
    }
}

TEST(PercentEncode, OptionsAreOffWhenOmitted) {
    EXPECT_EQ(PercentEncode("a\xD6\xD0"), "%61%D6%D0");
}

// A text ends at its first zero byte, whichever bytes are encoded.
TEST(PercentEncode, StopsAtTheFirstZeroByte) {
    const std::string text("a\0b", 3);
    EXPECT_EQ(PercentEncode(text), "%61");
    EXPECT_EQ(PercentEncode(text, false, true), "%61");
    EXPECT_EQ(PercentEncode(std::string(1, '\0'), true), "");
}

TEST(PercentEncode, EmptyTextGivesEmptyText) {
    for (const bool keepPlain : {false, true}) {
        for (const bool asUtf8 : {false, true}) {
            EXPECT_EQ(PercentEncode("", keepPlain, asUtf8), "");
            EXPECT_EQ(PercentEncode(std::string_view(), keepPlain, asUtf8), "");
        }
    }
}

TEST(PercentEncode, EveryByteHasTwoCapitalDigitsAndNoHighByteIsKept) {
    for (int b = 1; b < 256; ++b) {
        const std::string text(1, static_cast<char>(b));
        const std::string encoded = PercentEncode(text);
        ASSERT_EQ(encoded.size(), 3u);
        EXPECT_EQ(std::stoi(encoded.substr(1), nullptr, 16), b);
        EXPECT_EQ(encoded.find_first_of("abcdef"), std::string::npos);
        if (b >= 0x80) {
            EXPECT_EQ(PercentEncode(text, true), encoded);
        }
    }
}

}  // namespace
}  // namespace mojing
