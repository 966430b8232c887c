#pragma once

#include <string>

namespace mojing {

// "【下载失败的小说】.txt"
const std::string& FailureListName();

// Deletes the empty ".txt" files of the program's folder and appends their names to the failure
// list. Two audits never overlap.
void AuditDownloads();

}  // namespace mojing
