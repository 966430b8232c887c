#include "text/file_finder.h"

#include <string>

#include "platform/file_system.h"
#include "platform/message_queue.h"
#include "text/name_list.h"

namespace mojing {

long FindFiles(std::string_view directory, std::string_view wildcard, NameList& list,
               bool withPath) {
    // Only the last byte is looked at; in GBK a '/' is never the second byte of a character.
    std::string folder(directory);
    if (folder.empty() || folder.back() != '/') folder += '/';
    for (const platform::DirectoryEntry& entry : platform::FindDirectoryEntries(folder, wildcard)) {
        if (entry.isDirectory) continue;
        list.Append(withPath ? folder + entry.name : entry.name);
        if (platform::GetInputState()) platform::ProcessPendingMessages();
    }
    return static_cast<long>(list.Count());
}

}  // namespace mojing
