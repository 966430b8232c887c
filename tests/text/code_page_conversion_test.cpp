#include "text/code_page_conversion.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace mojing {
namespace {

using test::Gbk;

std::string Repeat(std::string_view piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

TEST(CodePageConversion, ConvertsBetweenGbkAndUtf8) {
    struct Case {
        std::string gbk;
        std::string utf8;
    };
    const std::vector<Case> cases = {
        {"", ""},
        {"abc", "abc"},
        {"\xD6\xD0", "\xE4\xB8\xAD"},
        {Gbk("小说名.txt"), "小说名.txt"},
        {Gbk("《斗破苍穹》 第1章 ①"), "《斗破苍穹》 第1章 ①"},
        {"\x80", "\xE2\x82\xAC"},
        // Only double-byte characters: measured at 2k + 1, given 4k + 2, needing 3k + 1.
        {Repeat("\xD6\xD0", 5000), Repeat("\xE4\xB8\xAD", 5000)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8.substr(0, 40));
        EXPECT_EQ(GbkToUtf8(c.gbk), c.utf8);
        EXPECT_EQ(Utf8ToGbk(c.utf8), c.gbk);
    }
}

TEST(CodePageConversion, TextEndsAtItsFirstZeroByte) {
    EXPECT_EQ(GbkToUtf8(std::string("a\0b", 3)), "a");
    EXPECT_EQ(Utf8ToGbk(std::string("\xE4\xB8\xAD\0b", 5)), "\xD6\xD0");
}

TEST(CodePageConversion, CharactersGbkLacksBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToGbk("a\xF0\x9F\x98\x80"
                        "b\xE0\xB8\x81"),
              "a?b?");
    EXPECT_EQ(Utf8ToGbk("a\xFF"
                        "b"),
              "a?b");  // invalid UTF-8 reads as U+FFFD first
}

TEST(CodePageConversion, Utf16DataIsTwiceTheAnsiMeasurementLong) {
    struct Case {
        std::string text;
        std::optional<unsigned> codePage;
        std::u16string data;
    };
    const std::vector<Case> cases = {
        {"abc", 936u, std::u16string(u"abc\0", 4)},
        {"abc", std::nullopt, std::u16string(u"abc\0", 4)},
        {"", std::nullopt, std::u16string(1, u'\0')},  // a present empty text
        // Omitted reads UTF-8, an explicit 0 the ANSI page.
        {"\xD6\xD0", 0u, std::u16string(u"中\0", 2)},
        {"\xD6\xD0", 936u, std::u16string(u"中\0", 2)},
        {"\xE4\xB8\xAD", 65001u, std::u16string(u"中\0\0", 3)},
        {"\xE4\xB8\xAD", std::nullopt, std::u16string(u"中\0\0", 3)},
        {"\xE4\xB8\xAD", 0u, std::u16string(u"\u6D93\uFFFD\0", 3)},  // GBK E4 B8, then a lone lead
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(MultiByteToUtf16(c.text, c.codePage), c.data);
    }
    EXPECT_EQ(MultiByteToUtf16(std::string_view()), u"");  // an absent text
}

TEST(CodePageConversion, Utf16ToMultiByteDefaultsToTheAnsiPage) {
    const std::u16string data(u"abc\0", 4);
    EXPECT_EQ(Utf16ToMultiByte(data, 65001u), "abc");
    EXPECT_EQ(Utf16ToMultiByte(u"中"), "\xD6\xD0");
    EXPECT_EQ(Utf16ToMultiByte(u"中", 0u), "\xD6\xD0");
    EXPECT_EQ(Utf16ToMultiByte(u"中", 65001u), "\xE4\xB8\xAD");
    EXPECT_EQ(Utf16ToMultiByte(u""), "");
    EXPECT_EQ(Utf16ToMultiByte(std::u16string(u"ab\0cd", 5), 65001u), "ab");
}

// Invalid input can need more room than the ANSI page measured. The result then holds what fits
// and stays inside its buffer; these run under AddressSanitizer too.
TEST(CodePageConversion, ConversionThatDoesNotFitStaysInsideItsBuffer) {
    // 81 81 is one GBK character but two invalid UTF-8 bytes: two units measured, three needed.
    EXPECT_EQ(MultiByteToUtf16("\x81\x81"), std::u16string(u"\uFFFD\0", 2));
    EXPECT_EQ(MultiByteToUtf16("\xC0\x80\xC0\x80"), std::u16string(u"\uFFFD\uFFFD\0", 3));
    // A surrogate pair that would end on the last unit is left out whole.
    EXPECT_EQ(MultiByteToUtf16("\x81\x81\xF0\x9F\x98\x80"), std::u16string(u"\uFFFD\uFFFD\0\0", 4));

    // A GBK page read as UTF-8: each piece is measured at 6 units and needs 8.
    const std::string gbkPage = Repeat(Gbk("中文<br>"), 3000);
    const std::u16string data = MultiByteToUtf16(gbkPage);
    ASSERT_EQ(data.size(), 3000u * 6 + 1);
    EXPECT_EQ(data.substr(0, 8), u"\uFFFD\uFFFD\uFFFD\uFFFD<br>");
    EXPECT_EQ(data.back(), u'\0');
    EXPECT_EQ(Utf8ToGbk(gbkPage), Repeat("????" "<br>", 2250));

    // U+FFFD measures as one byte, '?', in GBK but takes three in UTF-8: three of them are
    // measured at 4 bytes and get 8, of which two characters fill 6; the rest stays spaces.
    EXPECT_EQ(Utf16ToMultiByte(u"\uFFFD\uFFFD\uFFFD", 65001u), "\xEF\xBF\xBD\xEF\xBF\xBD  ");
    EXPECT_EQ(GbkToUtf8("\xFF\xFF\xFF"), "\xEF\xBF\xBD\xEF\xBF\xBD  ");
    EXPECT_EQ(GbkToUtf8("\xFF\xFF"), "\xEF\xBF\xBD\xEF\xBF\xBD");

    // Data without a zero unit is read as if it had one after its end.
    const std::u16string unterminated(u"ab");
    EXPECT_EQ(Utf16ToMultiByte(std::u16string_view(unterminated.data(), 2)), "ab");
}

}  // namespace
}  // namespace mojing
