#include "rcon/app/splashpicture.h"

#include "rcon/kit/fonts.h"
#include "rcon/kit/programicon.h"
#include "rcon/protocol/website.h"

#include <QPainter>
#include <QPainterPath>

namespace talvero {

QPixmap splashPicture() {
    constexpr int Width = 420;
    constexpr int Height = 240;
    QPixmap picture(Width, Height);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient sky(0, 0, Width, Height);
    sky.setColorAt(0.0, QColor(0x1B, 0x27, 0x3D));
    sky.setColorAt(0.6, QColor(0x2C, 0x3E, 0x5C));
    sky.setColorAt(1.0, QColor(0x12, 0x1A, 0x28));
    painter.fillRect(picture.rect(), sky);

    // A console screen on the right with a few lines of server output and the prompt.
    const QRectF screen(236, 36, 160, 112);
    QPainterPath screenPath;
    screenPath.addRoundedRect(screen, 8, 8);
    painter.fillPath(screenPath, QColor(0x0A, 0x10, 0x1A, 230));
    painter.setPen(QPen(QColor(0x5A, 0x6E, 0x8C), 1.5));
    painter.drawPath(screenPath);
    const QColor text(0x7C, 0xE0, 0x6A);
    painter.setPen(Qt::NoPen);
    const qreal lines[] = {0.78, 0.55, 0.68, 0.40};
    for (int i = 0; i < 4; ++i) {
        QColor line = text;
        line.setAlpha(90 + i * 30);
        painter.setBrush(line);
        painter.drawRoundedRect(QRectF(screen.left() + 14, screen.top() + 16 + i * 14,
                                       (screen.width() - 28) * lines[i], 5),
                                2, 2);
    }
    QPen prompt(text, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(prompt);
    painter.setBrush(Qt::NoBrush);
    const QPointF at(screen.left() + 16, screen.bottom() - 30);
    painter.drawPolyline(QPolygonF{at, at + QPointF(12, 9), at + QPointF(0, 18)});
    painter.drawLine(at + QPointF(22, 19), at + QPointF(44, 19));

    // The name, the purpose and the version on the left.
    painter.drawPixmap(24, 36, programIcon().pixmap(48, 48));
    painter.setPen(QColor(0xF2, 0xF4, 0xF8));
    painter.setFont(tahoma(26, true));
    painter.drawText(QRectF(24, 92, 210, 44), Qt::AlignLeft | Qt::AlignVCenter,
                     QString::fromLatin1(ProductName));
    painter.setPen(QColor(0xB8, 0xC4, 0xD6));
    painter.setFont(tahoma(9));
    painter.drawText(QRectF(24, 136, 210, 40), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                     QStringLiteral("Remote console for Half-Life and Counter-Strike servers"));

    // A band along the foot with the version and the website.
    painter.fillRect(QRectF(0, Height - 34, Width, 34), QColor(0x0A, 0x10, 0x1A, 160));
    painter.setPen(QColor(0x8A, 0x98, 0xAE));
    painter.setFont(tahoma(8));
    painter.drawText(QRectF(24, Height - 34, Width - 48, 34), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Version ") + QStringLiteral(TALVERO_VERSION));
    painter.drawText(QRectF(24, Height - 34, Width - 48, 34), Qt::AlignRight | Qt::AlignVCenter,
                     QString::fromLatin1(WebsiteAddress));
    painter.setPen(QPen(QColor(0x3A, 0x46, 0x5A), 1));
    painter.drawRect(QRectF(0.5, 0.5, Width - 1, Height - 1));
    return picture;
}

} // namespace talvero
