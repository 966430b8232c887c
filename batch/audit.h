#pragma once

#include <string>
#include <string_view>

namespace mojing {

// "【下载失败的小说】.txt"
const std::string& FailureListName();

// Appends name and CR LF to the failure list in the program's folder; created when missing,
// never shortened.
void RecordFailure(std::string_view name);

// Deletes the empty ".txt" files of the program's folder and appends their names to the failure
// list. Two audits never overlap.
void AuditDownloads();

}  // namespace mojing
