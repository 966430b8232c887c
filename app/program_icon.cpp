#include "app/program_icon.h"

#include <QString>

namespace mojing {

QIcon ProgramIcon() {
    QIcon icon;
    for (const int size : {128, 64, 48, 32, 16}) {
        icon.addFile(QStringLiteral(":/icons/icon_%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

}  // namespace mojing
