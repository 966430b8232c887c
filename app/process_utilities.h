#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mojing {

// The ID of the first running process, in ascending ID, whose executable's file name is name
// (GBK), compared whole; 0 when there is none.
std::uint32_t FindProcessId(std::string_view name, bool caseSensitive = false);

// Ends the process at once. Without an ID, or with our own, the program ends with the code 0 and
// the call does not return. True when the process was ended; false for 0 and for a process that
// is gone or may not be ended.
bool TerminateProcessById(std::optional<std::uint32_t> processId = {});

// A to Z become a to z; any byte of 0x80 or above leads a double-byte character whose second
// byte is kept as it is.
std::string LowerCaseAnsi(std::string_view text);

}  // namespace mojing
