#include "batch/downloader.h"

#include "batch/audit.h"
#include "batch/window_interface.h"
#include "platform/file_system.h"
#include "platform/process.h"

extern "C" const unsigned char mojing_downloader_image_begin[];
extern "C" const unsigned char mojing_downloader_image_end[];

namespace mojing {
namespace {

constexpr const char* kDownloaderFile = "wget.exe";

// The output file must be exactly the title + ".txt" in the working folder.
bool IsSafeTitle(std::string_view title) {
    if (title == "." || title == "..") return false;
    return platform::IsPlainFileName(std::string(title) + ".txt");
}

}  // namespace

std::span<const unsigned char> DownloaderExe() {
    return {mojing_downloader_image_begin,
            static_cast<std::size_t>(mojing_downloader_image_end - mojing_downloader_image_begin)};
}

void WriteDownloader() {
    // A hidden file refuses the create-always open, so the file written at the first title is
    // the one that runs for all later titles.
    platform::CreateAlwaysAndWrite(kDownloaderFile, DownloaderExe(), 0755);
    platform::SetHiddenMark(kDownloaderFile);
}

std::vector<std::string> DownloaderArguments(BatchMode mode, std::string_view title,
                                             std::string_view address, std::string_view proxy) {
    std::vector<std::string> arguments{kDownloaderFile};
    if (mode == BatchMode::Proxy) {
        arguments.emplace_back("-e");
        arguments.push_back("http_proxy=http://" + std::string(proxy));
    }
    arguments.emplace_back("-N");
    arguments.emplace_back(address);
    arguments.emplace_back("-O");
    arguments.push_back(std::string(title) + ".txt");
    return arguments;
}

void RunDownloader(BatchMode mode, WindowInterface& window) {
    const std::string proxy = mode == BatchMode::Proxy ? window.GetText(EditBox::编辑框3) : "";
    const std::string address = window.GetText(EditBox::编辑框2);
    const std::string title = window.GetText(EditBox::编辑框1);
    if (!IsSafeTitle(title)) {
        RecordFailure(title + ".txt");
        return;
    }
    platform::RunProcessAndWait(DownloaderArguments(mode, title, address, proxy));
}

void DeleteDownloader() {
    if (platform::DeleteFile(kDownloaderFile) || platform::FileSize(kDownloaderFile) < 0) {
        platform::RemoveHiddenMark(kDownloaderFile);
    }
}

}  // namespace mojing
