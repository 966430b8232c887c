#include "tests/support/own_process_namespace.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace mojing::test {
namespace {

constexpr const char* kMarker = "MOJING_OWN_PROCESS_NAMESPACE";

// unshare(1) as an ordinary user too: a user namespace maps us to root, which may then make the
// process namespace and mount a /proc that lists only its processes. The test is its first
// process, so what the test leaves running ends with it.
const std::vector<std::string> kUnshare = {"unshare", "--user",       "--map-root-user", "--pid",
                                           "--fork",  "--mount-proc", "--kill-child"};

int Run(std::vector<std::string> arguments, bool marked) {
    std::vector<std::string> environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        environment.emplace_back(*variable);
    }
    if (marked) environment.push_back(std::string(kMarker) + "=1");
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& variable : environment) envp.push_back(variable.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!marked) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = -1;
    const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

void Skip() { GTEST_SKIP() << "this machine gives no process namespace (unshare failed)"; }

}  // namespace

bool InOwnProcessNamespace() {
    if (getenv(kMarker) != nullptr) return true;

    std::vector<std::string> probe = kUnshare;
    probe.emplace_back("true");
    if (Run(probe, false) != 0) {
        Skip();
        return false;
    }

    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::vector<std::string> inner = kUnshare;
    inner.push_back(std::filesystem::read_symlink("/proc/self/exe").string());
    inner.push_back(std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name());
    const int status = Run(inner, true);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the run in its own process namespace failed, wait status " << status;
    return false;
}

}  // namespace mojing::test
