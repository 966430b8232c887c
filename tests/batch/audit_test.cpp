#include "batch/audit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "batch/name_lists.h"
#include "batch/program_folder.h"
#include "platform/file_system.h"
#include "tests/support/temp_dir.h"

namespace mojing {
namespace {

using test::Gbk;
using test::ReadBytes;
using test::WriteBytes;

class Audit : public ::testing::Test {
  protected:
    void SetUp() override {
        CreateNameLists();
        SetProgramDirectory(folder.path().string());
    }
    std::string FailureList() const { return ReadBytes(folder / "【下载失败的小说】.txt"); }
    bool Exists(const char* name) const { return std::filesystem::exists(folder / name); }

    test::TempDir folder;
    test::ScopedWorkingDirectory cwd{folder.path()};
};

TEST_F(Audit, FirstAuditOfAnEmptyFolderOnlyTakesTheStartUpItem) {
    ASSERT_EQ(FoundFiles().Count(), 1u);
    AuditDownloads();
    EXPECT_EQ(FoundFiles().Count(), 0u);
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST_F(Audit, EmptyDownloadsAreDeletedAndListedInListingOrder) {
    WriteBytes(folder / "空的.txt", "");
    WriteBytes(folder / "also empty.TXT", "");
    WriteBytes(folder / "one byte.txt", "x");
    WriteBytes(folder / "empty.log", "");
    std::filesystem::create_directory(folder / "folder.txt");

    std::string expected;
    for (const auto& entry : platform::FindDirectoryEntries(folder.path().string(), "*.txt")) {
        if (entry.name == Gbk("空的.txt") || entry.name == "also empty.TXT") {
            expected += entry.name + "\r\n";
        }
    }
    AuditDownloads();

    EXPECT_EQ(FailureList(), expected);
    EXPECT_FALSE(Exists("空的.txt"));
    EXPECT_FALSE(Exists("also empty.TXT"));
    EXPECT_TRUE(Exists("one byte.txt"));
    EXPECT_TRUE(Exists("empty.log")) << "not a .txt file";
    EXPECT_TRUE(std::filesystem::is_directory(folder / "folder.txt"));
    EXPECT_EQ(FoundFiles().Count(), 0u);
}

TEST_F(Audit, ExistingFailureListOnlyGrows) {
    WriteBytes(folder / "【下载失败的小说】.txt", "old.txt\r\nno final line end");
    WriteBytes(folder / "new.txt", "");
    AuditDownloads();
    EXPECT_EQ(FailureList(), "old.txt\r\nno final line endnew.txt\r\n");
    WriteBytes(folder / "newer.txt", "");
    AuditDownloads();
    EXPECT_EQ(FailureList(), "old.txt\r\nno final line endnew.txt\r\nnewer.txt\r\n");
}

TEST_F(Audit, EmptyFailureListIsRecreatedHoldingItsOwnName) {
    WriteBytes(folder / "【下载失败的小说】.txt", "");
    AuditDownloads();
    EXPECT_EQ(FailureList(), Gbk("【下载失败的小说】.txt") + "\r\n");
}

TEST_F(Audit, UnreadableFailureListLosesTheNameButDeletesTheFile) {
    std::filesystem::create_directory(folder / "【下载失败的小说】.txt");  // cannot be opened
    WriteBytes(folder / "gone.txt", "");
    AuditDownloads();
    EXPECT_FALSE(Exists("gone.txt"));
}

TEST(FailureList, RecordFailureAppendsNameAndCrLf) {
    test::TempDir folder;
    SetProgramDirectory(folder.path().string());
    RecordFailure("a.txt");
    RecordFailure(Gbk("书.txt"));
    EXPECT_EQ(ReadBytes(folder / "【下载失败的小说】.txt"), "a.txt\r\n" + Gbk("书.txt") + "\r\n");
}

}  // namespace
}  // namespace mojing
