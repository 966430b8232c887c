#pragma once

#include <cstddef>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "batch/window_interface.h"

namespace mojing {

// The window on a terminal, for a batch without a window: each title with its position, the
// address found and whether the book was saved go to out, a message box becomes a line on err.
// Texts arrive in GBK and leave in UTF-8.
class ConsoleWindow : public WindowInterface {
  public:
    ConsoleWindow(std::size_t titles, std::FILE* out, std::FILE* err);

    std::string GetText(EditBox box) override;
    void SetText(EditBox box, std::string_view text) override;
    void SetButtonEnabled(BatchButton button, bool enabled) override;
    void SetStatusText(int part, std::string_view text) override;
    void ShowMessage(std::string_view text, std::string_view caption) override;

    std::size_t Saved() const { return saved_; }
    std::size_t Failed() const { return failed_; }

  private:
    void Print(std::FILE* stream, const std::string& gbkLine);
    void ReportDownload();

    std::size_t titles_;
    std::FILE* out_;
    std::FILE* err_;
    std::map<EditBox, std::string> boxes_;
    std::size_t position_ = 0;
    bool titleOpen_ = false;
    std::size_t saved_ = 0;
    std::size_t failed_ = 0;
};

// Runs the batch over the list with no window, in folder (GBK), which becomes the working and the
// program's folder; a proxy makes it the proxy mode. The exit code: 0 when every title was
// saved, 1 when any failed or the list held none.
int RunConsoleBatch(std::string_view folder, std::string_view listPath,
                    const std::optional<std::string>& proxy, std::FILE* out, std::FILE* err);

}  // namespace mojing
