#pragma once

#include <string>
#include <string_view>

namespace mojing {

// The program's folder, without a final '/': where the audit lists and the failure list lives.
// Start-up sets it; the working folder starts out as the same folder.
std::string ProgramDirectory();
void SetProgramDirectory(std::string_view directory);

}  // namespace mojing
