#pragma once

#include <string>
#include <string_view>

// Folders of the user's desktop, as GBK paths without a final '/'; empty when they cannot be
// told (no HOME).
namespace mojing {

// XDG_DOWNLOAD_DIR from the environment, else from the user's user-dirs.dirs, else ~/Downloads.
std::string UserDownloadFolder();

// $XDG_CACHE_HOME/mojing-shuxia/demo, by default ~/.cache/mojing-shuxia/demo.
std::string DemoFolder();

// The program's folder for an executable that lives in executableFolder: that folder while its
// user may write there (a build tree, a portable copy), else the download folder's "墨鲸书匣",
// made when missing. The executable's folder again when neither can be had.
std::string ProgramFolderFor(std::string_view executableFolder);

}  // namespace mojing
