#pragma once

#include <sys/types.h>

#include <filesystem>

namespace mojing::test {

// A child process that holds a file open for writing for as long as this object lives.
class WriterProcess {
  public:
    explicit WriterProcess(const std::filesystem::path& file);
    ~WriterProcess();
    WriterProcess(const WriterProcess&) = delete;
    WriterProcess& operator=(const WriterProcess&) = delete;

    // Whether the child has the file open.
    bool Opened() const { return pid_ > 0 && opened_; }

  private:
    pid_t pid_ = -1;
    int release_ = -1;  // closing it lets the child end
    bool opened_ = false;
};

// Whether a read lease can be taken on the file: the file system must grant leases and the
// file must be ours (or the process hold CAP_LEASE).
bool LeasesWorkFor(const std::filesystem::path& file);

}  // namespace mojing::test
