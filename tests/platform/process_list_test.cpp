#include "platform/process_list.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace mojing::platform {
namespace {

using test::ChildProcess;
using test::CopyProgram;
using test::Gbk;
using test::TempDir;

std::vector<ProcessEntry> Entries() {
    std::vector<ProcessEntry> entries;
    auto snapshot = ProcessSnapshot::Take();
    if (snapshot == nullptr) return entries;
    for (ProcessEntry entry; snapshot->Next(entry);) entries.push_back(entry);
    return entries;
}

std::string NameOf(std::uint32_t processId) {
    for (const ProcessEntry& entry : Entries()) {
        if (entry.processId == processId) return entry.exeFile;
    }
    return "(not listed)";
}

bool IsAlive(pid_t pid) {
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
}

TEST(ProcessList, ListsEveryProcessInAscendingIdWithItsExecutablesName) {
    const std::vector<ProcessEntry> entries = Entries();
    ASSERT_GT(entries.size(), 1u);
    for (std::size_t i = 1; i < entries.size(); ++i) {
        EXPECT_LT(entries[i - 1].processId, entries[i].processId);
    }
    EXPECT_EQ(NameOf(CurrentProcessId()),
              std::filesystem::read_symlink("/proc/self/exe").filename().string());
    EXPECT_EQ(CurrentProcessId(), static_cast<std::uint32_t>(getpid()));
}

TEST(ProcessList, NamesAreWholeGbkFileNames) {
    TempDir folder;
    // Longer than the 15 bytes the kernel keeps as a process's short name.
    const auto longName = CopyProgram("/bin/sleep", folder / "a-rather-long-downloader-name.exe");
    const auto chinese = CopyProgram("/bin/sleep", folder / "下载器.exe");
    const auto removed = CopyProgram("/bin/sleep", folder / "removed.exe");
    ChildProcess first(longName, {"x", "60"});
    ChildProcess second(chinese, {"x", "60"});
    ChildProcess third(removed, {"x", "60"});
    std::filesystem::remove(removed);

    EXPECT_EQ(NameOf(first.Pid()), "a-rather-long-downloader-name.exe");
    EXPECT_EQ(NameOf(second.Pid()), Gbk("下载器.exe"));
    EXPECT_EQ(NameOf(third.Pid()), "removed.exe");
}

TEST(ProcessList, ASnapshotIsTheListAtThatMoment) {
    TempDir folder;
    const auto program = CopyProgram("/bin/sleep", folder / "later.exe");
    auto snapshot = ProcessSnapshot::Take();
    ASSERT_NE(snapshot, nullptr);
    ChildProcess child(program, {"later.exe", "60"});

    bool listed = false;
    for (ProcessEntry entry; snapshot->Next(entry);)
        listed |= entry.processId == static_cast<std::uint32_t>(child.Pid());
    EXPECT_FALSE(listed);
    EXPECT_EQ(NameOf(child.Pid()), "later.exe");
}

TEST(ProcessList, TerminatingARunningChildKillsIt) {
    ChildProcess child("/bin/sleep", {"sleep", "60"});
    EXPECT_TRUE(TerminateProcess(static_cast<std::uint32_t>(child.Pid())));
    const int status = child.Reap();
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);
}

TEST(ProcessList, NothingToTerminateGivesFalse) {
    EXPECT_FALSE(TerminateProcess(0));

    ChildProcess ended("/bin/true", {"true"});
    ended.WaitUntilEnded();
    EXPECT_FALSE(TerminateProcess(static_cast<std::uint32_t>(ended.Pid()))) << "unreaped";
    const pid_t gone = ended.Pid();
    ended.Reap();
    EXPECT_FALSE(TerminateProcess(static_cast<std::uint32_t>(gone))) << "reaped";
}

TEST(ProcessList, IdsBeyondTheProcessRangeSignalNoGroup) {
    // The child leads a process group of its own; the ID that reads as minus its group must not
    // reach it.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setpgid(0, 0);
        pause();
        _exit(0);
    }
    setpgid(child, child);
    EXPECT_FALSE(TerminateProcess(static_cast<std::uint32_t>(-child)));
    EXPECT_TRUE(IsAlive(child));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

TEST(ProcessList, ExitProcessEndsAtOnceWithTheCode) {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        static int writeEnd = pipeFds[1];
        std::atexit([] { (void)!write(writeEnd, "x", 1); });
        ExitProcess(7);
    }
    close(pipeFds[1]);
    int status = 0;
    waitpid(child, &status, 0);
    char byte = 0;
    EXPECT_EQ(read(pipeFds[0], &byte, 1), 0) << "an exit handler ran";
    close(pipeFds[0]);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 7);
}

}  // namespace
}  // namespace mojing::platform
