#pragma once

#include <string>
#include <string_view>

namespace mojing {

enum class EditBox { 编辑框1 = 1, 编辑框2, 编辑框3, 编辑框4 };
enum class BatchButton { 按钮1 = 1, 按钮2 };

// What the batch needs of the window. Texts are GBK. Every call is synchronous: from a worker it
// is carried out on the window's thread while the worker waits.
class WindowInterface {
  public:
    virtual ~WindowInterface() = default;

    virtual std::string GetText(EditBox box) = 0;
    virtual void SetText(EditBox box, std::string_view text) = 0;
    virtual void SetButtonEnabled(BatchButton button, bool enabled) = 0;
    // Parts 0 and 1; any other index does nothing.
    virtual void SetStatusText(int part, std::string_view text) = 0;
    // A box with one OK button and no owner; returns when it is closed.
    virtual void ShowMessage(std::string_view text, std::string_view caption) = 0;
};

// "信息：", the caption of a message box unless the call gives another.
const std::string& DefaultMessageCaption();

}  // namespace mojing
