#pragma once

#include "rcon/xpbutton/xpbutton.h"

#include <QImage>

#include <array>

// The four pictures of one button style (normal, hover, pressed, disabled), 73 x 21 pixels
// each, with a one-pixel border and rounded corners that let the window show through. Each
// style is drawn once, on first use, and kept for the life of the program.
class XpButtonPictures final {
public:
    // Style 0 (blue), 1 (olive) or 2 (silver); null for any other style.
    static const XpButtonPictures *forStyle(short style);

    const QImage &picture(XpButton::State state) const;

    XpButtonPictures(const XpButtonPictures &) = delete;
    XpButtonPictures &operator=(const XpButtonPictures &) = delete;

private:
    explicit XpButtonPictures(short style);

    std::array<QImage, 4> m_pictures;
};
