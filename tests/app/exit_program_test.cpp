#include "app/exit_program.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/file_system.h"
#include "tests/support/child_process.h"
#include "tests/support/own_process_namespace.h"
#include "tests/support/temp_dir.h"

namespace mojing::test {
namespace {

struct HelperRun {
    int status = -1;
    std::string output;
};

HelperRun RunExitHelper(const std::filesystem::path& folder, const char* mode) {
    const std::string command =
        "cd '" + folder.string() + "' && timeout 60 '" MOJING_EXIT_HELPER "' " + mode + " 2>&1";
    HelperRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
    run.status = pclose(pipe);
    return run;
}

// The downloader file is a copy of /bin/sleep that runs as "wget.exe", hidden, as a batch leaves
// it while a title downloads.
TEST(ExitProgram, QuittingDeletesTheDownloaderFileAndNoAlsoEndsTheDownloader) {
    if (!InOwnProcessNamespace()) return;
    struct Case {
        const char* mode;
        bool downloaderEnded;
    } const cases[] = {{"no", true}, {"quit", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        TempDir folder;
        ScopedWorkingDirectory inFolder(folder.path());
        WriteBytes(folder / ".hidden", "notes.txt\n");
        CopyProgram("/bin/sleep", folder / "wget.exe");
        ASSERT_TRUE(platform::SetHiddenMark("wget.exe"));
        ChildProcess downloader(folder / "wget.exe", {"wget.exe", "600"});

        const HelperRun run = RunExitHelper(folder.path(), c.mode);
        ASSERT_TRUE(WIFEXITED(run.status)) << run.output;
        EXPECT_EQ(WEXITSTATUS(run.status), 0) << run.output;
        EXPECT_NE(run.output.find("name lists released"), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("the program went on"), std::string::npos) << run.output;

        EXPECT_FALSE(std::filesystem::exists(folder / "wget.exe"));
        EXPECT_EQ(ReadBytes(folder / ".hidden"), "notes.txt\n");
        siginfo_t info{};
        ASSERT_EQ(
            waitid(P_PID, static_cast<id_t>(downloader.Pid()), &info, WEXITED | WNOHANG | WNOWAIT),
            0);
        EXPECT_EQ(info.si_pid != 0, c.downloaderEnded);
        if (c.downloaderEnded) {
            EXPECT_EQ(info.si_code, CLD_KILLED);
            EXPECT_EQ(info.si_status, SIGKILL);
        }
    }
}

}  // namespace
}  // namespace mojing::test
