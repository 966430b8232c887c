#pragma once

#include <cstdint>
#include <memory>
#include <string>

// The process list as a snapshot that is walked one entry at a time.
namespace mojing::platform {

struct ProcessEntry {
    std::uint32_t processId = 0;
    std::string exeFile;  // the executable's file name, GBK, at most 256 bytes
};

class ProcessSnapshot {
public:
    // Null when no snapshot can be taken.
    static std::unique_ptr<ProcessSnapshot> Take();
    virtual ~ProcessSnapshot() = default;
    // Fills entry with the next process in ascending ID; false when there is none.
    virtual bool Next(ProcessEntry& entry) = 0;
};

std::uint32_t CurrentProcessId();

// Ends the process at once; true when that was delivered. False for 0 and for a process that is
// gone or may not be ended.
bool TerminateProcess(std::uint32_t processId);

// Ends the program's own process at once with the code: no destructors, no exit handlers.
[[noreturn]] void ExitProcess(int code);

}  // namespace mojing::platform
