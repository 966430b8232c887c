#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mojing::platform {

// Where a program named like "wget.exe" is found the Windows way: the folder of our own
// executable, then the working folder, then PATH. Empty when nowhere.
std::string FindProgram(std::string_view name);

// Starts arguments[0] (found by FindProgram) with the arguments as they stand, no shell, our
// environment and working folder, and waits for it without a time limit. The arguments are GBK
// text. False when it could not be started.
bool RunProcessAndWait(const std::vector<std::string>& arguments);

}  // namespace mojing::platform
