#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "batch/batch_mode.h"

namespace mojing {

class WindowInterface;

// The downloader's executable image held in the program.
std::span<const unsigned char> DownloaderExe();

// "wget.exe", hidden, in the working folder; a hidden one is not written again.
void WriteDownloader();
// The argument vector of the mode for a GBK title, address and proxy.
std::vector<std::string> DownloaderArguments(BatchMode mode, std::string_view title,
                                             std::string_view address, std::string_view proxy);
// Reads 编辑框3 (Proxy mode), 编辑框2 and 编辑框1, runs the downloader and waits for it. A title
// that is not a plain file name never reaches it and is written to the failure list instead.
void RunDownloader(BatchMode mode, WindowInterface& window);
void DeleteDownloader();

}  // namespace mojing
