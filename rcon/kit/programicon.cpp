#include "rcon/kit/programicon.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace talvero {

QImage programIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QPainterPath tile;
    tile.addRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s * 0.18, s * 0.18);
    QLinearGradient face(0, 0, 0, s);
    face.setColorAt(0, QColor(0x3A, 0x4A, 0x66));
    face.setColorAt(1, QColor(0x12, 0x1A, 0x28));
    painter.fillPath(tile, face);
    painter.setPen(QPen(QColor(0x0A, 0x10, 0x1A), 1));
    painter.drawPath(tile);
    // The prompt: a chevron and a cursor bar.
    QPen prompt(QColor(0x7C, 0xE0, 0x6A), s * 0.1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(prompt);
    painter.drawPolyline(
        QPolygonF{{s * 0.22, s * 0.30}, {s * 0.45, s * 0.50}, {s * 0.22, s * 0.70}});
    painter.drawLine(QPointF(s * 0.52, s * 0.72), QPointF(s * 0.78, s * 0.72));
    painter.end();
    return image;
}

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(programIconImage(size)));
    return icon;
}

} // namespace talvero
