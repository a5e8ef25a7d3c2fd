#include "rcon/kit/fonts.h"

#include <QFileInfo>
#include <QFontDatabase>

namespace talvero {

void registerApplicationFonts() {
    if (QFontDatabase::hasFamily(QStringLiteral("Tahoma")))
        return;
    const QString wineTahoma = QStringLiteral("/usr/share/wine/fonts/tahoma.ttf");
    if (QFileInfo::exists(wineTahoma))
        QFontDatabase::addApplicationFont(wineTahoma);
}

QFont tahoma(qreal pointSize, bool bold) {
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

QFont consoleFont() {
    if (QFontDatabase::hasFamily(QStringLiteral("Lucida Console"))) {
        QFont font(QStringLiteral("Lucida Console"));
        font.setPointSizeF(9);
        return font;
    }
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(9);
    return font;
}

} // namespace talvero
