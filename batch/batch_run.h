#pragma once

#include "batch/batch_mode.h"

namespace mojing {

class WindowInterface;

// Starts RunBatch on a detached worker; a click while a run is going on starts nothing.
// window must outlive the worker (the program's window lives until the process ends).
void StartBatch(BatchMode mode, WindowInterface& window);
void RunBatch(BatchMode mode, WindowInterface& window);

}  // namespace mojing
