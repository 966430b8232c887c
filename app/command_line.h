#pragma once

#include <optional>
#include <string>
#include <variant>

namespace mojing {

// What the arguments ask for; texts as typed (UTF-8).
struct CommandLine {
    bool demo = false;
    bool batch = false;
    std::string list;                  // empty: "小说名.txt" in the batch's folder
    std::optional<std::string> proxy;  // the proxy mode; empty with --demo: the demo site
    std::string dir;                   // empty: the current folder
};

// The exit code instead when the program has nothing more to do: 0 after --help or
// --version, 2 after bad usage (the reason on standard error).
std::variant<CommandLine, int> ParseCommandLine(int argc, const char* const* argv);

}  // namespace mojing
