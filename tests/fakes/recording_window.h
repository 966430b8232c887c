#pragma once

#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "batch/window_interface.h"

namespace mojing::test {

// The window as the batch sees it, in memory: boxes, button states, the two status parts, and
// a log of every call in order. Thread-safe, since the batch calls it from its worker.
class RecordingWindow : public WindowInterface {
  public:
    struct Message {
        std::string text;
        std::string caption;
    };

    std::string GetText(EditBox box) override {
        std::lock_guard lock(mutex_);
        return boxes_[box];
    }
    void SetText(EditBox box, std::string_view text) override {
        std::lock_guard lock(mutex_);
        boxes_[box] = text;
        log_.push_back("text " + std::to_string(static_cast<int>(box)) + " " + std::string(text));
    }
    void SetButtonEnabled(BatchButton button, bool enabled) override {
        std::lock_guard lock(mutex_);
        buttons_[button] = enabled;
        log_.push_back(std::string(enabled ? "enable " : "disable ") +
                       std::to_string(static_cast<int>(button)));
    }
    void SetStatusText(int part, std::string_view text) override {
        std::lock_guard lock(mutex_);
        if (part != 0 && part != 1) return;
        status_[part] = text;
        log_.push_back("status " + std::to_string(part) + " " + std::string(text));
    }
    void ShowMessage(std::string_view text, std::string_view caption) override {
        std::lock_guard lock(mutex_);
        messages_.push_back({std::string(text), std::string(caption)});
        log_.push_back("message " + std::string(text));
    }

    void Preset(EditBox box, std::string_view text) {
        std::lock_guard lock(mutex_);
        boxes_[box] = text;
    }
    bool ButtonEnabled(BatchButton button) {
        std::lock_guard lock(mutex_);
        return buttons_[button];
    }
    std::string Status(int part) {
        std::lock_guard lock(mutex_);
        return status_[part];
    }
    std::vector<Message> Messages() {
        std::lock_guard lock(mutex_);
        return messages_;
    }
    std::vector<std::string> Log() {
        std::lock_guard lock(mutex_);
        return log_;
    }

  private:
    std::mutex mutex_;
    std::map<EditBox, std::string> boxes_;
    std::map<BatchButton, bool> buttons_{{BatchButton::按钮1, true}, {BatchButton::按钮2, true}};
    std::string status_[2];
    std::vector<Message> messages_;
    std::vector<std::string> log_;
};

}  // namespace mojing::test
