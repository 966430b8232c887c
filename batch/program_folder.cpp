#include "batch/program_folder.h"

#include <mutex>

namespace mojing {
namespace {

std::mutex folderMutex;
std::string& Folder() {
    static std::string folder;
    return folder;
}

}  // namespace

std::string ProgramDirectory() {
    std::lock_guard lock(folderMutex);
    return Folder();
}

void SetProgramDirectory(std::string_view directory) {
    while (directory.size() > 1 && directory.back() == '/') directory.remove_suffix(1);
    std::lock_guard lock(folderMutex);
    Folder() = directory;
}

}  // namespace mojing
