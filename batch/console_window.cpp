#include "batch/console_window.h"

#include "batch/audit.h"
#include "batch/batch_run.h"
#include "batch/downloader.h"
#include "batch/name_lists.h"
#include "batch/program_folder.h"
#include "platform/file_system.h"
#include "text/code_page_conversion.h"

namespace mojing {
namespace {

// The size of the title's book as the downloader left it; -1 for a title the downloader never
// got, since its name could mean another file.
std::int64_t BookSize(const std::string& title) {
    const std::string name = title + ".txt";
    if (title == "." || title == ".." || !platform::IsPlainFileName(name)) return -1;
    return platform::FileSize(name);
}

}  // namespace

ConsoleWindow::ConsoleWindow(std::size_t titles, std::FILE* out, std::FILE* err)
    : titles_(titles), out_(out), err_(err) {}

std::string ConsoleWindow::GetText(EditBox box) { return boxes_[box]; }

void ConsoleWindow::SetText(EditBox box, std::string_view text) {
    boxes_[box] = text;
    if (box == EditBox::编辑框1) {
        ++position_;
        titleOpen_ = true;
        Print(out_, "[" + std::to_string(position_) + "/" + std::to_string(titles_) + "] " +
                        std::string(text));
    } else if (box == EditBox::编辑框2) {
        Print(out_, Utf8ToGbk("  地址：") + std::string(text));
    }
}

// The batch enables its buttons again when a title's download is over.
void ConsoleWindow::SetButtonEnabled(BatchButton button, bool enabled) {
    if (button == BatchButton::按钮1 && enabled && titleOpen_) ReportDownload();
}

void ConsoleWindow::SetStatusText(int, std::string_view) {}

void ConsoleWindow::ShowMessage(std::string_view text, std::string_view caption) {
    Print(err_, std::string(caption) + std::string(text));
}

void ConsoleWindow::ReportDownload() {
    titleOpen_ = false;
    const std::string title = boxes_[EditBox::编辑框1];
    const std::int64_t size = BookSize(title);
    if (size > 0) {
        ++saved_;
        Print(out_, Utf8ToGbk("  已保存：") + title + ".txt (" + std::to_string(size) +
                        Utf8ToGbk(" 字节)"));
    } else {
        ++failed_;
        Print(out_, Utf8ToGbk("  失败：") + title);
    }
}

void ConsoleWindow::Print(std::FILE* stream, const std::string& gbkLine) {
    const std::string line = GbkToUtf8(gbkLine) + "\n";
    std::fwrite(line.data(), 1, line.size(), stream);
    std::fflush(stream);
}

int RunConsoleBatch(std::string_view folder, std::string_view listPath,
                    const std::optional<std::string>& proxy, std::FILE* out, std::FILE* err) {
    platform::SetCurrentDirectory(folder);
    SetProgramDirectory(folder);
    CreateNameLists();
    LoadNameList(listPath);

    ConsoleWindow window(PendingNames().Count(), out, err);
    if (proxy) window.SetText(EditBox::编辑框3, *proxy);
    RunBatch(proxy ? BatchMode::Proxy : BatchMode::Normal, window);
    DeleteDownloader();
    ReleaseNameLists();

    const std::size_t titles = window.Saved() + window.Failed();
    if (titles == 0) return 1;
    std::string summary = Utf8ToGbk("完成：") + std::to_string(window.Saved()) + "/" +
                          std::to_string(titles) + Utf8ToGbk(" 本已保存");
    if (window.Failed() > 0) {
        summary += Utf8ToGbk("；失败的书名记在 ") + ProgramDirectory() + "/" + FailureListName();
    }
    const std::string line = GbkToUtf8(summary) + "\n";
    std::fwrite(line.data(), 1, line.size(), out);
    std::fflush(out);
    return window.Failed() == 0 ? 0 : 1;
}

}  // namespace mojing
