#pragma once

#include <string>
#include <string_view>

#include "batch/window_interface.h"

namespace mojing {

class MainWindow;

// What the batch asks of the window, carried out on the window's thread. A worker waits until
// its call has been carried out; on the window's thread a call runs at once.
class WindowBridge final : public WindowInterface {
  public:
    explicit WindowBridge(MainWindow& window);

    std::string GetText(EditBox box) override;
    void SetText(EditBox box, std::string_view text) override;
    void SetButtonEnabled(BatchButton button, bool enabled) override;
    void SetStatusText(int part, std::string_view text) override;
    // From a worker the box has no owner and blocks nothing but the worker, so the window stays
    // usable; on the window's thread the box is modal and the call returns when it is closed.
    void ShowMessage(std::string_view text, std::string_view caption) override;

  private:
    bool OnWindowThread() const;
    template <typename Work>
    void CarryOut(Work&& work);

    MainWindow& window_;
};

}  // namespace mojing
