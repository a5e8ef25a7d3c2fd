#pragma once

#include <QFont>

namespace talvero {
// Makes "Tahoma" available: the system's own, else the one Debian's fonts-wine ships.
// Call once after the application object exists.
void registerApplicationFonts();
// Tahoma at the given point size, or the nearest sans font where there is none.
QFont tahoma(qreal pointSize, bool bold = false);
// The output pane's font: "Lucida Console" 9 pt where present, else a fixed-pitch font.
QFont consoleFont();
} // namespace talvero
