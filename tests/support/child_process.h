#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace mojing::test {

// A copy of a system program under a name of our choosing, e.g. /bin/sleep as "wget.exe".
std::filesystem::path CopyProgram(const std::filesystem::path& program,
                                  const std::filesystem::path& copy);

// A child process started from program with arguments (arguments[0] included). It is killed and
// reaped at the end of the scope unless it was reaped before.
class ChildProcess {
  public:
    ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return pid_; }
    // Waits until it has ended and leaves it unreaped (a zombie).
    void WaitUntilEnded() const;
    // Waits for it and reaps it; the status as waitpid gives it.
    int Reap();

  private:
    pid_t pid_ = -1;
    bool reaped_ = false;
};

}  // namespace mojing::test
