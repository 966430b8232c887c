#include "app/exit_program.h"

#include <atomic>

#include "batch/downloader.h"
#include "platform/process_list.h"

namespace mojing {
namespace {

std::atomic<void (*)()> exitRoutine{nullptr};

}  // namespace

void RegisterExitRoutine(void (*routine)()) { exitRoutine.store(routine); }

void ExitProgram(int code) {
    if (void (*routine)() = exitRoutine.load()) routine();
    // A downloader still running from the file does not keep it: it runs on from the unlinked
    // file, and the folder is left clean.
    DeleteDownloader();
    platform::ExitProcess(code);
}

}  // namespace mojing
