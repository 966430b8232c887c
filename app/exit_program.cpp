#include "app/exit_program.h"

#include <atomic>

#include "platform/process_list.h"

namespace mojing {
namespace {

std::atomic<void (*)()> exitRoutine{nullptr};

}  // namespace

void RegisterExitRoutine(void (*routine)()) { exitRoutine.store(routine); }

void ExitProgram(int code) {
    if (void (*routine)() = exitRoutine.load()) routine();
    platform::ExitProcess(code);
}

}  // namespace mojing
