#pragma once

#include <QIcon>
#include <QImage>

namespace talvero {
// The program's icon (main window, tray), drawn in code: a console prompt on a dark tile.
QIcon programIcon();
// The same picture at one size, drawn without a display (the installed icons are made from it).
QImage programIconImage(int size);
} // namespace talvero
