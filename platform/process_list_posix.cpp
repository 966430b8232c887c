#include "platform/process_list.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/code_page.h"

namespace mojing::platform {
namespace {

constexpr std::size_t kMaxNameBytes = 256;
constexpr std::string_view kDeleted = " (deleted)";

std::string ProcFile(std::uint32_t processId, const char* name) {
    return "/proc/" + std::to_string(processId) + "/" + name;
}

struct StatLine {
    std::string comm;
    char state = 0;
};

// "/proc/PID/stat" begins "PID (comm) S"; comm may itself hold blanks and parentheses.
StatLine ReadStat(std::uint32_t processId) {
    std::ifstream in(ProcFile(processId, "stat"), std::ios::binary);
    const std::string line((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t open = line.find('(');
    const std::size_t close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open ||
        close + 2 >= line.size()) {
        return {};
    }
    return {line.substr(open + 1, close - open - 1), line[close + 2]};
}

bool HasEnded(char state) { return state == 'Z' || state == 'X'; }

// The base name of the executable, or empty for a process that has ended. comm is cut at 15
// bytes, so the executable's path comes first; other users' processes only show their comm.
std::string ExecutableName(std::uint32_t processId) {
    std::string target(PATH_MAX, '\0');
    const ssize_t length =
        readlink(ProcFile(processId, "exe").c_str(), target.data(), target.size());
    if (length > 0 && static_cast<std::size_t>(length) < target.size()) {
        target.resize(static_cast<std::size_t>(length));
        // A running program whose file was removed reads "path (deleted)".
        struct stat status {};
        if (target.ends_with(kDeleted) && stat(target.c_str(), &status) != 0) {
            target.resize(target.size() - kDeleted.size());
        }
        return target.substr(target.rfind('/') + 1);
    }
    const StatLine line = ReadStat(processId);
    return HasEnded(line.state) ? std::string() : line.comm;
}

class ProcSnapshot final : public ProcessSnapshot {
  public:
    explicit ProcSnapshot(std::vector<std::uint32_t> processIds) : ids_(std::move(processIds)) {}

    bool Next(ProcessEntry& entry) override {
        while (next_ < ids_.size()) {
            const std::uint32_t processId = ids_[next_++];
            // A process that has gone since the listing is passed over.
            const std::string name = ExecutableName(processId);
            if (name.empty()) continue;
            entry.processId = processId;
            entry.exeFile = NativeToAnsi(name);
            if (entry.exeFile.size() > kMaxNameBytes) entry.exeFile.resize(kMaxNameBytes);
            return true;
        }
        return false;
    }

  private:
    std::vector<std::uint32_t> ids_;
    std::size_t next_ = 0;
};

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

std::unique_ptr<ProcessSnapshot> ProcessSnapshot::Take() {
    std::unique_ptr<DIR, DirCloser> proc(opendir("/proc"));
    if (proc == nullptr) return nullptr;
    std::vector<std::uint32_t> ids;
    while (const dirent* item = readdir(proc.get())) {
        const std::string_view name = item->d_name;
        std::uint32_t processId = 0;
        const auto [end, error] =
            std::from_chars(name.data(), name.data() + name.size(), processId);
        if (error == std::errc() && end == name.data() + name.size() && processId != 0) {
            ids.push_back(processId);
        }
    }
    std::sort(ids.begin(), ids.end());
    return std::make_unique<ProcSnapshot>(std::move(ids));
}

std::uint32_t CurrentProcessId() { return static_cast<std::uint32_t>(getpid()); }

bool TerminateProcess(std::uint32_t processId) {
    // A pid_t below 1 would signal a process group or every process we may signal.
    if (processId == 0 || processId > static_cast<std::uint32_t>(INT_MAX)) return false;
    // A process that has ended but is not yet reaped takes the signal and ends nothing.
    if (HasEnded(ReadStat(processId).state)) return false;
    return kill(static_cast<pid_t>(processId), SIGKILL) == 0;
}

void ExitProcess(int code) { _exit(code); }

}  // namespace mojing::platform
