#pragma once

#include <string_view>

namespace mojing {

class NameList;

// Appends the files (never folders) of directory whose names match wildcard to list: bare names,
// or with withPath the directory with a final '/' followed by the name. Returns the list's count
// afterwards, the items it held before included.
long FindFiles(std::string_view directory, std::string_view wildcard, NameList& list,
               bool withPath = false);

}  // namespace mojing
