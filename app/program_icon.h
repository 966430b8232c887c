#pragma once

#include <QIcon>

namespace mojing {

// The program's icon: 128, 64, 48, 32 and 16 pixels square, RGBA.
QIcon ProgramIcon();

}  // namespace mojing
