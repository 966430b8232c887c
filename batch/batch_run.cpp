#include "batch/batch_run.h"

#include <atomic>
#include <optional>
#include <system_error>
#include <thread>

#include "batch/address_lookup.h"
#include "batch/audit.h"
#include "batch/downloader.h"
#include "batch/name_lists.h"
#include "batch/window_interface.h"
#include "text/code_page_conversion.h"
#include "text/regex_object.h"

namespace mojing {
namespace {

// Both batch buttons are enabled between two titles, so a second click could start a second
// run over the same list; one run at a time keeps every run inside the list it counted.
std::atomic<bool> runGoingOn{false};

void SetStatus(WindowInterface& window, const std::string& label, const std::string& value) {
    window.SetStatusText(0, label);
    window.SetStatusText(1, value);
}

void SetBatchButtonsEnabled(WindowInterface& window, bool enabled) {
    window.SetButtonEnabled(BatchButton::按钮1, enabled);
    window.SetButtonEnabled(BatchButton::按钮2, enabled);
}

}  // namespace

void StartBatch(BatchMode mode, WindowInterface& window) {
    bool idle = false;
    if (!runGoingOn.compare_exchange_strong(idle, true)) return;
    try {
        std::thread([mode, &window] {
            RunBatch(mode, window);
            runGoingOn = false;
        }).detach();
    } catch (const std::system_error&) {
        runGoingOn = false;  // no thread, no run: the click has no effect
    }
}

void RunBatch(BatchMode mode, WindowInterface& window) {
    static const std::string loadError = Utf8ToGbk("小说名字文本载入错误");
    static const std::string searchingLabel = Utf8ToGbk("当前状态：");
    static const std::string searchingValue = Utf8ToGbk(" 正在搜索，请稍等");
    static const std::string downloadingLabel = Utf8ToGbk("正在下载：");
    static const std::string doneLabel = Utf8ToGbk("任务完成：");
    static const std::string doneValue = Utf8ToGbk(" 已完成所有下载");

    RegexObject regex;
    const std::size_t titles = PendingNames().Count();
    if (titles < 1) {
        window.ShowMessage(loadError, DefaultMessageCaption());
        regex.Destroy();
        return;
    }
    for (std::size_t counter = 1; counter <= titles; ++counter) {
        // The list may have been replaced by a shorter one meanwhile: a run never reads past
        // its end.
        const std::optional<std::string> title = PendingNames().Front();
        if (!title) break;
        window.SetText(EditBox::编辑框1, *title);
        SetStatus(window, searchingLabel, searchingValue);
        SetBatchButtonsEnabled(window, false);
        window.SetText(EditBox::编辑框2, LookUpDownloadAddress(mode, regex, window));
        WriteDownloader();
        SetStatus(window, downloadingLabel, window.GetText(EditBox::编辑框1));
        RunDownloader(mode, window);
        SetBatchButtonsEnabled(window, true);
        RemoveHead(PendingNames());
    }
    AuditDownloads();
    SetStatus(window, doneLabel, doneValue);
    regex.Destroy();
}

}  // namespace mojing
