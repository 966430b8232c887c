#include "text/regex_object.h"

#include "platform/com.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace mojing {
namespace {

using test::Gbk;

struct Options {
    bool caseSensitive = false;
    bool multiline = true;
    bool global = true;
};

// Every match text, and every first group, joined with commas.
std::string MatchTexts(const RegexObject& regex) {
    std::string out;
    for (long i = 1; i <= regex.GetMatchCount(); ++i) {
        if (i > 1) out += ',';
        out += regex.GetMatchText(i);
    }
    return out;
}

std::string FirstGroups(const RegexObject& regex) {
    std::string out;
    for (long i = 1; i <= regex.GetMatchCount(); ++i) {
        if (i > 1) out += ',';
        out += regex.GetSubMatchText(i, 1);
    }
    return out;
}

struct CreateCase {
    const char* what;
    std::string pattern;
    std::string subject;
    Options options;
    std::string matches;
    std::string groups;
};

TEST(RegexObject, CreateAppliesItsOptions) {
    const std::vector<CreateCase> cases = {
        {"omitted options ignore case and find all", "a(b)", "AB ab", {}, "AB,ab", "B,b"},
        {"caseSensitive", "a(b)", "AB ab", {.caseSensitive = true}, "ab", "b"},
        {"global off", "a(b)", "AB ab", {.global = false}, "AB", "B"},
        {"multiline omitted: ^ at each line", "^(b)", "a\nb", {}, "b", "b"},
        {"multiline off: ^ only at the start", "^(b)", "a\nb", {.multiline = false}, "", ""},
        {"'.' stops at a line feed despite Singleline", "a(.)b", "a\nb a-b", {}, "a-b", "-"},
        {"GBK in and out", Gbk("书(.)"), Gbk("墨鲸书匣，书名"), {}, Gbk("书匣,书名"), Gbk("匣,名")},
        {"lazy group", "<i>(.*?)</i>", "<i>1</i><i>2</i>", {}, "<i>1</i>,<i>2</i>", "1,2"},
    };
    for (const CreateCase& c : cases) {
        SCOPED_TRACE(c.what);
        RegexObject regex;
        EXPECT_TRUE(regex.Create(c.pattern, c.subject, c.options.caseSensitive, c.options.multiline,
                                 c.options.global));
        EXPECT_EQ(MatchTexts(regex), c.matches);
        EXPECT_EQ(FirstGroups(regex), c.groups);
    }
}

TEST(RegexObject, SearchThatFindsNothingStillSucceeds) {
    RegexObject regex;
    EXPECT_TRUE(regex.Create("a.b", "a\nb"));
    EXPECT_EQ(regex.GetMatchCount(), 0);
    EXPECT_EQ(regex.GetSubMatchCount(), 0);
    EXPECT_EQ(regex.GetMatchText(1), "");
    EXPECT_EQ(regex.GetSubMatchText(1, 1), "");
    EXPECT_EQ(regex.GetPattern(), "a.b");
}

TEST(RegexObject, RejectedPatternFailsAndLeavesNoMatches) {
    RegexObject regex;
    ASSERT_TRUE(regex.Create("(a)", "a"));
    ASSERT_EQ(regex.GetMatchCount(), 1);

    EXPECT_FALSE(regex.Create("(", "a ("));
    EXPECT_EQ(regex.GetMatchCount(), 0);
    EXPECT_EQ(regex.GetSubMatchCount(), 0);
    EXPECT_EQ(regex.GetMatchText(1), "");
    EXPECT_EQ(regex.GetSubMatchText(1, 1), "");
    EXPECT_EQ(regex.ReplaceMatches("x"), "");
    EXPECT_EQ(regex.GetPattern(), "(");  // the pattern was written; only the search failed
}

TEST(RegexObject, EachCreateStartsFromFreshOptions) {
    RegexObject regex;
    ASSERT_TRUE(regex.Create("a", "A a", /*caseSensitive=*/true, true, /*global=*/false));
    EXPECT_EQ(MatchTexts(regex), "a");
    ASSERT_TRUE(regex.Create("a", "A a"));
    EXPECT_EQ(MatchTexts(regex), "A,a");
}

TEST(RegexObject, QuoteMarkerExpandsOnlyWhenAsked) {
    const std::string pattern = Gbk("href=#引号(.*?)#引号");
    const std::string subject = "<a href=\"x.html\">";
    RegexObject regex;

    ASSERT_TRUE(regex.Create(pattern, subject, false, true, true, /*expandQuoteMarker=*/true));
    EXPECT_EQ(regex.GetPattern(), "href=\"(.*?)\"");
    EXPECT_EQ(regex.GetSubMatchText(1, 1), "x.html");

    ASSERT_TRUE(regex.Create(pattern, subject));
    EXPECT_EQ(regex.GetPattern(), pattern);
    EXPECT_EQ(regex.GetMatchCount(), 0);

    ASSERT_TRUE(regex.Create(Gbk("引#引号号#引号"), "", false, true, true, true));
    EXPECT_EQ(regex.GetPattern(), Gbk("引\"号\""));
}

struct PositionCase {
    const char* what;
    std::string pattern;
    std::string subject;
    Options options;
    long matchIndex;
    std::optional<long> subMatchIndex;  // none reads the match itself
    std::string text;
    long startPos;
};

TEST(RegexObject, StartPosIsFoundFromTheEnginePosition) {
    const std::vector<PositionCase> cases = {
        {"ASCII subject", "ab", "xxABxx", {}, 1, {}, "AB", 2},
        {"after one GBK character",
         "AB",
         "\xD6\xD0"
         "AB",
         {},
         1,
         {},
         "AB",
         2},
        {"after two GBK characters the scan starts inside one and misses",
         "AB",
         "\xD6\xD0\xCE\xC4"
         "AB",
         {},
         1,
         {},
         "AB",
         -2},
        {"ignoring case, an earlier variant is taken", "a", "Aa", {}, 2, {}, "a", 0},
        {"case-sensitive, it is not", "a", "Aa", {.caseSensitive = true}, 1, {}, "a", 1},
        {"a group is searched from its match", "x(b)", "axbb", {}, 1, 1, "b", 2},
        {"an empty group counts as found at the start", "x()", "abx", {}, 1, 1, "", 0},
        {"match number past the end", "a", "a", {}, 2, {}, "", 0},
        {"match number 0", "a", "a", {}, 0, {}, "", 0},
        {"group number past the end", "(a)", "ba", {}, 1, 2, "", 0},
        {"group number 0", "(a)", "ba", {}, 1, 0, "", 0},
        {"empty subject", "x*", "", {}, 1, {}, "", -2},
    };
    for (const PositionCase& c : cases) {
        SCOPED_TRACE(c.what);
        RegexObject regex;
        ASSERT_TRUE(regex.Create(c.pattern, c.subject, c.options.caseSensitive, c.options.multiline,
                                 c.options.global));
        long startPos = 12345;
        const std::string text =
            c.subMatchIndex ? regex.GetSubMatchText(c.matchIndex, *c.subMatchIndex, &startPos)
                            : regex.GetMatchText(c.matchIndex, &startPos);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(startPos, c.startPos);
    }
}

TEST(RegexObject, SubMatchCountIsTheFirstMatchsGroups) {
    RegexObject regex;
    ASSERT_TRUE(regex.Create("(a)(b)?", "a ab"));
    EXPECT_EQ(regex.GetSubMatchCount(), 2);
    EXPECT_EQ(regex.GetSubMatchText(1, 2), "");  // took no part
    EXPECT_EQ(regex.GetSubMatchText(2, 2), "b");
}

TEST(RegexObject, ReplaceMatchesRerunsThePatternOverTheStoredSubject) {
    RegexObject regex;
    ASSERT_TRUE(regex.Create(Gbk("(书)"), Gbk("墨鲸书匣书")));
    EXPECT_EQ(regex.ReplaceMatches(Gbk("[$1]")), Gbk("墨鲸[书]匣[书]"));
    EXPECT_EQ(regex.ReplaceMatches(), Gbk("墨鲸匣"));

    ASSERT_TRUE(regex.Create(Gbk("(书)"), Gbk("墨鲸书匣书"), false, true, /*global=*/false));
    EXPECT_EQ(regex.ReplaceMatches("$$"), Gbk("墨鲸$匣书"));

    // A shorter subject after a longer one leaves nothing of the longer behind.
    ASSERT_TRUE(regex.Create("b", std::string(100, 'a') + "b"));
    ASSERT_TRUE(regex.Create("a", "xa"));
    EXPECT_EQ(regex.ReplaceMatches("y"), "xy");
    EXPECT_EQ(regex.GetMatchCount(), 1);
    ASSERT_TRUE(regex.Create("a|^", ""));
    EXPECT_EQ(regex.GetMatchCount(), 1);
    EXPECT_EQ(regex.ReplaceMatches("y"), "y");
}

TEST(RegexObject, FreshObjectReadsAsEmpty) {
    RegexObject regex;
    regex.Placeholder();
    EXPECT_EQ(regex.GetPattern(), "");
    EXPECT_EQ(regex.ReplaceMatches("x"), "");
    EXPECT_EQ(regex.GetMatchCount(), 0);
    EXPECT_EQ(regex.GetSubMatchCount(), 0);
    long startPos = 0;
    EXPECT_EQ(regex.GetSubMatchText(1, 1, &startPos), "");
    EXPECT_EQ(startPos, -2);
}

TEST(RegexObject, CloneSharesMatchesAndKeepsItsOwnSubject) {
    RegexObject source;
    ASSERT_TRUE(source.Create("a(.)", "xab ac"));
    const std::unique_ptr<RegexObject> clone = source.Clone();

    ASSERT_TRUE(source.Create("z", "zzz"));
    source.Destroy();

    EXPECT_EQ(clone->GetPattern(), "a(.)");
    EXPECT_EQ(MatchTexts(*clone), "ab,ac");
    long startPos = 0;
    EXPECT_EQ(clone->GetSubMatchText(2, 1, &startPos), "c");
    EXPECT_EQ(startPos, 5);
    EXPECT_EQ(clone->ReplaceMatches("-"), "x- -");
}

TEST(RegexObject, ComStaysBalanced) {
    ASSERT_EQ(platform::ComInitializationDepth(), 0);
    {
        RegexObject regex;
        EXPECT_EQ(platform::ComInitializationDepth(), 1);
        regex.Destroy();
        EXPECT_EQ(platform::ComInitializationDepth(), 0);
    }  // the destructor after Destroy does not uninitialise again
    EXPECT_EQ(platform::ComInitializationDepth(), 0);

    {
        RegexObject regex;  // never destroyed explicitly
        ASSERT_TRUE(regex.Create("a", "a"));
        std::unique_ptr<RegexObject> clone = regex.Clone();
        EXPECT_EQ(platform::ComInitializationDepth(), 1);
        clone->Destroy();
        EXPECT_EQ(platform::ComInitializationDepth(), 1);
        clone.reset();
        EXPECT_EQ(platform::ComInitializationDepth(), 1);

        std::thread([] {
            RegexObject onWorker;
            EXPECT_EQ(platform::ComInitializationDepth(), 1);
        }).join();
        EXPECT_EQ(platform::ComInitializationDepth(), 1);
    }
    EXPECT_EQ(platform::ComInitializationDepth(), 0);
}

}  // namespace
}  // namespace mojing
