#include "batch/audit.h"

#include <mutex>

#include "batch/name_lists.h"
#include "batch/program_folder.h"
#include "platform/file_system.h"
#include "text/code_page_conversion.h"
#include "text/file_finder.h"

namespace mojing {
namespace {

// Two batches must never walk and shorten FoundFiles at the same time.
std::mutex auditMutex;
std::mutex failureListMutex;

}  // namespace

const std::string& FailureListName() {
    static const std::string name = Utf8ToGbk("【下载失败的小说】.txt");
    return name;
}

void RecordFailure(std::string_view name) {
    std::string line(name);
    line += "\r\n";
    std::lock_guard lock(failureListMutex);
    platform::AppendToFile(ProgramDirectory() + "/" + FailureListName(), line);
}

void AuditDownloads() {
    std::lock_guard lock(auditMutex);
    NameList& found = FoundFiles();
    FindFiles(ProgramDirectory(), "*.txt", found, false);
    // Sized and deleted by bare name, that is in the working folder; the working folder stays the
    // program's folder for the whole run.
    for (std::size_t remaining = found.Count(); remaining > 0; --remaining) {
        const std::string name = found.Item(1);
        if (!name.empty() && platform::FileSize(name) == 0) {
            platform::DeleteFile(name);
            RecordFailure(name);
        }
        RemoveHead(found);
    }
}

}  // namespace mojing
