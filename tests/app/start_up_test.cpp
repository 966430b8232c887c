#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "app/display_check.h"
#include "app/exit_program.h"
#include "app/start_up.h"
#include "batch/name_lists.h"
#include "batch/program_folder.h"
#include "platform/file_system.h"
#include "tests/app/test_window.h"
#include "tests/support/temp_dir.h"

namespace mojing::test {
namespace {

void SayReleased() {
    ReleaseNameLists();
    std::fputs("exit routine ran\n", stderr);
}

TEST(ExitProgram, RunsTheExitRoutineThenEndsWithTheCode) {
    EXPECT_EXIT(
        {
            CreateNameLists();
            RegisterExitRoutine(&SayReleased);
            ExitProgram(3);
        },
        ::testing::ExitedWithCode(3), "exit routine ran");
}

TEST(StartUp, ProgramFolderIsTheExecutablesFolder) {
    TempDir elsewhere;
    ScopedWorkingDirectory inElsewhere(elsewhere.path());
    SetUpProgramFolder();
    const std::string folder =
        std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
    EXPECT_EQ(platform::GetCurrentDirectory(), folder);
    EXPECT_EQ(ProgramDirectory(), folder);
}

// A listening socket where a Wayland compositor would have its own.
class UnixSocket {
  public:
    explicit UnixSocket(const std::filesystem::path& path) : fd_(socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.string().copy(address.sun_path, sizeof address.sun_path - 1);
        bound_ = fd_ >= 0 &&
                 bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                 listen(fd_, 1) == 0;
    }
    ~UnixSocket() {
        if (fd_ >= 0) close(fd_);
    }
    bool bound() const { return bound_; }

  private:
    int fd_;
    bool bound_ = false;
};

void SetOrUnset(const char* name, const char* value) {
    if (value == nullptr) {
        unsetenv(name);
    } else {
        setenv(name, value, 1);
    }
}

TEST(WindowSystemProblem, ToldFromTheEnvironmentAndTheServers) {
    TempDir runtime;
    UnixSocket compositor(runtime / "wayland-7");
    ASSERT_TRUE(compositor.bound());
    setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    struct Case {
        const char* platform;
        const char* display;
        const char* waylandDisplay;
        const char* sessionType;
        const char* problem;  // a piece of the report; nullptr: no problem
    } const cases[] = {
        {nullptr, nullptr, nullptr, nullptr, "DISPLAY is not set"},
        {nullptr, "", nullptr, "x11", "DISPLAY is not set"},
        {nullptr, ":4321", nullptr, nullptr, "\":4321\" cannot be opened"},
        {"xcb", nullptr, "wayland-7", nullptr, "DISPLAY is not set"},
        {"xcb:nograb", nullptr, nullptr, nullptr, "DISPLAY is not set"},
        {nullptr, nullptr, "wayland-7", nullptr, nullptr},
        {nullptr, nullptr, nullptr, "wayland", "no Wayland display at"},
        {"wayland", nullptr, "wayland-8", nullptr, "no Wayland display at"},
        {"wayland-egl", nullptr, "wayland-7", nullptr, nullptr},
        {"wayland;xcb", nullptr, nullptr, nullptr, "DISPLAY is not set"},
        {"offscreen", nullptr, nullptr, nullptr, nullptr},
        {"xcb;offscreen", nullptr, nullptr, nullptr, nullptr},
        {";", nullptr, nullptr, nullptr, "names no platform plugin"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.platform ? c.platform : "-") + " " +
                     (c.display ? c.display : "-") + " " +
                     (c.waylandDisplay ? c.waylandDisplay : "-") + " " +
                     (c.sessionType ? c.sessionType : "-"));
        SetOrUnset("QT_QPA_PLATFORM", c.platform);
        SetOrUnset("DISPLAY", c.display);
        SetOrUnset("WAYLAND_DISPLAY", c.waylandDisplay);
        SetOrUnset("XDG_SESSION_TYPE", c.sessionType);
        const std::string problem = WindowSystemProblem();
        if (c.problem == nullptr) {
            EXPECT_EQ(problem, "");
        } else {
            EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
        }
    }
}

// A real X server, Xvfb, on a display number it picks itself.
class VirtualXServer {
  public:
    VirtualXServer() {
        int pipeFds[2];
        if (pipe(pipeFds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(pipeFds[0]);
            const std::string fd = std::to_string(pipeFds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0",
                   "800x600x24", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(pipeFds[1]);
        char number[32] = {};
        std::size_t got = 0;
        while (got < sizeof number - 1) {
            const ssize_t n = read(pipeFds[0], number + got, sizeof number - 1 - got);
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
            if (number[got - 1] == '\n') break;
        }
        close(pipeFds[0]);
        if (got > 0 && number[got - 1] == '\n') display_ = ":" + std::string(number, got - 1);
    }
    ~VirtualXServer() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::optional<std::string>& display() const { return display_; }

  private:
    pid_t pid_ = -1;
    std::optional<std::string> display_;
};

TEST(WindowSystemProblem, NoneWithARunningXServer) {
    VirtualXServer server;
    if (!server.display()) GTEST_SKIP() << "Xvfb could not be started";
    unsetenv("QT_QPA_PLATFORM");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("XDG_SESSION_TYPE");
    setenv("DISPLAY", server.display()->c_str(), 1);
    EXPECT_EQ(WindowSystemProblem(), "");
}

struct ProgramRun {
    int status = -1;
    std::string output;
};

// Runs the real program with the window-system variables given and every other one of them unset.
ProgramRun RunProgram(const std::string& assignments) {
    const std::string command =
        "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_SESSION_TYPE " + assignments +
        " timeout 60 '" MOJING_PROGRAM "' 2>&1";
    ProgramRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
    run.status = pclose(pipe);
    return run;
}

TEST(StartUp, ProgramWithoutADisplayEndsWithCodeMinusOneAndSaysWhy) {
    TempDir runtime;
    const std::string runtimeDir = "XDG_RUNTIME_DIR='" + runtime.path().string() + "'";
    struct Case {
        std::string assignments;
        const char* reason;
    } const cases[] = {
        {"", "DISPLAY is not set"},
        {"DISPLAY=:4321", "\":4321\" cannot be opened"},
        {"QT_QPA_PLATFORM=wayland " + runtimeDir, "no Wayland display"},
        // Qt itself gives up here: it finds no such plugin.
        {"QT_QPA_PLATFORM=no-such-platform", "no-such-platform"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.assignments);
        const ProgramRun run = RunProgram(c.assignments);
        ASSERT_TRUE(WIFEXITED(run.status)) << run.output;
        EXPECT_EQ(WEXITSTATUS(run.status), 255) << run.output;
        EXPECT_NE(run.output.find("墨鲸书匣: the main window cannot be created"), std::string::npos)
            << run.output;
        EXPECT_NE(run.output.find(c.reason), std::string::npos) << run.output;
    }
}

}  // namespace
}  // namespace mojing::test
