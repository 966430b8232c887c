#include "platform/regexp_engine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mojing::platform {
namespace {

// UTF-8 for readable failure messages; a lone surrogate shows as <D800>.
std::string Show(std::u16string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            char hex[8];
            snprintf(hex, sizeof hex, "<%04X>", static_cast<unsigned>(c));
            out += hex;
            continue;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// Each match as "index:value", followed by its groups in brackets when it has any.
std::string Describe(const RegExpMatchCollection& matches) {
    std::string out;
    for (long i = 0; i < matches.Count(); ++i) {
        const auto match = matches.Item(i);
        if (!out.empty()) out += ' ';
        out += std::to_string(match->FirstIndex()) + ':' + Show(match->Value());
        const RegExpSubMatches& groups = match->SubMatches();
        if (groups.Count() > 0) {
            out += '[';
            for (long g = 0; g < groups.Count(); ++g) {
                if (g > 0) out += '|';
                out += Show(*groups.Item(g));
            }
            out += ']';
        }
    }
    return out;
}

struct Options {
    bool ignoreCase = false;
    bool multiline = false;
    bool global = true;
};

std::shared_ptr<RegExpEngine> MakeEngine(std::u16string_view pattern, Options options) {
    auto engine = RegExpEngine::Create();
    EXPECT_TRUE(engine->PutBool("IgnoreCase", options.ignoreCase));
    EXPECT_TRUE(engine->PutBool("Multiline", options.multiline));
    EXPECT_TRUE(engine->PutBool("Global", options.global));
    EXPECT_TRUE(engine->PutText("Pattern", pattern));
    return engine;
}

struct ExecuteCase {
    const char* what;
    std::u16string pattern;
    std::u16string subject;
    Options options;
    std::string expected;
};

constexpr Options kPlain{};
constexpr Options kIgnoreCase{.ignoreCase = true};
constexpr Options kMultiline{.multiline = true};
constexpr Options kFirstOnly{.global = false};

TEST(RegExpEngine, ExecuteFollowsScriptPatternRules) {
    const std::vector<ExecuteCase> cases = {
        {"lazy group stops at the first end", u"<b>(.*?)</b>", u"<b>x</b> <b>y</b>", kPlain,
         "0:<b>x</b>[x] 9:<b>y</b>[y]"},
        {"greedy group runs to the last end", u"<b>(.*)</b>", u"<b>x</b> <b>y</b>", kPlain,
         "0:<b>x</b> <b>y</b>[x</b> <b>y]"},
        {"without Global only the first", u"a(b)", u"ab ab", kFirstOnly, "0:ab[b]"},
        {"dot does not cross a line feed", u"a.b", u"a\nb", kPlain, ""},
        {"dot does not cross a carriage return", u"a.b", u"a\rb", kPlain, ""},
        {"dot takes anything else", u"a.b", u"a\tb a\u4E2Db", kPlain, "0:a\tb 4:a\u4E2Db"},
        {"[^] takes a line feed", u"a[^]b", u"a\nb", kPlain, "0:a\nb"},
        {"^ only at the start", u"^b", u"a\nb", kPlain, ""},
        {"^ at each line with Multiline", u"^\\w", u"a\nb\r\nc", kMultiline, "0:a 2:b 5:c"},
        {"$ only at the very end", u"a$", u"a\n", kPlain, ""},
        {"$ at the very end", u"a$", u"ba", kPlain, "1:a"},
        {"$ before each line end with Multiline", u"\\w$", u"a\nb\r\nc", kMultiline, "0:a 2:b 5:c"},
        {"a group that took no part is empty", u"(a)|(b)", u"ab", kPlain, "0:a[a|] 1:b[|b]"},
        {"a reference to an unset group matches empty", u"(a)?\\1b", u"b", kPlain, "0:b[]"},
        {"case matters without IgnoreCase", u"ab", u"AB ab", kPlain, "3:ab"},
        {"IgnoreCase folds ASCII", u"ab", u"AB ab", kIgnoreCase, "0:AB 3:ab"},
        {"IgnoreCase folds Cyrillic", u"\u0436", u"\u0416", kIgnoreCase, "0:\u0416"},
        {"IgnoreCase folds full-width Latin", u"\uFF41", u"\uFF21", kIgnoreCase, "0:\uFF21"},
        {"\\d stays ASCII", u"\\d+", u"\uFF11\uFF12 12", kPlain, "3:12"},
        {"\\u escapes", u"\\u0041\\x42", u"xAB", kPlain, "1:AB"},
        {"positions count UTF-16 units", u"B", u"\u4E2D\u6587B \U0001F600B", kPlain, "2:B 6:B"},
        {"an empty match moves on one unit", u"x*", u"ab", kPlain, "0: 1: 2:"},
        {"a lazy empty match moves on one unit", u"a*?", u"aa", kPlain, "0: 1: 2:"},
        {"an empty match steps over a surrogate pair", u"x*", u"\U0001F600a", kPlain, "0: 2: 3:"},
        {"after a non-empty match the search resumes at its end", u"a|", u"aab", kPlain,
         "0:a 1:a 2: 3:"},
        {"a lone surrogate in the subject is passed over", u"b",
         u"a\xD800"
         u"b\xDC00",
         kPlain, "2:b"},
        {"no match gives an empty collection", u"z", u"abc", kPlain, ""},
        {"an empty subject", u"^", u"", kPlain, "0:"},
    };
    for (const ExecuteCase& c : cases) {
        SCOPED_TRACE(c.what);
        const auto matches = MakeEngine(c.pattern, c.options)->Execute(c.subject);
        ASSERT_NE(matches, nullptr);
        EXPECT_EQ(Describe(*matches), c.expected);
    }
}

TEST(RegExpEngine, RejectedPatternGivesNoCollectionAndNoReplacement) {
    for (const std::u16string pattern : {u"(", u"a[", u"*", u"a\\", u"(?<"}) {
        SCOPED_TRACE(Show(pattern));
        const auto engine = MakeEngine(pattern, kPlain);
        EXPECT_EQ(engine->Execute(u"(a[*"), nullptr);
        EXPECT_EQ(engine->Replace(u"(a[*", u"x"), std::nullopt);
    }
}

TEST(RegExpEngine, ChangedPropertiesTakeEffectOnTheNextCall) {
    const auto engine = MakeEngine(u"(", kPlain);
    ASSERT_EQ(engine->Execute(u"Ab"), nullptr);

    ASSERT_TRUE(engine->PutText("Pattern", u"a"));
    EXPECT_EQ(Describe(*engine->Execute(u"Ab")), "");

    ASSERT_TRUE(engine->PutBool("IgnoreCase", true));
    EXPECT_EQ(Describe(*engine->Execute(u"Ab")), "0:A");

    ASSERT_TRUE(engine->PutText("Pattern", u"^b"));
    ASSERT_TRUE(engine->PutBool("Multiline", true));
    EXPECT_EQ(Describe(*engine->Execute(u"a\nB")), "2:B");
    ASSERT_TRUE(engine->PutBool("Multiline", false));
    EXPECT_EQ(Describe(*engine->Execute(u"a\nB")), "");
}

TEST(RegExpEngine, MembersAreReachedByNameAndUnknownOnesFail) {
    const auto engine = RegExpEngine::Create();
    EXPECT_EQ(engine->GetBool("IgnoreCase"), false);
    EXPECT_EQ(engine->GetBool("Multiline"), false);
    EXPECT_EQ(engine->GetBool("Global"), false);
    EXPECT_EQ(engine->GetText("Pattern"), u"");

    EXPECT_TRUE(engine->PutBool("IgnoreCase", true));
    EXPECT_TRUE(engine->PutText("Pattern", u"a.b"));
    EXPECT_FALSE(engine->PutBool("Singleline", true));
    EXPECT_EQ(engine->GetBool("Singleline"), std::nullopt);
    EXPECT_FALSE(engine->PutBool("Pattern", true));
    EXPECT_FALSE(engine->PutText("IgnoreCase", u"x"));
    EXPECT_EQ(engine->GetText("Source"), std::nullopt);

    // The failed writes changed nothing: '.' still stops at a line feed.
    EXPECT_EQ(engine->GetBool("IgnoreCase"), true);
    EXPECT_EQ(engine->GetBool("Multiline"), false);
    EXPECT_EQ(engine->GetText("Pattern"), u"a.b");
    EXPECT_EQ(Describe(*engine->Execute(u"a\nb A-B")), "4:A-B");

    // A late-bound caller finds names whatever their case.
    EXPECT_TRUE(engine->PutBool("global", true));
    EXPECT_EQ(engine->GetBool("GLOBAL"), true);
}

struct ReplaceCase {
    std::u16string pattern;
    std::u16string source;
    std::u16string replacement;
    Options options;
    std::u16string expected;
};

TEST(RegExpEngine, ReplaceReadsDollarFormsAsScriptDoes) {
    const std::u16string tenGroups = u"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)";
    const std::vector<ReplaceCase> cases = {
        {u"(a)(b)?", u"ab a", u"[$2$1]", kPlain, u"[ba] [a]"},
        {u"(a)(b)?", u"ab a", u"[$2$1]", kFirstOnly, u"[ba] a"},
        {u"b", u"abc", u"[$&]", kPlain, u"a[b]c"},
        {u"b", u"abc", u"[$`]", kPlain, u"a[a]c"},
        {u"b", u"abc", u"[$']", kPlain, u"a[c]c"},
        {u"b", u"abc", u"[$$]", kPlain, u"a[$]c"},
        {u"b", u"abc", u"$", kPlain, u"a$c"},
        {u"b", u"abc", u"$x$", kPlain, u"a$x$c"},
        {u"b", u"abc", u"$0$1", kPlain, u"a$0$1c"},
        {u"(b)", u"abc", u"$01|$10|$3", kPlain, u"ab|b0|$3c"},
        {u"(b)", u"abc", u"$00", kPlain, u"a$00c"},
        {tenGroups, u"abcdefghij", u"$10$11$1", kPlain, u"ja1a"},
        {u"x*", u"ab", u"-", kPlain, u"-a-b-"},
        {u"z", u"abc", u"-", kPlain, u"abc"},
        {u"B", u"abAB", u"-", kIgnoreCase, u"a-A-"},
    };
    for (const ReplaceCase& c : cases) {
        SCOPED_TRACE(Show(c.pattern) + " / " + Show(c.replacement));
        EXPECT_EQ(MakeEngine(c.pattern, c.options)->Replace(c.source, c.replacement), c.expected);
    }
}

TEST(RegExpEngine, DeepBacktrackingStillFindsTheMatch) {
    // Deep enough to outgrow the compiled matcher's stack on the way.
    const std::u16string subject = std::u16string(50000, u'a') + u"c";
    const auto matches = MakeEngine(u"(?:(a)|b)*c", kPlain)->Execute(subject);
    ASSERT_NE(matches, nullptr);
    ASSERT_EQ(matches->Count(), 1);
    EXPECT_EQ(matches->Item(0)->Value().size(), subject.size());
    EXPECT_EQ(matches->Item(0)->SubMatches().Item(0), u"a");
}

TEST(RegExpEngine, OutOfRangeItemsAreEmpty) {
    const auto matches = MakeEngine(u"(a)", kPlain)->Execute(u"a");
    ASSERT_EQ(matches->Count(), 1);
    EXPECT_EQ(matches->Item(1), nullptr);
    EXPECT_EQ(matches->Item(-1), nullptr);
    EXPECT_EQ(matches->Item(0)->SubMatches().Item(1), std::nullopt);
    EXPECT_EQ(matches->Item(0)->SubMatches().Item(-1), std::nullopt);
}

}  // namespace
}  // namespace mojing::platform
