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
    // A downloader still running from the file does not stop the deletion here, unlike on the
    // system the program came from; it runs on from the unlinked file.
    DeleteDownloader();
    platform::ExitProcess(code);
}

}  // namespace mojing
