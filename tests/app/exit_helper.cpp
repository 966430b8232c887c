// Quits through the program's real exit on the offscreen platform, from the working folder it is
// started in: "no" answers the close question No, "quit" chooses 退出 from the tray menu. It says
// on standard error when the name lists are released.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <string>

#include "app/exit_program.h"
#include "app/main_window.h"
#include "batch/name_lists.h"

namespace {

void SayReleased() {
    mojing::ReleaseNameLists();
    std::fputs("name lists released\n", stderr);
}

void AnswerNo() {
    QTimer::singleShot(10, [] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box != nullptr && box->isVisible()) {
                box->button(QMessageBox::No)->click();
                return;
            }
        }
        AnswerNo();
    });
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const std::string mode = argc > 1 ? argv[1] : "";
    mojing::CreateNameLists();
    mojing::RegisterExitRoutine(&SayReleased);
    mojing::MainWindow window;
    window.show();
    if (mode == "no") {
        AnswerNo();
        window.close();
    } else if (mode == "quit") {
        window.findChild<QMenu*>(QStringLiteral("菜单_"))->actions().at(2)->trigger();
    } else {
        return 2;
    }
    std::fputs("the program went on\n", stderr);
    return 3;
}
