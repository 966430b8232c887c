#pragma once

#include <string>

namespace mojing {

// Why the window system that Qt would choose cannot be reached, in words for the user; empty when
// at least one of Qt's choices can be. Qt itself aborts the process in that case, so start-up asks
// first.
std::string WindowSystemProblem();

}  // namespace mojing
