#include "app/process_utilities.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace mojing {
namespace {

using namespace std::string_literals;
using test::ChildProcess;
using test::CopyProgram;
using test::Gbk;
using test::TempDir;

std::uint32_t Id(const ChildProcess& child) { return static_cast<std::uint32_t>(child.Pid()); }

// Copies of /bin/sleep run under downloader-like names. The names carry our process ID, since
// other programs on the machine may well be running a "wget.exe" of their own.
class ProcessUtilities : public ::testing::Test {
  protected:
    std::string Named(std::string_view stem, std::string_view extension = ".exe") const {
        return std::string(stem) + "-" + std::to_string(getpid()) + std::string(extension);
    }

    std::unique_ptr<ChildProcess> Start(const TempDir& folder, const std::string& utf8Name) {
        const auto program = CopyProgram("/bin/sleep", folder / utf8Name);
        return std::make_unique<ChildProcess>(program, std::vector<std::string>{utf8Name, "60"});
    }

    TempDir first;
    TempDir second;
};

TEST_F(ProcessUtilities, FindsTheFirstOfTwoInSnapshotOrder) {
    const std::string name = Named("wget");
    auto one = Start(first, name);
    auto other = Start(second, name);
    const std::uint32_t lower = std::min(Id(*one), Id(*other));

    EXPECT_EQ(FindProcessId(name), lower);
    EXPECT_EQ(FindProcessId(name, true), lower);
}

TEST_F(ProcessUtilities, LetterCaseCountsOnlyWhenAskedTo) {
    auto upper = Start(first, Named("WGET", ".EXE"));

    EXPECT_EQ(FindProcessId(Named("wget")), Id(*upper));
    EXPECT_EQ(FindProcessId(Named("Wget", ".Exe")), Id(*upper));
    EXPECT_EQ(FindProcessId(Named("wget"), true), 0u);
    EXPECT_EQ(FindProcessId(Named("WGET", ".EXE"), true), Id(*upper));
}

TEST_F(ProcessUtilities, ComparesNamesWhole) {
    const std::string name = Named("wget");
    auto withExtension = Start(first, name);
    auto without = Start(second, Named("wget", ""));

    EXPECT_EQ(FindProcessId(name), Id(*withExtension));
    EXPECT_EQ(FindProcessId(Named("wget", "")), Id(*without));
    for (const std::string& miss :
         {(first.path() / name).string(), "./" + name, name.substr(0, name.size() - 1), " " + name,
          name + " ", name + ".exe", std::string()}) {
        EXPECT_EQ(FindProcessId(miss), 0u) << '"' << miss << '"';
    }
    // Like any text, the name ends at its first zero byte.
    EXPECT_EQ(FindProcessId(name + "\0.old"s), Id(*withExtension));
    EXPECT_EQ(FindProcessId("\0"s + name), 0u);
}

TEST_F(ProcessUtilities, KeepsTheSecondByteOfADoubleByteCharacter) {
    // 丄 is 81 41 and 乤 is 81 61: the second bytes differ like 'A' and 'a'.
    auto child = Start(first, Named("丄"));

    EXPECT_EQ(FindProcessId(Gbk(Named("丄", ".EXE"))), Id(*child));
    EXPECT_EQ(FindProcessId(Gbk(Named("乤"))), 0u);
    EXPECT_EQ(FindProcessId(Gbk(Named("丄")), true), Id(*child));
}

TEST(LowerCaseAnsi, ChangesOnlyAsciiLettersOutsideDoubleByteCharacters) {
    const struct {
        std::string text;
        std::string lower;
    } cases[] = {
        {"WGET.EXE", "wget.exe"},
        {"AZaz@[`{09", "azaz@[`{09"},
        {"\x81\x41"
         "A",
         "\x81\x41"
         "a"},
        {"A\xB6\x5A\x5A", "a\xB6\x5A\x7A"},
        {"\x81\x81"
         "B",
         "\x81\x81"
         "b"},
        {"Z\x81", "z\x81"},
        {"", ""},
    };
    for (const auto& [text, lower] : cases) EXPECT_EQ(LowerCaseAnsi(text), lower) << text;
}

TEST_F(ProcessUtilities, TerminatesARunningProcess) {
    auto child = Start(first, Named("wget"));
    const std::uint32_t found = FindProcessId(Named("wget"));
    ASSERT_EQ(found, Id(*child));

    EXPECT_TRUE(TerminateProcessById(found));
    const int status = child->Reap();
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);
    EXPECT_EQ(FindProcessId(Named("wget")), 0u);
}

TEST(TerminateProcessById, FalseWhenThereIsNothingToEnd) {
    EXPECT_FALSE(TerminateProcessById(0u));

    ChildProcess ended("/bin/true", {"true"});
    const std::uint32_t id = static_cast<std::uint32_t>(ended.Pid());
    ended.Reap();
    EXPECT_FALSE(TerminateProcessById(id));
}

TEST(TerminateProcessByIdDeathTest, EndsTheOwnProcessWithTheCodeZero) {
    EXPECT_EXIT(TerminateProcessById(), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(TerminateProcessById(static_cast<std::uint32_t>(getpid())),
                ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace mojing
