#include "tests/app/modal_driver.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <memory>

namespace mojing::test {
namespace {

constexpr int kPollMilliseconds = 10;
constexpr int kMostPolls = 3000;

void Poll(std::shared_ptr<std::function<QWidget*()>> find,
          std::shared_ptr<std::function<void(QWidget&)>> act, int pollsLeft) {
    QTimer::singleShot(kPollMilliseconds, [find, act, pollsLeft] {
        if (QWidget* widget = (*find)()) {
            (*act)(*widget);
        } else if (pollsLeft > 0) {
            Poll(find, act, pollsLeft - 1);
        } else {
            ADD_FAILURE() << "the awaited window was never shown";
        }
    });
}

}  // namespace

void WhenShown(std::function<QWidget*()> find, std::function<void(QWidget&)> act) {
    Poll(std::make_shared<std::function<QWidget*()>>(std::move(find)),
         std::make_shared<std::function<void(QWidget&)>>(std::move(act)), kMostPolls);
}

QWidget* ActiveModal() { return QApplication::activeModalWidget(); }

QWidget* VisibleMessageBox() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && qobject_cast<QMessageBox*>(widget) != nullptr) return widget;
    }
    return nullptr;
}

}  // namespace mojing::test
