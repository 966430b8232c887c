// Draws the main window as it opens into a PNG file, on the offscreen platform.
#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <cstdio>

#include "app/main_window.h"
#include "batch/name_lists.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argc > 0 ? argv[0] : "mojing-render-window");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    mojing::CreateNameLists();
    QApplication application(argc, argv);
    mojing::MainWindow window;
    window.show();
    QApplication::processEvents();
    const QImage picture = window.grab().toImage();
    if (!picture.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("%s: %d x %d (window frame %d x %d)\n", argv[1], picture.width(), picture.height(),
                window.frameGeometry().width(), window.frameGeometry().height());
    return 0;
}
