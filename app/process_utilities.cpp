#include "app/process_utilities.h"

#include "platform/process_list.h"

namespace mojing {
namespace {

// A text ends at its first zero byte.
std::string_view TextOf(std::string_view bytes) { return bytes.substr(0, bytes.find('\0')); }

}  // namespace

std::string LowerCaseAnsi(std::string_view text) {
    std::string lower(text);
    for (std::size_t i = 0; i < lower.size(); ++i) {
        const auto byte = static_cast<unsigned char>(lower[i]);
        if (byte >= 0x80) {
            ++i;  // the second byte of the character stays as it is
        } else if (byte >= 'A' && byte <= 'Z') {
            lower[i] = static_cast<char>(byte - 'A' + 'a');
        }
    }
    return lower;
}

std::uint32_t FindProcessId(std::string_view name, bool caseSensitive) {
    name = TextOf(name);
    // No listed name is empty.
    if (name.empty()) return 0;
    auto snapshot = platform::ProcessSnapshot::Take();
    if (snapshot == nullptr) return 0;
    const std::string wanted = caseSensitive ? std::string(name) : LowerCaseAnsi(name);
    for (platform::ProcessEntry entry; snapshot->Next(entry);) {
        const std::string_view listed = TextOf(entry.exeFile);
        if (caseSensitive ? listed == wanted : LowerCaseAnsi(listed) == wanted) {
            return entry.processId;
        }
    }
    return 0;
}

bool TerminateProcessById(std::optional<std::uint32_t> processId) {
    const std::uint32_t own = platform::CurrentProcessId();
    // Our own end is a normal one, with the code 0, not a kill.
    if (processId.value_or(own) == own) platform::ExitProcess(0);
    return platform::TerminateProcess(*processId);
}

}  // namespace mojing
