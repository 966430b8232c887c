#pragma once

#include <QWidget>
#include <functional>

namespace mojing::test {

// Calls act with the first widget that find returns from now on, from inside whatever event
// loop runs then (a modal box's exec, a QEventLoop). Fails the test when none turns up.
void WhenShown(std::function<QWidget*()> find, std::function<void(QWidget&)> act);

// The application-modal window shown at the moment, if any.
QWidget* ActiveModal();
// A visible top-level QMessageBox, if any.
QWidget* VisibleMessageBox();

}  // namespace mojing::test
