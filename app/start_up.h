#pragma once

namespace mojing {

// The program's entry: working folder, name lists, the window, then the event loop.
int StartUp(int argc, char** argv);

}  // namespace mojing
