#include "batch/name_lists.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/support/writer_process.h"

namespace mojing {
namespace {

using test::Gbk;
using test::TempDir;
using test::WriteBytes;
using Names = std::vector<std::string>;

Names Items(const NameList& list) {
    Names items;
    for (std::size_t i = 1; i <= list.Count(); ++i) items.push_back(list.Item(i));
    return items;
}

// The scan as written down: one character at a time, a byte from 0x80 on taking the next one
// with it.
Names ReferenceSplit(const std::string& text) {
    Names names;
    std::size_t start = 0;
    std::size_t i = 0;
    while (text.size() - i >= 2) {
        if (text[i] == '\r' && text[i + 1] == '\n') {
            names.push_back(text.substr(start, i - start));
            i += 2;
            start = i;
        } else {
            i += static_cast<unsigned char>(text[i]) >= 0x80 ? 2 : 1;
        }
    }
    if (start < text.size()) names.push_back(text.substr(start));
    return names;
}

TEST(NameLists, LoadSplitsFileAtCrLfWhereACharacterStarts) {
    const struct {
        const char* what;
        std::string bytes;
        Names names;
    } cases[] = {
        {"final CR LF", "a\r\nb\r\n", {"a", "b"}},
        {"no final CR LF", "a\r\nb", {"a", "b"}},
        {"blank line", "a\r\n\r\nb", {"a", "", "b"}},
        {"only CR LF", "\r\n", {""}},
        {"two CR LF", "\r\n\r\n", {"", ""}},
        {"line feeds alone", "a\nb\n", {"a\nb\n"}},
        {"carriage returns alone", "a\rb\r", {"a\rb\r"}},
        {"CR before CR LF", "a\r\r\nb", {"a\r", "b"}},
        {"zero byte ends the text", std::string("a\r\nb\0c\r\nd", 10), {"a", "b"}},
        {"leading zero byte", std::string("\0a\r\nb", 5), {}},
        {"byte-order mark kept",
         "\xEF\xBB\xBF"
         "a\r\nb",
         {"\xEF\xBB\xBF"
          "a",
          "b"}},
        {"blanks kept", " a\t\r\n\tb ", {" a\t", "\tb "}},
        {"CR as second byte", "\xB0\r\nx", {"\xB0\r\nx"}},
        {"CR after a whole character", "\xB0\xA1\r\nx", {"\xB0\xA1", "x"}},
        {"odd run of high bytes", "x\xB0\xA1\xB0\r\ny\r\n", {"x\xB0\xA1\xB0\r\ny"}},
        {"LF after a swallowed CR", "\xB0\r\r\nb", {"\xB0\r", "b"}},
        {"lead byte last", "a\r\n\xB0", {"a", "\xB0"}},
        {"lead byte last after text", "ab\xB0", {"ab\xB0"}},
        {"Chinese titles", Gbk("斗破苍穹\r\n凡人修仙传\r\n"), {Gbk("斗破苍穹"), Gbk("凡人修仙传")}},
    };
    const TempDir dir;
    WriteBytes(dir / "earlier.txt", "earlier\r\n");
    for (const auto& c : cases) {
        LoadNameList((dir / "earlier.txt").string());
        ASSERT_EQ(PendingNames().Count(), 1u);
        WriteBytes(dir / "小说名.txt", c.bytes);
        LoadNameList(Gbk((dir / "小说名.txt").string()));
        EXPECT_EQ(Items(PendingNames()), c.names) << c.what;
        if (c.bytes.find('\0') == std::string::npos) {
            EXPECT_EQ(Items(SplitNameList(c.bytes)), c.names) << c.what;
        }
    }
}

TEST(NameLists, UnreadableFilesLeaveNoNames) {
    const TempDir dir;
    WriteBytes(dir / "earlier.txt", "a\r\nb\r\n");
    WriteBytes(dir / "empty.txt", "");
    for (const std::string& path : {(dir / "missing.txt").string(), std::string(),
                                    (dir / "empty.txt").string(), dir.path().string()}) {
        LoadNameList((dir / "earlier.txt").string());
        ASSERT_EQ(PendingNames().Count(), 2u);
        LoadNameList(path);
        EXPECT_EQ(PendingNames().Count(), 0u) << path;
    }
}

TEST(NameLists, FileOpenForWritingElsewhereGivesNoNames) {
    const TempDir dir;
    WriteBytes(dir / "list.txt", "a\r\nb\r\n");
    if (!test::LeasesWorkFor(dir / "list.txt")) GTEST_SKIP() << "no read leases on " << dir.path();
    {
        const test::WriterProcess writer(dir / "list.txt");
        ASSERT_TRUE(writer.Opened());
        PendingNames().Append("earlier");
        LoadNameList((dir / "list.txt").string());
        EXPECT_EQ(PendingNames().Count(), 0u);
    }
    LoadNameList((dir / "list.txt").string());
    EXPECT_EQ(Items(PendingNames()), (Names{"a", "b"}));
}

// Long texts made of the bytes that matter, against the plain one-character-at-a-time scan.
TEST(NameLists, SplitAgreesWithCharacterScanOnRandomText) {
    std::mt19937 random(20240611);
    const std::string_view lowBytes("\r\n\ra", 4);
    const std::string_view highBytes("\xB0\xA1\x81\xFE", 4);
    for (int round = 0; round < 600; ++round) {
        // From rare to frequent bytes from 0x80 on, so that runs of them span whole words.
        const unsigned highPercent = 10 + round % 9 * 10;
        std::string text(random() % 300, ' ');
        for (char& c : text) {
            c = random() % 100 < highPercent ? highBytes[random() % 4] : lowBytes[random() % 4];
        }
        ASSERT_EQ(Items(SplitNameList(text)), ReferenceSplit(text)) << round;
    }
}

TEST(NameLists, RemoveHeadOnOneAndNoItems) {
    NameList list;
    list.Append("only");
    RemoveHead(list);
    EXPECT_EQ(list.Count(), 0u);
    RemoveHead(list);
    EXPECT_EQ(list.Count(), 0u);
}

TEST(NameLists, CreatedListsAndTheirRelease) {
    PendingNames().Append("left from before");
    CreateNameLists();
    EXPECT_EQ(PendingNames().Count(), 0u);
    ASSERT_EQ(FoundFiles().Count(), 1u);
    EXPECT_EQ(FoundFiles().Item(1), "");

    PendingNames().ReplaceWith(SplitNameList("a\r\nb"));
    FoundFiles().Append("x.txt");
    ReleaseNameLists();
    EXPECT_EQ(PendingNames().Count(), 0u);
    EXPECT_EQ(FoundFiles().Count(), 0u);
    // A worker still running after the release finds empty lists it may go on using.
    RemoveHead(PendingNames());
    EXPECT_EQ(PendingNames().Item(1), "");
}

}  // namespace
}  // namespace mojing
