#pragma once

namespace mojing {

// The routine that ExitProgram runs before the process ends; the last one registered counts.
void RegisterExitRoutine(void (*routine)());

// Runs the exit routine, deletes the downloader file "wget.exe" from the working folder, then
// ends the process at once with code: no window is destroyed first, and worker threads end
// wherever they are.
[[noreturn]] void ExitProgram(int code);

}  // namespace mojing
