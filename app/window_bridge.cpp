#include "app/window_bridge.h"

#include <QMessageBox>
#include <QMetaObject>
#include <QString>
#include <QThread>
#include <atomic>
#include <future>
#include <memory>
#include <utility>

#include "app/gbk_text.h"
#include "app/main_window.h"

namespace mojing {
namespace {

QMessageBox* MakeMessageBox(const QString& text, const QString& caption) {
    auto* box = new QMessageBox(QMessageBox::NoIcon, caption, text, QMessageBox::Ok);
    // QMessageBox makes itself application-modal unless told otherwise.
    box->setWindowModality(Qt::NonModal);
    return box;
}

// Lets the waiting worker go once, whichever of the box's signals comes first.
class BoxClosed {
  public:
    std::future<void> Future() { return closed_.get_future(); }
    void Signal() {
        if (!signalled_.exchange(true)) closed_.set_value();
    }

  private:
    std::promise<void> closed_;
    std::atomic<bool> signalled_{false};
};

}  // namespace

WindowBridge::WindowBridge(MainWindow& window) : window_(window) {}

bool WindowBridge::OnWindowThread() const { return QThread::currentThread() == window_.thread(); }

template <typename Work>
void WindowBridge::CarryOut(Work&& work) {
    if (OnWindowThread()) {
        work();
    } else {
        QMetaObject::invokeMethod(&window_, std::forward<Work>(work), Qt::BlockingQueuedConnection);
    }
}

std::string WindowBridge::GetText(EditBox box) {
    QString text;
    CarryOut([&] { text = window_.Text(box); });
    return ToGbk(text);
}

void WindowBridge::SetText(EditBox box, std::string_view text) {
    const QString shown = FromGbk(text);
    CarryOut([&] { window_.SetText(box, shown); });
}

void WindowBridge::SetButtonEnabled(BatchButton button, bool enabled) {
    CarryOut([&] { window_.SetButtonEnabled(button, enabled); });
}

void WindowBridge::SetStatusText(int part, std::string_view text) {
    const QString shown = FromGbk(text);
    CarryOut([&] { window_.SetStatusText(part, shown); });
}

void WindowBridge::ShowMessage(std::string_view text, std::string_view caption) {
    const QString shownText = FromGbk(text);
    const QString shownCaption = FromGbk(caption);
    if (OnWindowThread()) {
        std::unique_ptr<QMessageBox> box(MakeMessageBox(shownText, shownCaption));
        box->setWindowModality(Qt::ApplicationModal);
        box->exec();
        return;
    }
    // The window's thread only puts the box up; waiting is the worker's part, so the window
    // never runs a loop of its own on a worker's behalf.
    auto closed = std::make_shared<BoxClosed>();
    std::future<void> done = closed->Future();
    CarryOut([&] {
        QMessageBox* box = MakeMessageBox(shownText, shownCaption);
        box->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(box, &QDialog::finished, [closed] { closed->Signal(); });
        QObject::connect(box, &QObject::destroyed, [closed] { closed->Signal(); });
        box->show();
    });
    done.wait();
}

}  // namespace mojing
