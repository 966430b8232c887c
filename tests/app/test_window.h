#pragma once

#include <string>
#include <vector>

#include "app/main_window.h"
#include "batch/window_interface.h"

namespace mojing::test {

// The main window with its close requests counted and refused, so that a test can raise them
// without ending the test process.
class TestWindow : public MainWindow {
  public:
    using MainWindow::MainWindow;
    bool OnCloseRequested() override {
        ++closeRequests;
        return false;
    }
    int closeRequests = 0;
};

// The items of PendingNames, in order.
std::vector<std::string> PendingItems();

}  // namespace mojing::test
