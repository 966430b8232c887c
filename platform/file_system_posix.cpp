#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <limits.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/code_page.h"
#include "platform/file_system.h"

namespace mojing::platform {
namespace {

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() { Close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Get() const { return fd_; }
    // Closes now and says whether the close went well, which for a written file is part of
    // whether the write went well.
    bool Close() {
        if (fd_ < 0) return true;
        const int fd = std::exchange(fd_, -1);
        return close(fd) == 0;
    }

  private:
    int fd_;
};

struct DirectoryCloser {
    void operator()(DIR* directory) const { closedir(directory); }
};
using DirectoryHandle = std::unique_ptr<DIR, DirectoryCloser>;

// The UTF-8 form of a GBK path; empty for a path that can name nothing (empty, or holding a NUL
// that would cut it short and name another file).
std::string Native(std::string_view path) {
    if (path.empty() || path.find('\0') != std::string_view::npos) return {};
    std::string native = AnsiToNative(path);
    if (native.find('\0') != std::string::npos) return {};
    return native;
}

bool WriteAll(int fd, const void* data, std::size_t size) {
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = write(fd, next, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        next += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Reads up to the length the file has now; a file that shrinks meanwhile gives what was there.
std::string ReadOpenFile(int fd) {
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size <= 0) return {};
    std::string bytes(static_cast<std::size_t>(status.st_size), '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

int OpenForReading(const std::string& native) {
    // O_NONBLOCK keeps a FIFO from blocking the open; it changes nothing for a plain file.
    return open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
}

// Whole content of a file given by its UTF-8 path; nothing when it is missing or unreadable.
std::string ReadNative(const std::string& native) {
    FileDescriptor fd(OpenForReading(native));
    if (!fd.IsOpen()) return {};
    return ReadOpenFile(fd.Get());
}

// A read lease exists only while nobody has the file open for writing, and keeps writers' opens
// waiting until it is released: for the length of a read, writers are denied.
class ReadLease {
  public:
    explicit ReadLease(int fd) : fd_(fd) {
        // The kernel signals the lease holder when a writer's open breaks the lease, with SIGIO
        // unless told otherwise, and SIGIO ends the process. A signal that is ignored by default
        // covers the moment until the owner is cleared, after which no signal is sent at all.
        fcntl(fd_, F_SETSIG, SIGURG);
        if (fcntl(fd_, F_SETLEASE, F_RDLCK) == 0) {
            held_ = true;
            fcntl(fd_, F_SETOWN, 0);
        } else {
            // EAGAIN: some process has the file open for writing. Anything else (no lease
            // support in the file system, a file we do not own) means leases cannot tell.
            writerPresent_ = errno == EAGAIN;
        }
    }
    ~ReadLease() {
        if (held_) fcntl(fd_, F_SETLEASE, F_UNLCK);
    }
    ReadLease(const ReadLease&) = delete;
    ReadLease& operator=(const ReadLease&) = delete;

    bool WriterPresent() const { return writerPresent_; }

  private:
    int fd_;
    bool held_ = false;
    bool writerPresent_ = false;
};

// Matching as the Windows directory search does: only '*' and '?' are special, '?' is one
// character rather than one byte, and letter case is ignored beyond ASCII as well.
class WildcardMatcher {
  public:
    explicit WildcardMatcher(const std::string& wildcard) {
        pattern_.reserve(wildcard.size());
        for (const char c : wildcard) {
            if (c == '[') {
                pattern_ += "[[]";
            } else {
                pattern_ += c;
            }
        }
    }
    bool Matches(const char* name) const {
        return fnmatch(pattern_.c_str(), name, FNM_CASEFOLD | FNM_NOESCAPE) == 0;
    }

  private:
    std::string pattern_;
};

// fnmatch follows the thread's locale; names on disk are UTF-8 whatever the process's locale.
class ScopedUtf8Locale {
  public:
    ScopedUtf8Locale() {
        static const locale_t utf8 = newlocale(LC_ALL_MASK, "C.UTF-8", locale_t{});
        if (utf8 != locale_t{}) previous_ = uselocale(utf8);
    }
    ~ScopedUtf8Locale() {
        if (previous_ != locale_t{}) uselocale(previous_);
    }
    ScopedUtf8Locale(const ScopedUtf8Locale&) = delete;
    ScopedUtf8Locale& operator=(const ScopedUtf8Locale&) = delete;

  private:
    locale_t previous_{};
};

bool IsDirectoryEntry(DIR* directory, const dirent& entry) {
    if (entry.d_type == DT_DIR) return true;
    if (entry.d_type != DT_UNKNOWN && entry.d_type != DT_LNK) return false;
    // A symbolic link to a folder lists as a folder, as Windows shows a junction.
    struct stat status {};
    return fstatat(dirfd(directory), entry.d_name, &status, 0) == 0 && S_ISDIR(status.st_mode);
}

// ".hidden" beside a file, and the file's name as that file lists it.
struct HiddenListPlace {
    std::string listPath;
    std::string name;
};

bool PlaceInHiddenList(std::string_view path, HiddenListPlace& place) {
    const std::string native = Native(path);
    const std::size_t slash = native.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    place.name = native.substr(nameStart);
    // A line cannot hold a name with a line break in it.
    if (place.name.empty() || place.name.find('\n') != std::string::npos) return false;
    place.listPath = native.substr(0, nameStart) + ".hidden";
    return true;
}

bool ListsName(std::string_view list, std::string_view name) {
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find('\n', start);
        if (end == std::string_view::npos) end = list.size();
        if (list.substr(start, end - start) == name) return true;
        start = end + 1;
    }
    return false;
}

// Readers of ".hidden" see either the old content or the new one, never a half-written file.
bool ReplaceFileContent(const std::string& listPath, std::string_view content) {
    struct stat status {};
    const mode_t mode = stat(listPath.c_str(), &status) == 0 ? status.st_mode & 07777 : 0644;
    std::string temporary = listPath + ".XXXXXX";
    FileDescriptor fd(mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd.IsOpen()) return false;
    const bool written = fchmod(fd.Get(), mode) == 0 &&
                         WriteAll(fd.Get(), content.data(), content.size()) &&
                         fsync(fd.Get()) == 0 && fd.Close();
    if (!written || rename(temporary.c_str(), listPath.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

// Updates of ".hidden" read, change and write it back; two threads doing so at once must not
// lose one another's line.
std::mutex hiddenListMutex;

}  // namespace

std::string ReadWholeFile(std::string_view path) { return ReadNative(Native(path)); }

std::string ReadWholeFileDenyingWriters(std::string_view path) {
    FileDescriptor fd(OpenForReading(Native(path)));
    if (!fd.IsOpen()) return {};
    const ReadLease lease(fd.Get());
    if (lease.WriterPresent()) return {};
    return ReadOpenFile(fd.Get());
}

std::vector<DirectoryEntry> FindDirectoryEntries(std::string_view directory,
                                                 std::string_view wildcard) {
    std::vector<DirectoryEntry> entries;
    const std::string nativeDirectory = Native(directory);
    if (nativeDirectory.empty() || wildcard.find('\0') != std::string_view::npos) return entries;
    const DirectoryHandle handle(opendir(nativeDirectory.c_str()));
    if (!handle) return entries;
    const WildcardMatcher matcher(AnsiToNative(wildcard));
    const ScopedUtf8Locale utf8;
    while (const dirent* entry = readdir(handle.get())) {
        if (!matcher.Matches(entry->d_name)) continue;
        entries.push_back({NativeToAnsi(entry->d_name), IsDirectoryEntry(handle.get(), *entry)});
    }
    return entries;
}

std::int64_t FileSize(std::string_view path) {
    const std::string native = Native(path);
    struct stat status {};
    if (native.empty() || stat(native.c_str(), &status) != 0 || S_ISDIR(status.st_mode)) {
        return -1;
    }
    return status.st_size;
}

bool DeleteFile(std::string_view path) {
    const std::string native = Native(path);
    return !native.empty() && unlink(native.c_str()) == 0;
}

bool AppendToFile(std::string_view path, std::string_view bytes) {
    const std::string native = Native(path);
    if (native.empty()) return false;
    FileDescriptor fd(open(native.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    return fd.IsOpen() && WriteAll(fd.Get(), bytes.data(), bytes.size()) && fd.Close();
}

bool CreateAlwaysAndWrite(std::string_view path, std::span<const unsigned char> bytes,
                          unsigned mode) {
    const std::string native = Native(path);
    if (native.empty() || IsMarkedHidden(path)) return false;
    FileDescriptor fd(open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!fd.IsOpen()) return false;
    const bool written = WriteAll(fd.Get(), bytes.data(), bytes.size());
    const bool modeSet = fchmod(fd.Get(), static_cast<mode_t>(mode & 07777)) == 0;
    return fd.Close() && written && modeSet;
}

bool IsMarkedHidden(std::string_view path) {
    HiddenListPlace place;
    if (!PlaceInHiddenList(path, place)) return false;
    return ListsName(ReadNative(place.listPath), place.name);
}

bool SetHiddenMark(std::string_view path) {
    HiddenListPlace place;
    if (!PlaceInHiddenList(path, place)) return false;
    const std::lock_guard lock(hiddenListMutex);
    std::string list = ReadNative(place.listPath);
    if (ListsName(list, place.name)) return true;
    if (!list.empty() && list.back() != '\n') list += '\n';
    list += place.name;
    list += '\n';
    return ReplaceFileContent(place.listPath, list);
}

bool RemoveHiddenMark(std::string_view path) {
    HiddenListPlace place;
    if (!PlaceInHiddenList(path, place)) return false;
    const std::lock_guard lock(hiddenListMutex);
    const std::string list = ReadNative(place.listPath);
    if (!ListsName(list, place.name)) return true;
    std::string kept;
    kept.reserve(list.size());
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find('\n', start);
        end = end == std::string::npos ? list.size() : end + 1;
        std::string_view line(list.data() + start, end - start);
        start = end;
        const std::string_view withBreak = line;
        if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
        if (line != place.name) kept += withBreak;
    }
    if (kept.empty()) return unlink(place.listPath.c_str()) == 0 || errno == ENOENT;
    return ReplaceFileContent(place.listPath, kept);
}

bool IsPlainFileName(std::string_view name) {
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos) {
        return false;
    }
    const std::string native = Native(name);
    if (native.empty() || native == "." || native == ".." ||
        native.find('/') != std::string::npos) {
        return false;
    }
    const long limit = pathconf(".", _PC_NAME_MAX);
    return native.size() <= static_cast<std::size_t>(limit > 0 ? limit : NAME_MAX);
}

bool IsWritableDirectory(std::string_view path) {
    const std::string native = Native(path);
    struct stat status {};
    return !native.empty() && stat(native.c_str(), &status) == 0 && S_ISDIR(status.st_mode) &&
           access(native.c_str(), W_OK | X_OK) == 0;
}

bool MakeDirectories(std::string_view path) {
    const std::string native = Native(path);
    if (native.empty()) return false;
    std::size_t end = 0;
    while (end != std::string::npos) {
        end = native.find('/', end + 1);
        const std::string prefix = native.substr(0, end);
        if (mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    struct stat status {};
    return stat(native.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::string GetCurrentDirectory() {
    std::string buffer(PATH_MAX, '\0');
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) return {};
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(buffer.find('\0'));
    return NativeToAnsi(buffer);
}

bool SetCurrentDirectory(std::string_view path) {
    const std::string native = Native(path);
    return !native.empty() && chdir(native.c_str()) == 0;
}

std::string ExecutablePath() {
    std::string buffer(PATH_MAX, '\0');
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return {};
        if (static_cast<std::size_t>(length) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(length));
            return NativeToAnsi(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace mojing::platform
