#include "tests/support/child_process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <stdexcept>

extern char** environ;

namespace mojing::test {

std::filesystem::path CopyProgram(const std::filesystem::path& program,
                                  const std::filesystem::path& copy) {
    std::filesystem::copy_file(program, copy, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(copy, std::filesystem::perms::owner_all |
                                           std::filesystem::perms::group_read |
                                           std::filesystem::perms::group_exec);
    return copy;
}

ChildProcess::ChildProcess(const std::filesystem::path& program,
                           const std::vector<std::string>& arguments) {
    std::vector<std::string> copies(arguments);
    std::vector<char*> argv;
    for (std::string& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const int error = posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (error != 0) throw std::runtime_error("cannot start " + program.string());
}

ChildProcess::~ChildProcess() {
    if (reaped_) return;
    kill(pid_, SIGKILL);
    Reap();
}

void ChildProcess::WaitUntilEnded() const {
    siginfo_t info{};
    while (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOWAIT) != 0 &&
           errno == EINTR) {
    }
}

int ChildProcess::Reap() {
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
    return status;
}

}  // namespace mojing::test
