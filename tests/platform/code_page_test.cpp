#include "platform/code_page.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace mojing::platform {
namespace {

// Whole conversions with explicit lengths, measured first.
std::u16string Decode(unsigned codePage, std::string_view bytes) {
    const int length = static_cast<int>(bytes.size());
    const int needed = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    std::u16string out(static_cast<std::size_t>(needed), u'\0');
    EXPECT_EQ(MultiByteToWideChar(codePage, 0, bytes.data(), length, out.data(), needed), needed);
    return out;
}

std::string Encode(unsigned codePage, std::u16string_view units) {
    const int length = static_cast<int>(units.size());
    const int needed =
        WideCharToMultiByte(codePage, 0, units.data(), length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(needed), '\0');
    EXPECT_EQ(WideCharToMultiByte(codePage, 0, units.data(), length, out.data(), needed, nullptr,
                                  nullptr),
              needed);
    return out;
}

TEST(CodePage, ConvertsBothWaysInEachPage) {
    struct Case {
        unsigned codePage;
        std::string bytes;
        std::u16string units;
    };
    const std::vector<Case> cases = {
        {kGbkCodePage, "abc", u"abc"},
        {kGbkCodePage, "\xD6\xD0\xCE\xC4", u"中文"},
        {kAnsiCodePage,
         "\xD6\xD0"
         "a",
         u"中a"},
        {kGbkCodePage, "\x80", u"\u20AC"},  // the euro sign has the single byte 0x80
        {kGbkCodePage, std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
        {kUtf8CodePage, "abc", u"abc"},
        {kUtf8CodePage, "\xE4\xB8\xAD\xE6\x96\x87", u"中文"},
        {kUtf8CodePage, "\xC3\xA9\xEF\xBF\xBF", u"\u00E9\uFFFF"},
        {kUtf8CodePage, "\xF0\x9F\x98\x80", u"\U0001F600"},
        {kUtf8CodePage, "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(Decode(c.codePage, c.bytes), c.units);
        EXPECT_EQ(Encode(c.codePage, c.units), c.bytes);
    }
}

TEST(CodePage, LengthMinusOneConvertsTheTerminator) {
    const char gbk[] =
        "\xD6\xD0"
        "a";
    EXPECT_EQ(MultiByteToWideChar(kGbkCodePage, 0, gbk, -1, nullptr, 0), 3);
    char16_t units[8];
    std::fill(std::begin(units), std::end(units), u'#');
    ASSERT_EQ(MultiByteToWideChar(kGbkCodePage, 0, gbk, -1, units, 8), 3);
    EXPECT_EQ(std::u16string(units, 4), std::u16string(u"中a\0#", 4));

    EXPECT_EQ(MultiByteToWideChar(kUtf8CodePage, 0, "\xE4\xB8\xAD", -1, nullptr, 0), 2);
    EXPECT_EQ(MultiByteToWideChar(kUtf8CodePage, 0, "", -1, nullptr, 0), 1);

    EXPECT_EQ(WideCharToMultiByte(kGbkCodePage, 0, u"中a", -1, nullptr, 0, nullptr, nullptr), 4);
    EXPECT_EQ(WideCharToMultiByte(kUtf8CodePage, 0, u"中a", -1, nullptr, 0, nullptr, nullptr), 5);
    char bytes[8];
    std::fill(std::begin(bytes), std::end(bytes), '#');
    ASSERT_EQ(WideCharToMultiByte(kUtf8CodePage, 0, u"中a", -1, bytes, 8, nullptr, nullptr), 5);
    EXPECT_EQ(std::string(bytes, 6), std::string("\xE4\xB8\xAD"
                                                 "a\0#",
                                                 6));

    // The first zero ends the input.
    EXPECT_EQ(WideCharToMultiByte(kGbkCodePage, 0, u"a\0bc", -1, nullptr, 0, nullptr, nullptr), 2);
}

TEST(CodePage, OutputThatDoesNotFitStopsAtTheLastWholeCharacter) {
    struct WideCase {
        unsigned codePage;
        std::string bytes;
        int capacity;
        std::u16string written;
    };
    const std::vector<WideCase> wideCases = {
        {kGbkCodePage, "\xD6\xD0\xCE\xC4", 1, u"中"},
        {kGbkCodePage, "ab\xFF", 2, u"ab"},             // no room for the replacement
        {kUtf8CodePage, "a\xF0\x9F\x98\x80", 2, u"a"},  // a surrogate pair is never split
        {kUtf8CodePage, "abc", 2, u"ab"},
    };
    for (const WideCase& c : wideCases) {
        SCOPED_TRACE(c.bytes);
        std::u16string buffer(16, u'#');
        EXPECT_EQ(MultiByteToWideChar(c.codePage, 0, c.bytes.data(),
                                      static_cast<int>(c.bytes.size()), buffer.data(), c.capacity),
                  0);
        EXPECT_EQ(buffer.substr(0, c.written.size()), c.written);
        EXPECT_EQ(buffer.find_first_not_of(u'#', c.written.size()), std::u16string::npos);
    }

    struct NarrowCase {
        unsigned codePage;
        std::u16string units;
        int capacity;
        std::string written;
    };
    const std::vector<NarrowCase> narrowCases = {
        {kGbkCodePage, u"a中", 2, "a"},  {kGbkCodePage, u"中\U0001F600", 2, "\xD6\xD0"},
        {kUtf8CodePage, u"a中", 3, "a"}, {kUtf8CodePage, u"\U0001F600", 3, ""},
        {kUtf8CodePage, u"ab", 1, "a"},
    };
    for (const NarrowCase& c : narrowCases) {
        SCOPED_TRACE(c.written);
        std::string buffer(16, '#');
        EXPECT_EQ(
            WideCharToMultiByte(c.codePage, 0, c.units.data(), static_cast<int>(c.units.size()),
                                buffer.data(), c.capacity, nullptr, nullptr),
            0);
        EXPECT_EQ(buffer.substr(0, c.written.size()), c.written);
        EXPECT_EQ(buffer.find_first_not_of('#', c.written.size()), std::string::npos);
    }

    // Far into a long input, too.
    std::string gbk;
    std::u16string wide;
    for (int i = 0; i < 10000; ++i) {
        gbk += "\xD6\xD0";
        wide += u"中";
    }
    std::u16string wideBuffer(10000, u'#');
    EXPECT_EQ(MultiByteToWideChar(kGbkCodePage, 0, gbk.data(), 20000, wideBuffer.data(), 5001), 0);
    EXPECT_EQ(wideBuffer.substr(0, 5002), wide.substr(0, 5001) + u"#");
    std::string gbkBuffer(20000, '#');
    EXPECT_EQ(WideCharToMultiByte(kGbkCodePage, 0, wide.data(), 10000, gbkBuffer.data(), 9999,
                                  nullptr, nullptr),
              0);
    EXPECT_EQ(gbkBuffer.substr(0, 10000), gbk.substr(0, 9998) + "##");

    // A terminator that does not fit fails the call as any other character.
    char16_t units[2];
    EXPECT_EQ(MultiByteToWideChar(kUtf8CodePage, 0, "ab", -1, units, 2), 0);
    EXPECT_EQ(std::u16string(units, 2), u"ab");
}

// Runs of ASCII are converted many units at a time; at every capacity, and when everything
// fits, the buffer must hold the converted units and nothing after them.
TEST(CodePage, NothingIsLeftWrittenPastTheConvertedUnits) {
    const std::vector<std::pair<unsigned, std::string>> inputs = {
        {kGbkCodePage,
         "<p class=\"x\">\xD6\xD0\xCE\xC4</p>0123456789abcdefghij\xD6\xD0\xFF"
         "0123456789abcdefghijklmnopqrstuvwxyz\xCE\xC4\x81"},
        {kGbkCodePage, std::string(40, 'a') + "\xD6\xD0" + std::string(17, 'b') + "\xD6"},
        // Ending inside a block of 16: pairs after the ASCII make fewer units than bytes.
        {kGbkCodePage, std::string(8, 'a') + "\xD6\xD0\xCE\xC4\xD6\xD0\xCE\xC4"},
        {kGbkCodePage, std::string(24, 'a') + "\xD6\xD0\xCE\xC4\xD6\xD0\xCE\xC4"},
        {kUtf8CodePage,
         "<p>\xE4\xB8\xAD\xE6\x96\x87</p>0123456789abcdefghij\xF0\x9F\x98\x80"
         "0123456789abcdefghijklmnopqrstuvwxyz\xC3\xA9\xFF"},
    };
    for (const auto& [codePage, bytes] : inputs) {
        SCOPED_TRACE(bytes);
        const std::u16string whole = Decode(codePage, bytes);
        const int length = static_cast<int>(bytes.size());
        for (std::size_t capacity = 1; capacity <= bytes.size() + 16; ++capacity) {
            std::u16string buffer(bytes.size() + 40, u'#');
            const int written = MultiByteToWideChar(codePage, 0, bytes.data(), length,
                                                    buffer.data(), static_cast<int>(capacity));
            const std::size_t kept = written > 0 ? whole.size() : buffer.find_first_of(u'#');
            EXPECT_EQ(written, capacity >= whole.size() ? static_cast<int>(whole.size()) : 0);
            EXPECT_EQ(buffer.substr(0, kept), whole.substr(0, kept)) << capacity;
            EXPECT_EQ(buffer.find_first_not_of(u'#', kept), std::u16string::npos) << capacity;
            EXPECT_GE(kept + 1, std::min(capacity, whole.size())) << capacity;
            EXPECT_LE(kept, capacity) << capacity;
        }
    }
}

TEST(CodePage, InvalidUtf8BecomesOneReplacementPerMaximalSubpart) {
    struct Case {
        std::string bytes;
        std::u16string units;
    };
    const std::vector<Case> cases = {
        {"\x80", u"\uFFFD"},
        {"a\xBF"
         "b",
         u"a\uFFFDb"},
        {"\xC0\xAF", u"\uFFFD\uFFFD"},            // overlong '/'
        {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},  // overlong, three bytes
        {"\xF0\x80\x80\xAF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
        {"\xF5\x80", u"\uFFFD\uFFFD"},
        {"\xFE\xFF", u"\uFFFD\uFFFD"},
        {"\xE4\xB8"
         "a",
         u"\uFFFDa"},  // a truncated sequence is one subpart
        {"\xF0\x9F\x98"
         "a",
         u"\uFFFDa"},
        {"\xF0\x9F\x98", u"\uFFFD"},
        {"\xE4\xB8\xE4\xB8\xAD", u"\uFFFD中"},
        {"\x81\x81", u"\uFFFD\uFFFD"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(Decode(kUtf8CodePage, c.bytes), c.units);
    }
    // Before the terminator, too.
    char16_t units[4] = {};
    EXPECT_EQ(MultiByteToWideChar(kUtf8CodePage, 0, "\xE4\xB8", -1, units, 4), 2);
    EXPECT_EQ(std::u16string(units, 2), std::u16string(u"\uFFFD\0", 2));
}

TEST(CodePage, InvalidGbkBecomesReplacementCharacters) {
    struct Case {
        std::string bytes;
        std::u16string units;
    };
    const std::vector<Case> cases = {
        {"\xFF", u"\uFFFD"},
        {"a\xFF"
         "b",
         u"a\uFFFDb"},
        {"\xA1\x40", u"\uFFFD"},            // an unassigned pair is one character
        {"\xAA\xA1\xD6\xD0", u"\uFFFD中"},  // so is one of the user-defined area
        {"\x81 ", u"\uFFFD "},              // a lead byte without a trail byte
        {"\x81\x7F", u"\uFFFD\u007F"},
        {"\x81\xFF", u"\uFFFD\uFFFD"},
        {"\xD6\xD0\xD6", u"中\uFFFD"},  // a lone lead byte at the end
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(Decode(kGbkCodePage, c.bytes), c.units);
    }
    char16_t units[4] = {};
    EXPECT_EQ(MultiByteToWideChar(kGbkCodePage, 0, "\xD6", -1, units, 4), 2);
    EXPECT_EQ(std::u16string(units, 2), std::u16string(u"\uFFFD\0", 2));
}

TEST(CodePage, CharactersThatGbkLacksBecomeTheDefaultCharacter) {
    struct Case {
        std::u16string units;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {u"a\u0E01b", "a?b"},  // Thai
        {u"\uFFFD", "?"},
        {u"\U0001F600中", "?\xD6\xD0"},  // one for the whole pair
        {std::u16string(u"\xD800"
                        "a",
                        2),
         "?a"},  // lone surrogates
        {std::u16string(u"\xDC00\xD800", 2), "??"},
        {u"\uF8F5", "?"},  // what some tables give 0xFF; it stays unmappable here
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        bool used = false;
        char buffer[16];
        EXPECT_EQ(WideCharToMultiByte(kGbkCodePage, 0, c.units.data(),
                                      static_cast<int>(c.units.size()), buffer, 16, nullptr, &used),
                  static_cast<int>(c.bytes.size()));
        EXPECT_EQ(std::string(buffer, c.bytes.size()), c.bytes);
        EXPECT_TRUE(used);
    }

    bool used = true;
    EXPECT_EQ(WideCharToMultiByte(kGbkCodePage, 0, u"中", -1, nullptr, 0, nullptr, &used), 3);
    EXPECT_FALSE(used);

    // A given default character, which may be a double-byte one, takes the place of '?'.
    char buffer[8];
    ASSERT_EQ(WideCharToMultiByte(kGbkCodePage, 0, u"a\u0E01", 2, buffer, 8, "\xA1\xF6", nullptr),
              3);
    EXPECT_EQ(std::string(buffer, 3), "a\xA1\xF6");
    EXPECT_EQ(WideCharToMultiByte(kGbkCodePage, 0, u"a\u0E01", 2, nullptr, 0, "*", nullptr), 2);
}

TEST(CodePage, LoneSurrogatesBecomeReplacementsInUtf8) {
    struct Case {
        std::u16string units;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {std::u16string(u"\xD83D"
                        "a",
                        2),
         "\xEF\xBF\xBD"
         "a"},
        {std::u16string(u"\xDE00", 1), "\xEF\xBF\xBD"},
        {std::u16string(u"\xDE00\xD83D", 2), "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {std::u16string(u"\xD83D\xDE00", 2), "\xF0\x9F\x98\x80"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(Encode(kUtf8CodePage, c.units), c.bytes);
    }
}

TEST(CodePage, RefusesWhatTheWindowsCallsRefuse) {
    char16_t units[4];
    char bytes[4];
    EXPECT_EQ(MultiByteToWideChar(kGbkCodePage, 1, "a", -1, units, 4), 0);  // flags
    EXPECT_EQ(MultiByteToWideChar(kGbkCodePage, 0, "a", 0, units, 4), 0);   // empty input
    EXPECT_EQ(MultiByteToWideChar(kGbkCodePage, 0, "a", -2, units, 4), 0);
    EXPECT_EQ(MultiByteToWideChar(kGbkCodePage, 0, nullptr, -1, units, 4), 0);
    EXPECT_EQ(MultiByteToWideChar(kGbkCodePage, 0, "a", -1, nullptr, 4), 0);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "a", -1, units, 4), 0);  // unknown page
    EXPECT_EQ(WideCharToMultiByte(kGbkCodePage, 0, u"a", -1, bytes, -1, nullptr, nullptr), 0);
    EXPECT_EQ(WideCharToMultiByte(437, 0, u"a", -1, bytes, 4, nullptr, nullptr), 0);
    bool used = false;
    EXPECT_EQ(WideCharToMultiByte(kUtf8CodePage, 0, u"a", -1, bytes, 4, nullptr, &used), 0);
    EXPECT_EQ(WideCharToMultiByte(kUtf8CodePage, 0, u"a", -1, bytes, 4, "?", nullptr), 0);
}

// The measurement and the conversion are made differently; they must agree on every character.
TEST(CodePage, MeasurementAgreesWithConversionForEveryGbkPairAndBmpUnit) {
    std::string pair(2, '\0');
    for (int first = 0; first < 256; ++first) {
        for (int second = 1; second < 256; ++second) {
            pair[0] = static_cast<char>(first);
            pair[1] = static_cast<char>(second);
            const int needed = MultiByteToWideChar(kGbkCodePage, 0, pair.data(), 2, nullptr, 0);
            char16_t units[2];
            ASSERT_EQ(MultiByteToWideChar(kGbkCodePage, 0, pair.data(), 2, units, 2), needed)
                << first << ' ' << second;
            // A character that decodes also encodes back to the same bytes.
            if (needed == 1 && units[0] != 0xFFFD) {
                char back[2];
                ASSERT_EQ(WideCharToMultiByte(kGbkCodePage, 0, units, 1, back, 2, nullptr, nullptr),
                          2);
                ASSERT_EQ(std::string(back, 2), pair);
            }
        }
    }
    // Longer inputs, mixing runs of ASCII, of lead bytes and of the bytes in between.
    std::mt19937 random(936);
    const std::string alphabet("\x00\x20\x40\x61\x7F\x80\x81\x99\xA1\xD6\xFE\xFF", 12);
    for (int sample = 0; sample < 20000; ++sample) {
        std::string bytes(1 + random() % 40, '\0');
        const bool runs = sample % 2 == 0;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = runs && i > 0 && random() % 4 != 0 ? bytes[i - 1]
                                                          : alphabet[random() % alphabet.size()];
        }
        const int length = static_cast<int>(bytes.size());
        const int needed = MultiByteToWideChar(kGbkCodePage, 0, bytes.data(), length, nullptr, 0);
        std::u16string units(bytes.size(), u'\0');
        ASSERT_EQ(MultiByteToWideChar(kGbkCodePage, 0, bytes.data(), length, units.data(), length),
                  needed);
    }
    for (unsigned unit = 1; unit < 0x10000; ++unit) {
        const char16_t u = static_cast<char16_t>(unit);
        const int needed =
            WideCharToMultiByte(kGbkCodePage, 0, &u, 1, nullptr, 0, nullptr, nullptr);
        char bytes[2];
        ASSERT_EQ(WideCharToMultiByte(kGbkCodePage, 0, &u, 1, bytes, 2, nullptr, nullptr), needed)
            << unit;
    }
}

// What glibc's iconv makes of GBK, read the way the conversion reads it: a pair that iconv
// refuses, a lone lead byte and 0xFF each become one U+FFFD.
std::u16string IconvDecodeGbk(std::string_view bytes) {
    const iconv_t cd = iconv_open("WCHAR_T", "CP936");
    std::u16string out;
    std::string input(bytes);
    char* in = input.data();
    std::size_t inLeft = input.size();
    while (inLeft > 0) {
        wchar_t unit = 0;
        char* cursor = reinterpret_cast<char*>(&unit);
        std::size_t outLeft = sizeof unit;
        const bool converted = iconv(cd, &in, &inLeft, &cursor, &outLeft) != std::size_t(-1);
        const int error = errno;
        if (outLeft == 0) out += static_cast<char16_t>(unit);
        if (converted || error == E2BIG) continue;
        out += u'\uFFFD';
        const auto* b = reinterpret_cast<const unsigned char*>(in);
        const bool pair = b[0] >= 0x81 && b[0] <= 0xFE && inLeft > 1 &&
                          ((b[1] >= 0x40 && b[1] <= 0x7E) || (b[1] >= 0x80 && b[1] <= 0xFE));
        in += pair ? 2 : 1;
        inLeft -= pair ? 2 : 1;
    }
    iconv_close(cd);
    return out;
}

// One character, given as a code point, the way iconv writes it: nothing when it refuses it.
std::optional<std::string> IconvEncodeGbk(char32_t c) {
    const iconv_t cd = iconv_open("CP936", "WCHAR_T");
    wchar_t unit = static_cast<wchar_t>(c);
    char* in = reinterpret_cast<char*>(&unit);
    std::size_t inLeft = sizeof unit;
    char bytes[8];
    char* cursor = bytes;
    std::size_t outLeft = sizeof bytes;
    const bool converted = iconv(cd, &in, &inLeft, &cursor, &outLeft) != std::size_t(-1);
    iconv_close(cd);
    if (!converted) return std::nullopt;
    return std::string(bytes, sizeof bytes - outLeft);
}

// The conversions work from tables learnt from iconv; they must give what iconv gives.
TEST(CodePage, GbkAgreesWithIconvForEveryByteAndPairAndBmpCharacter) {
    for (int first = 0; first < 256; ++first) {
        const std::string single(1, static_cast<char>(first));
        ASSERT_EQ(Decode(kGbkCodePage, single), IconvDecodeGbk(single)) << first;
        for (int second = 0; second < 256; ++second) {
            const std::string pair = single + static_cast<char>(second);
            ASSERT_EQ(Decode(kGbkCodePage, pair), IconvDecodeGbk(pair)) << first << ' ' << second;
        }
    }
    std::mt19937 random(20);
    for (int sample = 0; sample < 2000; ++sample) {
        std::string bytes(1 + random() % 64, '\0');
        for (char& b : bytes)
            b = static_cast<char>(random() % 4 == 0 ? random() % 128 : 128 + random() % 128);
        ASSERT_EQ(Decode(kGbkCodePage, bytes), IconvDecodeGbk(bytes)) << sample;
    }

    for (char32_t c = 0; c < 0x10000; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        const char16_t unit = static_cast<char16_t>(c);
        EXPECT_EQ(Encode(kGbkCodePage, std::u16string_view(&unit, 1)),
                  IconvEncodeGbk(c).value_or("?"))
            << std::hex << static_cast<unsigned>(c);
    }
    // Above the BMP iconv refuses all but the tag characters, which it drops; measuring agrees.
    for (const char32_t c : {0x10000, 0x1F600, 0x20000, 0xE0001, 0xE0041, 0xE007F, 0xE0080}) {
        const char32_t v = c - 0x10000;
        const std::u16string units = {u'a', static_cast<char16_t>(0xD800 + (v >> 10)),
                                      static_cast<char16_t>(0xDC00 + (v & 0x3FF)), u'b'};
        EXPECT_EQ(Encode(kGbkCodePage, units), "a" + IconvEncodeGbk(c).value_or("?") + "b")
            << std::hex << static_cast<unsigned>(c);
    }
    bool used = true;
    EXPECT_EQ(WideCharToMultiByte(kGbkCodePage, 0, u"a\U000E0041", -1, nullptr, 0, nullptr, &used),
              2);
    EXPECT_FALSE(used);
}

// Long inputs with faults spread through them, beyond any internal chunk.
TEST(CodePage, LongInputsConvertInBulk) {
    std::string gbk;
    std::u16string units;
    for (int i = 0; i < 40000; ++i) {
        gbk += "\xD6\xD0\xFF<p>";
        units += u"中\uFFFD<p>";
    }
    EXPECT_EQ(Decode(kGbkCodePage, gbk), units);

    std::u16string wide;
    std::string expected;
    for (int i = 0; i < 40000; ++i) {
        wide += u"文\u0E01a\U0001F600";
        expected += "\xCE\xC4?a?";
    }
    EXPECT_EQ(Encode(kGbkCodePage, wide), expected);
}

TEST(CodePage, ConvertsOnManyThreadsAtOnce) {
    std::string page;
    for (int i = 0; i < 2000; ++i)
        page += "\xE4\xB8\xAD\xE6\x96\x87 <a href=\"x\">\xF0\x9F\x98\x80</a>";
    std::vector<std::string> results(4);
    std::vector<std::thread> threads;
    for (std::string& result : results) {
        threads.emplace_back([&page, &result] {
            for (int round = 0; round < 20; ++round) {
                result = Encode(kGbkCodePage, Decode(kUtf8CodePage, page));
            }
        });
    }
    for (std::thread& t : threads) t.join();
    std::string expected;
    for (int i = 0; i < 2000; ++i) expected += "\xD6\xD0\xCE\xC4 <a href=\"x\">?</a>";
    for (const std::string& result : results) EXPECT_EQ(result, expected);
}

TEST(CodePage, NamesCrossBetweenGbkAndUtf8) {
    EXPECT_EQ(AnsiToNative("\xD0\xA1\xCB\xB5\xC3\xFB.txt"),
              "\xE5\xB0\x8F\xE8\xAF\xB4\xE5\x90\x8D.txt");
    EXPECT_EQ(NativeToAnsi("\xE5\xB0\x8F\xE8\xAF\xB4\xE5\x90\x8D.txt"),
              "\xD0\xA1\xCB\xB5\xC3\xFB.txt");
    EXPECT_EQ(AnsiToNative(""), "");
    EXPECT_EQ(NativeToAnsi(""), "");
    EXPECT_EQ(NativeToAnsi("\xE0\xB8\x81.txt"), "?.txt");  // no GBK form
    EXPECT_EQ(AnsiToNative("a\xFF"), "a\xEF\xBF\xBD");
}

}  // namespace
}  // namespace mojing::platform
