#include "rcon/xpbutton/xpbuttonpictures.h"

#include <QPainter>

#include <cmath>

namespace {

constexpr int Width = XpButton::PictureWidth;
constexpr int Height = XpButton::PictureHeight;
// The face lies inside the one-pixel border: columns 1 to 71, rows 1 to 19.
constexpr int FaceLeft = 1;
constexpr int FaceRight = Width - 2;
constexpr int FaceTop = 1;
constexpr int FaceBottom = Height - 2;
constexpr int FaceRows = FaceBottom - FaceTop + 1;

QColor mix(const QColor &from, const QColor &to, double t) {
    const auto channel = [t](int a, int b) { return int(std::lround(a + (b - a) * t)); };
    return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()),
                  channel(from.blue(), to.blue()));
}

// 0 on the face's top row, 1 on its bottom row.
double depth(int row) {
    return double(row - FaceTop) / double(FaceRows - 1);
}

using Shade = QColor (*)(int row);

struct Style {
    QColor border;
    Shade normalFace;
    Shade pressedFace;
    // The hover rim, two pixels wide inside the border: outer and inner ring at the top, inner
    // and outer ring at the bottom; the sides shade from the top colours to the bottom ones.
    QColor rimTopOuter, rimTopInner, rimBottomInner, rimBottomOuter;
    QColor disabledBorder;
    QColor disabledFace;
};

const QColor White(255, 255, 255);

QColor blueFace(int row) {
    if (row == FaceTop)
        return White;
    if (row == FaceBottom - 1)
        return QColor(236, 235, 230);
    if (row == FaceBottom)
        return QColor(214, 208, 197);
    return QColor(245, 245, 241);
}

QColor bluePressed(int) {
    return QColor(226, 225, 217);
}

QColor oliveFace(int row) {
    if (row == FaceTop)
        return QColor(255, 254, 246);
    if (row == FaceBottom - 1)
        return QColor(241, 236, 214);
    if (row == FaceBottom)
        return QColor(227, 220, 193);
    return QColor(249, 246, 229);
}

QColor olivePressed(int) {
    return QColor(236, 227, 206);
}

QColor silverFace(int row) {
    // Mostly white, darkening towards the bottom like a lit rounded surface.
    const double t = depth(row);
    return mix(White, QColor(198, 197, 215), t * t);
}

QColor silverPressed(int row) {
    if (row == FaceTop)
        return White;
    return mix(QColor(172, 171, 189), White, double(row - FaceTop - 1) / double(FaceRows - 2));
}

Style styleTable(short style) {
    const QColor blueBorder(0, 60, 116);
    const QColor orangeTop(255, 240, 207);
    const QColor orangeBottom(229, 151, 0);
    const double step = 1.0 / double(FaceRows - 1);
    switch (style) {
    case 0:
        return {blueBorder,
                blueFace,
                bluePressed,
                orangeTop,
                QColor(253, 216, 137),
                QColor(248, 179, 48),
                orangeBottom,
                QColor(201, 199, 186),
                QColor(245, 244, 234)};
    case 1: {
        const QColor top(252, 197, 149);
        const QColor bottom(207, 114, 37);
        return {QColor(55, 98, 6),
                oliveFace,
                olivePressed,
                top,
                mix(top, bottom, step),
                mix(top, bottom, 1 - step),
                bottom,
                QColor(202, 196, 184),
                QColor(246, 242, 233)};
    }
    default:
        return {blueBorder,
                silverFace,
                silverPressed,
                orangeTop,
                mix(orangeTop, orangeBottom, step),
                mix(orangeTop, orangeBottom, 1 - step),
                orangeBottom,
                QColor(201, 199, 186),
                QColor(245, 244, 234)};
    }
}

void fillFace(QPainter &painter, Shade shade) {
    for (int row = FaceTop; row <= FaceBottom; ++row)
        painter.fillRect(FaceLeft, row, FaceRight - FaceLeft + 1, 1, shade(row));
}

void fillFlatFace(QPainter &painter, const QColor &colour) {
    painter.fillRect(FaceLeft, FaceTop, FaceRight - FaceLeft + 1, FaceRows, colour);
}

void drawHoverRim(QPainter &painter, const Style &style) {
    const int faceWidth = FaceRight - FaceLeft + 1;
    painter.fillRect(FaceLeft, FaceTop, faceWidth, 1, style.rimTopOuter);
    painter.fillRect(FaceLeft + 1, FaceTop + 1, faceWidth - 2, 1, style.rimTopInner);
    painter.fillRect(FaceLeft + 1, FaceBottom - 1, faceWidth - 2, 1, style.rimBottomInner);
    painter.fillRect(FaceLeft, FaceBottom, faceWidth, 1, style.rimBottomOuter);
    for (int row = FaceTop + 1; row < FaceBottom; ++row) {
        const double t = depth(row);
        const QColor outer = mix(style.rimTopOuter, style.rimBottomOuter, t);
        painter.fillRect(FaceLeft, row, 1, 1, outer);
        painter.fillRect(FaceRight, row, 1, 1, outer);
        if (row > FaceTop + 1 && row < FaceBottom - 1) {
            const QColor inner = mix(style.rimTopInner, style.rimBottomInner, t);
            painter.fillRect(FaceLeft + 1, row, 1, 1, inner);
            painter.fillRect(FaceRight - 1, row, 1, 1, inner);
        }
    }
}

// The border's straight runs, then the rounded corners: the outermost corner pixel stays
// clear, its two neighbours are a faint edge, and the pixel inside it blends border and face.
void drawBorder(QPainter &painter, QImage &image, const QColor &border) {
    painter.fillRect(2, 0, Width - 4, 1, border);
    painter.fillRect(2, Height - 1, Width - 4, 1, border);
    painter.fillRect(0, 2, 1, Height - 4, border);
    painter.fillRect(Width - 1, 2, 1, Height - 4, border);

    QColor faint = border;
    faint.setAlpha(96);
    const int right = Width - 1;
    const int bottom = Height - 1;
    for (const QPoint &p :
         {QPoint(1, 0), QPoint(0, 1), QPoint(right - 1, 0), QPoint(right, 1), QPoint(0, bottom - 1),
          QPoint(1, bottom), QPoint(right, bottom - 1), QPoint(right - 1, bottom)})
        painter.fillRect(p.x(), p.y(), 1, 1, faint);

    painter.end();
    for (const QPoint &p :
         {QPoint(1, 1), QPoint(right - 1, 1), QPoint(1, bottom - 1), QPoint(right - 1, bottom - 1)})
        image.setPixelColor(p, mix(image.pixelColor(p), border, 0.6));
}

QImage blankPicture() {
    QImage image(Width, Height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

} // namespace

XpButtonPictures::XpButtonPictures(short style) {
    const Style table = styleTable(style);
    const auto draw = [&table](auto paintFace, const QColor &border) {
        QImage image = blankPicture();
        QPainter painter(&image);
        paintFace(painter);
        drawBorder(painter, image, border);
        return image;
    };
    m_pictures[0] = draw([&](QPainter &p) { fillFace(p, table.normalFace); }, table.border);
    m_pictures[1] = draw(
        [&](QPainter &p) {
            fillFace(p, table.normalFace);
            drawHoverRim(p, table);
        },
        table.border);
    m_pictures[2] = draw([&](QPainter &p) { fillFace(p, table.pressedFace); }, table.border);
    m_pictures[3] =
        draw([&](QPainter &p) { fillFlatFace(p, table.disabledFace); }, table.disabledBorder);
}

const XpButtonPictures *XpButtonPictures::forStyle(short style) {
    // Each style is drawn the first time a button asks for it, once for the whole program.
    switch (style) {
    case 0: {
        static const XpButtonPictures blue(0);
        return &blue;
    }
    case 1: {
        static const XpButtonPictures olive(1);
        return &olive;
    }
    case 2: {
        static const XpButtonPictures silver(2);
        return &silver;
    }
    default:
        return nullptr;
    }
}

const QImage &XpButtonPictures::picture(XpButton::State state) const {
    return m_pictures[std::size_t(int(state) - 1)];
}
