// The demo in the window: the real executable on a virtual X server, its buttons clicked with
// xdotool, the books arriving from the sample site inside it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <thread>

#include "tests/support/temp_dir.h"

namespace mojing::test {
namespace {

namespace fs = std::filesystem;

// A child process that is killed and reaped at the end of the scope.
class Child {
  public:
    template <typename Setup>
    explicit Child(Setup setup) : pid_(fork()) {
        if (pid_ == 0) {
            setup();
            _exit(127);
        }
    }
    ~Child() {
        if (pid_ > 0 && !ended_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    bool Running() {
        if (pid_ > 0 && !ended_ && waitpid(pid_, nullptr, WNOHANG) != 0) ended_ = true;
        return pid_ > 0 && !ended_;
    }

  private:
    pid_t pid_;
    bool ended_ = false;
};

// Xvfb on a display number of its choosing, told through a pipe.
std::optional<std::string> StartXvfb(std::optional<Child>& server) {
    int fds[2];
    if (pipe(fds) != 0) return std::nullopt;
    server.emplace([&] {
        close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0",
               "800x600x24", static_cast<char*>(nullptr));
    });
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) return std::nullopt;
    return ":" + number;
}

std::string Output(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    char buffer[256];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    pclose(pipe);
    return output;
}

// Waits, up to a generous limit in tenths of a second, until the file is there.
bool WaitForFile(const fs::path& file, Child& program, int tenths = 600) {
    for (int i = 0; i < tenths; ++i) {
        if (fs::exists(file)) return true;
        if (!program.Running()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

struct Button {
    const char* name;
    int x, y;  // the middle of the button, in the window
    friend void PrintTo(const Button& button, std::ostream* out) { *out << button.name; }
};

// A run uses the list up, so each button gets a program of its own.
class DemoWindow : public ::testing::TestWithParam<Button> {};

TEST_P(DemoWindow, ButtonFetchesTheDemoBooksIntoTheDemoFolder) {
    std::optional<Child> server;
    const std::optional<std::string> display = StartXvfb(server);
    ASSERT_TRUE(display) << "Xvfb could not be started";
    TempDir cache;
    TempDir logs;
    setenv("DISPLAY", display->c_str(), 1);
    setenv("XDG_CACHE_HOME", cache.path().c_str(), 1);
    unsetenv("QT_QPA_PLATFORM");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("XDG_SESSION_TYPE");
    unsetenv("http_proxy");
    const fs::path log = logs / "program.log";
    Child program([&] {
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || dup2(out, 1) < 0 || dup2(out, 2) < 0) return;
        execl(MOJING_PROGRAM, MOJING_PROGRAM, "--demo", static_cast<char*>(nullptr));
    });

    // xdotool gives up at once, rather than waiting, while the display refuses connections.
    std::string window;
    for (int attempt = 0; attempt < 10 && window.empty(); ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(std::chrono::seconds(1));
        window = Output(
            "timeout 60 xdotool search --sync --onlyvisible --name '^墨鲸书匣$' | head -n 1");
    }
    ASSERT_FALSE(window.empty()) << ReadBytes(log);
    window.pop_back();
    const Button button = GetParam();
    Output("xdotool mousemove --window " + window + " " + std::to_string(button.x) + " " +
           std::to_string(button.y) + " click 1");

    // The audit writes the failure list once the last title is done.
    const fs::path demo = cache / "mojing-shuxia/demo";
    ASSERT_TRUE(WaitForFile(demo / "【下载失败的小说】.txt", program)) << ReadBytes(log);
    for (const char* title : {"墨海听潮", "青灯夜读", "云岭书声", "北窗寒梅"}) {
        const fs::path book = demo / (std::string(title) + ".txt");
        ASSERT_TRUE(fs::exists(book)) << title << "\n" << ReadBytes(log);
        EXPECT_TRUE(ReadBytes(book).starts_with(Gbk(title) + "\r\n")) << title;
    }
    EXPECT_EQ(ReadBytes(demo / "【下载失败的小说】.txt"), Gbk("无名残卷.txt\r\n"));
}

// 按钮2 downloads through 编辑框3, which the demo points at its own site.
INSTANTIATE_TEST_SUITE_P(Buttons, DemoWindow,
                         ::testing::Values(Button{"Normal", 104, 345}, Button{"Proxy", 311, 345}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mojing::test
