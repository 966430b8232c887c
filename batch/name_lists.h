#pragma once

#include <string_view>

#include "text/name_list.h"

// The two program-wide lists: PendingNames, the titles still to download, and FoundFiles, the
// names the audit gathers.
namespace mojing {

NameList& PendingNames();
NameList& FoundFiles();

void CreateNameLists();  // PendingNames empty, FoundFiles one empty name
// Frees every item of both lists. The lists themselves stay, empty, so that a worker still
// running while the program exits finds nothing rather than freed memory.
void ReleaseNameLists();

// Names of a GBK text separated by CR LF, recognised only where a character starts. A final
// CR LF adds no empty name.
NameList SplitNameList(std::string_view text);

// Replaces PendingNames with the names of the file; any read problem leaves it empty.
void LoadNameList(std::string_view path);

void RemoveHead(NameList& list);

}  // namespace mojing
