#include "platform/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace mojing::platform {
namespace {

using namespace std::string_literals;
using test::CopyProgram;
using test::Gbk;
using test::ReadBytes;
using test::ScopedWorkingDirectory;
using test::TempDir;
using test::WriteBytes;

std::filesystem::path WriteScript(const std::filesystem::path& file, std::string_view body) {
    WriteBytes(file, "#!/bin/sh\n" + std::string(body) + "\n");
    std::filesystem::permissions(file, std::filesystem::perms::owner_all);
    return file;
}

std::filesystem::path OwnFolder() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

// A file of ours beside the test executable, removed at the end of the scope.
struct FileBesideUs {
    explicit FileBesideUs(std::string_view name)
        : path(OwnFolder() / (std::string(name) + "-" + std::to_string(getpid()) + ".exe")) {}
    ~FileBesideUs() {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
    std::filesystem::path path;
};

class Process : public ::testing::Test {
  protected:
    TempDir work;
    TempDir onPath1;
    TempDir onPath2;
    ScopedWorkingDirectory inWork{work.path()};

    void SetUp() override {
        const std::string path =
            onPath1.path().string() + "::" + onPath2.path().string() + ":/usr/bin:/bin";
        ASSERT_EQ(setenv("PATH", path.c_str(), 1), 0);
    }
};

TEST_F(Process, FindsAProgramInItsOwnFolderThenTheWorkingFolderThenPath) {
    FileBesideUs beside("find-order");
    const std::string name = beside.path.filename().string();
    CopyProgram("/bin/true", onPath2.path() / name);
    EXPECT_EQ(FindProgram(name), (onPath2.path() / name).string());
    CopyProgram("/bin/true", onPath1.path() / name);
    EXPECT_EQ(FindProgram(name), (onPath1.path() / name).string());
    CopyProgram("/bin/true", work.path() / name);
    EXPECT_EQ(FindProgram(name), (work.path() / name).string());
    CopyProgram("/bin/true", beside.path);
    EXPECT_EQ(FindProgram(name), beside.path.string());
}

TEST_F(Process, PassesOverWhatIsNoRunnableFileOfThatName) {
    std::filesystem::create_directory(work.path() / "x.exe");
    WriteBytes(onPath1.path() / "x.exe", "not runnable");
    CopyProgram("/bin/true", onPath2.path() / "X.EXE");
    EXPECT_EQ(FindProgram("x.exe"), "");

    CopyProgram("/bin/true", onPath2.path() / "x.exe");
    EXPECT_EQ(FindProgram("x.exe"), (onPath2.path() / "x.exe").string());
    EXPECT_EQ(FindProgram(""), "");
    EXPECT_EQ(FindProgram("nowhere.exe"), "");
}

TEST_F(Process, FindsGbkNamesAndAnswersInGbk) {
    CopyProgram("/bin/true", work / "下载.exe");
    EXPECT_EQ(FindProgram(Gbk("下载.exe")), work.path().string() + "/" + Gbk("下载.exe"));
}

TEST_F(Process, RunsTheProgramFoundAndWaitsForItsEnd) {
    WriteScript(onPath1.path() / "late.exe", "sleep 1\necho done > finished");
    ASSERT_TRUE(RunProcessAndWait({"late.exe"}));
    EXPECT_EQ(ReadBytes(work / "finished"), "done\n");
}

TEST_F(Process, PassesEveryArgumentIntactAsUtf8) {
    WriteScript(work / "args.exe", "for a in \"$@\"; do printf '%s|' \"$a\"; done > arguments");
    const std::vector<std::string> arguments{"args.exe",
                                             "-N",
                                             "two words",
                                             "\"quoted\"",
                                             "it's",
                                             "",
                                             "$HOME",
                                             "*",
                                             "a\\b",
                                             Gbk("小说 名\"甲\".txt"),
                                             "http://127.0.0.1:1/packdown/fulltxt/1/2.txt"};

    ASSERT_TRUE(RunProcessAndWait(arguments));

    EXPECT_EQ(ReadBytes(work / "arguments"),
              "-N|two words|\"quoted\"|it's||$HOME|*|a\\b|小说 名\"甲\".txt|"
              "http://127.0.0.1:1/packdown/fulltxt/1/2.txt|");
}

TEST_F(Process, GivesTheProgramItsNameAsFirstArgument) {
    CopyProgram("/bin/sh", work / "shell.exe");
    // The shell forks for cat, so the command line read is the shell's own.
    ASSERT_TRUE(RunProcessAndWait({"shell.exe", "-c", "cat /proc/$$/cmdline > line; true"}));
    EXPECT_EQ(ReadBytes(work / "line"), "shell.exe\0-c\0cat /proc/$$/cmdline > line; true\0"s);
}

TEST_F(Process, SharesOurEnvironmentAndWorkingFolder) {
    ASSERT_EQ(setenv("MOJING_PROCESS_TEST", "from the parent", 1), 0);
    WriteScript(onPath2.path() / "where.exe",
                "pwd > where; echo \"$MOJING_PROCESS_TEST\" >> where");
    ASSERT_TRUE(RunProcessAndWait({"where.exe"}));
    EXPECT_EQ(ReadBytes(work / "where"), work.path().string() + "\nfrom the parent\n");
}

TEST_F(Process, SendsTheProgramsOutputToOurStandardErrorAndHandsDownNothingElse) {
    const int savedOut = dup(STDOUT_FILENO);
    const int savedErr = dup(STDERR_FILENO);
    const int out = open((work / "our-out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open((work / "our-err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(out, 0);
    ASSERT_GE(err, 0);
    // A descriptor of ours that is not marked close-on-exec.
    const int leaked = dup2(out, 50);
    ASSERT_EQ(leaked, 50);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    WriteScript(work / "talk.exe",
                "echo to-out; echo to-err >&2\n"
                "for n in \"$@\"; do [ -e /proc/$$/fd/$n ] && echo $n; done > inherited; true");

    const bool ran =
        RunProcessAndWait({"talk.exe", std::to_string(savedOut), std::to_string(savedErr),
                           std::to_string(out), std::to_string(err), std::to_string(leaked)});

    dup2(savedOut, STDOUT_FILENO);
    dup2(savedErr, STDERR_FILENO);
    for (int fd : {savedOut, savedErr, out, err, leaked}) close(fd);
    ASSERT_TRUE(ran);
    EXPECT_EQ(ReadBytes(work / "our-out"), "");
    EXPECT_EQ(ReadBytes(work / "our-err"), "to-out\nto-err\n");
    EXPECT_EQ(ReadBytes(work / "inherited"), "");
}

TEST_F(Process, FalseWhenNothingCanBeStarted) {
    WriteBytes(work / "plain.exe", "not a program");
    std::filesystem::permissions(work / "plain.exe", std::filesystem::perms::owner_all);
    EXPECT_FALSE(RunProcessAndWait({}));
    EXPECT_FALSE(RunProcessAndWait({"missing.exe", "-N"}));
    EXPECT_FALSE(RunProcessAndWait({"plain.exe"}));
    EXPECT_FALSE(RunProcessAndWait({""}));
}

}  // namespace
}  // namespace mojing::platform
