#include "batch/user_folders.h"

#include <cstdlib>

#include "platform/file_system.h"
#include "text/code_page_conversion.h"

namespace mojing {
namespace {

// Environment values are UTF-8; only absolute ones count, as the XDG base directories say.
std::string AbsoluteFromEnvironment(const char* variable) {
    const char* value = std::getenv(variable);
    if (value == nullptr || value[0] != '/') return {};
    return Utf8ToGbk(value);
}

std::string Home() { return AbsoluteFromEnvironment("HOME"); }

std::string WithoutFinalSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// XDG_DOWNLOAD_DIR="$HOME/Downloads" or an absolute path, in double quotes, one per line.
std::string DownloadFolderFromUserDirs(const std::string& home) {
    std::string config = AbsoluteFromEnvironment("XDG_CONFIG_HOME");
    if (config.empty() && !home.empty()) config = home + "/.config";
    if (config.empty()) return {};
    const std::string text = Utf8ToGbk(platform::ReadWholeFile(config + "/user-dirs.dirs"));
    constexpr std::string_view kKey = "XDG_DOWNLOAD_DIR=\"";
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (!line.starts_with(kKey)) continue;
        line.remove_prefix(kKey.size());
        const std::size_t quote = line.find('"');
        if (quote == std::string_view::npos) continue;
        line = line.substr(0, quote);
        if (line.starts_with("$HOME")) {
            if (home.empty()) continue;
            return home + std::string(line.substr(5));
        }
        if (line.starts_with('/')) return std::string(line);
    }
    return {};
}

}  // namespace

std::string UserDownloadFolder() {
    std::string folder = AbsoluteFromEnvironment("XDG_DOWNLOAD_DIR");
    const std::string home = Home();
    if (folder.empty()) folder = DownloadFolderFromUserDirs(home);
    if (folder.empty() && !home.empty()) folder = home + "/Downloads";
    return WithoutFinalSlash(folder);
}

std::string DemoFolder() {
    std::string cache = AbsoluteFromEnvironment("XDG_CACHE_HOME");
    if (cache.empty()) {
        const std::string home = Home();
        if (home.empty()) return {};
        cache = home + "/.cache";
    }
    return WithoutFinalSlash(cache) + "/mojing-shuxia/demo";
}

std::string ProgramFolderFor(std::string_view executableFolder) {
    if (platform::IsWritableDirectory(executableFolder)) return std::string(executableFolder);
    const std::string downloads = UserDownloadFolder();
    if (downloads.empty()) return std::string(executableFolder);
    const std::string folder = downloads + "/" + Utf8ToGbk("墨鲸书匣");
    if (!platform::MakeDirectories(folder)) return std::string(executableFolder);
    return folder;
}

}  // namespace mojing
