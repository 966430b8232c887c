#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/code_page.h"

extern char** environ;

namespace mojing::platform {
namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

std::string OwnFolder() {
    std::error_code error;
    const std::filesystem::path own = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : own.parent_path().string();
}

std::string WorkingFolder() {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::current_path(error);
    return error ? std::string() : folder.string();
}

std::string SearchPath() {
    if (const char* path = std::getenv("PATH")) return path;
    // No PATH at all: the system's default, as the exec family uses it.
    const std::size_t size = confstr(_CS_PATH, nullptr, 0);
    std::string path(size, '\0');
    if (size == 0 || confstr(_CS_PATH, path.data(), size) == 0) return {};
    path.resize(size - 1);
    return path;
}

// The native (UTF-8) path of the program, or empty.
std::string FindNative(const std::string& name) {
    if (name.empty()) return {};
    // A name with a folder in it is taken as it stands, relative to the working folder.
    if (name.find('/') != std::string::npos) return IsExecutableFile(name) ? name : std::string();

    auto tryFolder = [&name](const std::string& folder) {
        if (folder.empty()) return std::string();
        std::string candidate = folder + (folder.ends_with('/') ? "" : "/") + name;
        return IsExecutableFile(candidate) ? candidate : std::string();
    };
    for (const std::string& folder : {OwnFolder(), WorkingFolder()}) {
        if (std::string found = tryFolder(folder); !found.empty()) return found;
    }
    const std::string path = SearchPath();
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t end = std::min(path.find(':', start), path.size());
        // An empty entry stands for the working folder, which was searched already.
        if (std::string found = tryFolder(path.substr(start, end - start)); !found.empty()) {
            return found;
        }
        start = end + 1;
    }
    return {};
}

struct FileActions {
    posix_spawn_file_actions_t actions;
    bool ready = posix_spawn_file_actions_init(&actions) == 0;
    ~FileActions() {
        if (ready) posix_spawn_file_actions_destroy(&actions);
    }
};

struct SpawnAttributes {
    posix_spawnattr_t attributes;
    bool ready = posix_spawnattr_init(&attributes) == 0;
    ~SpawnAttributes() {
        if (ready) posix_spawnattr_destroy(&attributes);
    }
};

}  // namespace

std::string FindProgram(std::string_view name) {
    return NativeToAnsi(FindNative(AnsiToNative(name)));
}

bool RunProcessAndWait(const std::vector<std::string>& arguments) {
    if (arguments.empty()) return false;
    std::vector<std::string> native;
    native.reserve(arguments.size());
    for (const std::string& argument : arguments) native.push_back(AnsiToNative(argument));
    const std::string program = FindNative(native[0]);
    if (program.empty()) return false;

    std::vector<char*> argv;
    for (std::string& argument : native) argv.push_back(argument.data());
    argv.push_back(nullptr);

    FileActions files;
    SpawnAttributes attributes;
    if (!files.ready || !attributes.ready) return false;
    // The downloader talks on its standard output; that goes to our standard error, when we
    // have one. Nothing else of ours is handed down.
    if (fcntl(STDERR_FILENO, F_GETFD) != -1 &&
        posix_spawn_file_actions_adddup2(&files.actions, STDERR_FILENO, STDOUT_FILENO) != 0) {
        return false;
    }
    if (posix_spawn_file_actions_addclosefrom_np(&files.actions, STDERR_FILENO + 1) != 0) {
        return false;
    }
    // A signal we block or ignore (a thread's mask, SIGPIPE) is no business of the child's.
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    sigdelset(&all, SIGKILL);
    sigdelset(&all, SIGSTOP);
    if (posix_spawnattr_setsigmask(&attributes.attributes, &none) != 0 ||
        posix_spawnattr_setsigdefault(&attributes.attributes, &all) != 0 ||
        posix_spawnattr_setflags(&attributes.attributes,
                                 POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) != 0) {
        return false;
    }

    pid_t child = 0;
    if (posix_spawn(&child, program.c_str(), &files.actions, &attributes.attributes, argv.data(),
                    environ) != 0) {
        return false;
    }
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    return true;
}

}  // namespace mojing::platform
