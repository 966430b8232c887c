#include "text/file_finder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/temp_dir.h"
#include "text/name_list.h"

namespace mojing {
namespace {

namespace fs = std::filesystem;
using test::Gbk;
using test::TempDir;
using test::WriteBytes;

// Items from position first on, sorted, since the listing order is the file system's.
std::vector<std::string> SortedItems(const NameList& list, std::size_t first = 1) {
    std::vector<std::string> items;
    for (std::size_t i = first; i <= list.Count(); ++i) items.push_back(list.Item(i));
    std::sort(items.begin(), items.end());
    return items;
}

class FileFinder : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directory(dir_ / "书库");
        WriteBytes(folder() / "b.txt", "");
        WriteBytes(folder() / fs::path(u8"斗破苍穹.txt"), "text");
        WriteBytes(folder() / "C.TXT", "");
        WriteBytes(folder() / "notes.md", "");
        fs::create_directory(folder() / "x.txt");
    }
    fs::path folder() const { return dir_ / "书库"; }
    std::string gbkFolder() const { return Gbk(folder().string()); }

    TempDir dir_;
};

TEST_F(FileFinder, ListsFilesWithOrWithoutTheFolder) {
    const std::vector<std::string> bare{"C.TXT", "b.txt", Gbk("斗破苍穹.txt")};
    const struct {
        bool finalSlash;
        bool withPath;
    } cases[] = {{false, false}, {true, false}, {false, true}, {true, true}};
    for (const auto& c : cases) {
        NameList list;
        const std::string directory = gbkFolder() + (c.finalSlash ? "/" : "");
        EXPECT_EQ(FindFiles(directory, "*.txt", list, c.withPath), 3);
        std::vector<std::string> expected;
        for (const std::string& name : bare) {
            expected.push_back(c.withPath ? gbkFolder() + "/" + name : name);
        }
        EXPECT_EQ(SortedItems(list), expected) << c.finalSlash << c.withPath;
    }
}

TEST_F(FileFinder, ListsHiddenAndReadOnlyFilesButNoFolders) {
    WriteBytes(folder() / ".dot.txt", "");
    WriteBytes(folder() / "wget.txt", "");
    ASSERT_TRUE(platform::SetHiddenMark(gbkFolder() + "/wget.txt"));
    fs::permissions(folder() / "b.txt", fs::perms::owner_read);
    NameList list;
    FindFiles(gbkFolder(), "*.TXT", list);
    EXPECT_EQ(SortedItems(list), (std::vector<std::string>{".dot.txt", "C.TXT", "b.txt", "wget.txt",
                                                           Gbk("斗破苍穹.txt")}));
}

TEST_F(FileFinder, AppendsWithoutClearingTheList) {
    NameList list;
    list.Append("");
    EXPECT_EQ(FindFiles(gbkFolder(), "*.txt", list), 4);
    EXPECT_EQ(FindFiles(gbkFolder(), "*.txt", list), 7);
    EXPECT_EQ(list.Item(1), "");
    EXPECT_EQ(SortedItems(list, 2),
              (std::vector<std::string>{"C.TXT", "C.TXT", "b.txt", "b.txt", Gbk("斗破苍穹.txt"),
                                        Gbk("斗破苍穹.txt")}));
}

TEST_F(FileFinder, NoMatchLeavesTheListAsItWas) {
    NameList list;
    list.Append("kept");
    EXPECT_EQ(FindFiles(gbkFolder(), "*.pdf", list), 1);
    EXPECT_EQ(FindFiles(gbkFolder() + "/missing", "*.txt", list), 1);
    EXPECT_EQ(list.Item(1), "kept");
}

TEST(FileFinderRoot, EmptyDirectoryMeansTheRoot) {
    std::vector<std::string> expected;
    for (const auto& entry : fs::directory_iterator("/")) {
        if (!entry.is_directory()) expected.push_back(Gbk(entry.path().string()));
    }
    std::sort(expected.begin(), expected.end());
    NameList list;
    FindFiles("", "*", list, true);
    EXPECT_EQ(SortedItems(list), expected);
}

}  // namespace
}  // namespace mojing
