// The real program on a virtual X server (Xvfb) with a tray host (trayer), driven with xdotool as
// a user would drive it. There is no window manager: trayer needs none, and without one nothing
// moves, frames or focuses windows behind the test's back.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/own_process_namespace.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_site.h"
#include "text/percent_encode.h"

extern char** environ;

namespace mojing::test {
namespace {

using namespace std::chrono_literals;

// A guard against hanging, not a measure: every step normally takes well under a second.
constexpr auto kPatience = 20s;

bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds patience = kPatience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

struct Output {
    int status = -1;
    std::string text;
};

// A command line for sh, run with a time limit; its standard output.
Output Sh(const std::string& command) {
    Output out;
    FILE* pipe = popen(("timeout -k 2 20 " + command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.text.append(buffer, n);
    out.status = pclose(pipe);
    return out;
}

bool Succeeds(const std::string& command) { return Sh(command).status == 0; }

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

// Xvfb on a display number it picks itself, and trayer on it; both end with the scope.
class Desktop {
  public:
    Desktop() {
        int fds[2];
        if (pipe(fds) != 0) return;
        const std::string fd = std::to_string(fds[1]);
        std::vector<std::string> arguments = {"Xvfb",      "-displayfd", fd,  "-nolisten",
                                              "tcp",       "-screen",    "0", "800x600x24",
                                              "-nocursor", "-noreset"};
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        const int error = posix_spawnp(&server_, "Xvfb", &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (error != 0) {
            server_ = -1;
            close(fds[0]);
            return;
        }
        std::string number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (number.empty()) return;
        display_ = ":" + number;
        setenv("DISPLAY", display_.c_str(), 1);

        tray_ = std::make_unique<ChildProcess>("/usr/bin/env",
                                               std::vector<std::string>{"env", "trayer"});
        trayReady_ =
            WaitFor([] { return Succeeds("xdotool search --onlyvisible --class '^trayer$'"); });
    }
    ~Desktop() {
        tray_.reset();
        if (server_ <= 0) return;
        // Asked politely, the server removes its lock file and socket.
        kill(server_, SIGTERM);
        if (!WaitFor([this] { return waitpid(server_, nullptr, WNOHANG) == server_; }, 5s)) {
            kill(server_, SIGKILL);
            waitpid(server_, nullptr, 0);
        }
    }
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    bool Ready() const { return !display_.empty() && trayReady_; }

  private:
    pid_t server_ = -1;
    std::string display_;
    std::unique_ptr<ChildProcess> tray_;
    bool trayReady_ = false;
};

bool Viewable(const std::string& window) {
    return Sh("xwininfo -id " + window).text.find("Map State: IsViewable") != std::string::npos;
}

// The program's windows inside another window: its tray icons, docked in trayer's panel.
std::vector<std::string> TrayIcons() {
    std::vector<std::string> icons;
    std::istringstream lines(Sh("xwininfo -root -tree").text);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t start = line.find("0x");
        // The root's own children stand 5 blanks in.
        if (start == std::string::npos || start <= 5) continue;
        if (line.find("(\"mojing-shuxia\"") == std::string::npos) continue;
        icons.push_back(line.substr(start, line.find(' ', start) - start));
    }
    return icons;
}

std::optional<std::string> FindVisible(const std::string& criteria) {
    std::optional<std::string> found;
    WaitFor([&] {
        const std::vector<std::string> ids =
            Words(Sh("xdotool search --onlyvisible --maxdepth 1 " + criteria).text);
        if (!ids.empty()) found = ids.front();
        return found.has_value();
    });
    return found;
}

// Answers the close question from the keyboard: y for Yes, n for No.
void AnswerCloseQuestion(const char* key) {
    const std::optional<std::string> box = FindVisible("--name '^提示$'");
    ASSERT_TRUE(box) << "the close question never showed";
    ASSERT_TRUE(Succeeds("xdotool windowfocus --sync " + *box + " key " + key));
}

void AskToClose(const std::string& window) {
    ASSERT_TRUE(Succeeds("xdotool windowfocus --sync " + window + " key Escape"));
}

// The exit status once the program has ended, or nothing after the patience runs out.
std::optional<int> WaitForEnd(ChildProcess& program) {
    siginfo_t info{};
    const bool ended = WaitFor([&] {
        info = {};
        return waitid(P_PID, static_cast<id_t>(program.Pid()), &info,
                      WEXITED | WNOHANG | WNOWAIT) == 0 &&
               info.si_pid != 0;
    });
    if (!ended) return std::nullopt;
    return program.Reap();
}

// The IDs of running processes named name; in a namespace of our own, only ours.
std::vector<pid_t> ProcessesNamed(const std::string& name) {
    std::vector<pid_t> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string id = entry.path().filename().string();
        if (id.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream comm(entry.path() / "comm");
        std::string line;
        if (std::getline(comm, line) && line == name) found.push_back(std::stoi(id));
    }
    return found;
}

class TrayEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        inner_ = InOwnProcessNamespace();
        if (!inner_) return;
        for (const char* tool : {"Xvfb", "trayer", "xdotool", "xwininfo"}) {
            ASSERT_TRUE(Succeeds(std::string("which ") + tool))
                << tool << " is missing; scripts/setup.sh installs it";
        }
        for (const char* variable : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE",
                                     "DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER", "http_proxy"}) {
            unsetenv(variable);
        }
        chmod(runtime_.path().c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1);
        desktop_ = std::make_unique<Desktop>();
        ASSERT_TRUE(desktop_->Ready()) << "Xvfb or trayer did not come up";
        // The program works in the folder it lies in.
        CopyProgram(MOJING_PROGRAM, folder_ / "mojing-shuxia");
    }

    void StartProgram() {
        program_ = std::make_unique<ChildProcess>(folder_ / "mojing-shuxia",
                                                  std::vector<std::string>{"mojing-shuxia"});
        const std::optional<std::string> window = FindVisible("--name '^墨鲸书匣$'");
        ASSERT_TRUE(window) << "the main window never showed";
        window_ = *window;
    }

    // Only the run in a namespace of its own drives the program; the outer one waits for it.
    bool inner_ = false;
    TempDir runtime_;
    TempDir folder_;
    std::unique_ptr<Desktop> desktop_;
    std::unique_ptr<ChildProcess> program_;
    std::string window_;
};

TEST_F(TrayEndToEnd, HideToTrayComeBackAndQuitFromTheMenu) {
    if (!inner_) return;
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    EXPECT_TRUE(TrayIcons().empty());

    ASSERT_NO_FATAL_FAILURE(AskToClose(window_));
    ASSERT_NO_FATAL_FAILURE(AnswerCloseQuestion("y"));
    ASSERT_TRUE(WaitFor([&] { return !Viewable(window_); })) << "the window stayed mapped";
    ASSERT_TRUE(WaitFor([] { return TrayIcons().size() == 1; })) << "no icon in the tray";

    const std::string icon = TrayIcons().front();
    ASSERT_TRUE(Succeeds("xdotool mousemove --window " + icon + " 5 5 click 1"));
    ASSERT_TRUE(WaitFor([&] { return Viewable(window_); })) << "a left click did not show it";
    EXPECT_EQ(TrayIcons().size(), 1u);

    ASSERT_NO_FATAL_FAILURE(AskToClose(window_));
    ASSERT_NO_FATAL_FAILURE(AnswerCloseQuestion("y"));
    ASSERT_TRUE(WaitFor([&] { return !Viewable(window_); }));
    // Give a second icon the time the first one took to dock.
    std::this_thread::sleep_for(500ms);
    ASSERT_EQ(TrayIcons().size(), 1u);

    ASSERT_TRUE(Succeeds("xdotool mousemove --window " + TrayIcons().front() + " 5 5 click 3"));
    const std::optional<std::string> menu = FindVisible("--classname '^mojing-shuxia$'");
    ASSERT_TRUE(menu) << "a right click opened no menu";
    const std::vector<std::string> mouse = Words(Sh("xdotool getmouselocation --shell").text);
    const std::vector<std::string> place =
        Words(Sh("xdotool getwindowgeometry --shell " + *menu).text);
    ASSERT_GE(mouse.size(), 1u);
    ASSERT_GE(place.size(), 2u);
    EXPECT_EQ(std::stoi(place[1].substr(2)), std::stoi(mouse[0].substr(2)) + 3)
        << "the menu's left edge is not 3 px right of the mouse";

    // Up from no item reaches the last one, 退出; the menu holds the keyboard.
    ASSERT_TRUE(Succeeds("xdotool key Up Return"));
    const std::optional<int> status = WaitForEnd(*program_);
    ASSERT_TRUE(status) << "退出 did not end the program";
    ASSERT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 0);
}

TEST_F(TrayEndToEnd, NoDuringADownloadEndsTheDownloaderThenTheProgram) {
    if (!inner_) return;
    TestSite site;
    setenv("MOJING_SEARCH_HOST", site.Host().c_str(), 1);
    setenv("MOJING_NOVEL_SITE_HOST", "www.bixia.example", 1);
    setenv("MOJING_DOWNLOAD_HOST", site.Host().c_str(), 1);
    site.SetResultPage(PercentEncode(Gbk("吞噬星空")),
                       "<p class=\"res-linkinfo\"><cite>www.bixia.example/text/7.html</cite></p>");
    // Long enough that only ending the downloader stops it.
    site.SetSlowBook("7", std::string(4000, 'x'), 600s);
    WriteBytes(folder_ / "小说名.txt", Gbk("吞噬星空\r\n"));

    ASSERT_NO_FATAL_FAILURE(StartProgram());
    // 按钮1, 普通批量下载, at (52, 328) and 104 × 35 in the window; no frame without a manager.
    ASSERT_TRUE(Succeeds("xdotool mousemove --window " + window_ + " 104 345 click 1"));
    std::vector<pid_t> downloaders;
    ASSERT_TRUE(WaitFor([&] {
        downloaders = ProcessesNamed("wget.exe");
        std::error_code error;
        return downloaders.size() == 1 &&
               std::filesystem::file_size(folder_ / "吞噬星空.txt", error) > 0 && !error;
    })) << "the download never started";

    ASSERT_NO_FATAL_FAILURE(AskToClose(window_));
    ASSERT_NO_FATAL_FAILURE(AnswerCloseQuestion("n"));
    const std::optional<int> status = WaitForEnd(*program_);
    ASSERT_TRUE(status) << "No did not end the program";
    ASSERT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 0);

    // The downloader was ended, not left behind: either the program reaped it before it ended,
    // or it came to us, the namespace's first process, already killed.
    const pid_t downloader = downloaders.front();
    int downloaderStatus = 0;
    const pid_t reaped = waitpid(downloader, &downloaderStatus, WNOHANG);
    if (reaped == downloader) {
        EXPECT_TRUE(WIFSIGNALED(downloaderStatus) && WTERMSIG(downloaderStatus) == SIGKILL)
            << "wait status " << downloaderStatus;
    } else {
        EXPECT_EQ(reaped, -1) << "the downloader is still running";
        EXPECT_FALSE(std::filesystem::exists("/proc/" + std::to_string(downloader)));
    }
    EXPECT_TRUE(ProcessesNamed("wget.exe").empty());
    EXPECT_LT(std::filesystem::file_size(folder_ / "吞噬星空.txt"), 4000u);
    EXPECT_FALSE(std::filesystem::exists(folder_ / "wget.exe"));
    EXPECT_FALSE(std::filesystem::exists(folder_ / ".hidden"));
}

}  // namespace
}  // namespace mojing::test
