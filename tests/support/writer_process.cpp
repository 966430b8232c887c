#include "tests/support/writer_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace mojing::test {

WriterProcess::WriterProcess(const std::filesystem::path& file) {
    int ready[2];
    int release[2];
    if (pipe(ready) != 0) return;
    if (pipe(release) != 0) {
        close(ready[0]);
        close(ready[1]);
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {
        close(ready[0]);
        close(release[1]);
        const char state = open(file.c_str(), O_WRONLY) >= 0 ? 'y' : 'n';
        (void)!write(ready[1], &state, 1);
        char ignored;
        (void)!read(release[0], &ignored, 1);
        _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    release_ = release[1];
    char state = 'n';
    opened_ = pid_ > 0 && read(ready[0], &state, 1) == 1 && state == 'y';
    close(ready[0]);
}

WriterProcess::~WriterProcess() {
    if (release_ >= 0) close(release_);
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
}

bool LeasesWorkFor(const std::filesystem::path& file) {
    const int fd = open(file.c_str(), O_RDONLY);
    if (fd < 0) return false;
    const bool granted = fcntl(fd, F_SETLEASE, F_RDLCK) == 0;
    if (granted) fcntl(fd, F_SETLEASE, F_UNLCK);
    close(fd);
    return granted;
}

}  // namespace mojing::test
