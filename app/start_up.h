#pragma once

namespace mojing {

// The program's entry: working folder, name lists, the window, then the event loop. It does not
// return in practice: quitting ends the process from inside the loop.
int StartUp(int argc, char** argv);

// Makes the folder of the running executable the working directory and the program's directory.
void SetUpProgramFolder();

}  // namespace mojing
