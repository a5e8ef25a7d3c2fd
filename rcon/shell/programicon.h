#pragma once

#include <QIcon>

namespace talvero {
// The program's icon (main window, tray), drawn in code: a console prompt on a dark tile.
QIcon programIcon();
} // namespace talvero
