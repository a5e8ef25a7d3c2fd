#pragma once

#include <QPixmap>

namespace talvero {
// The splash picture, drawn in code: the product name over a dark console screen with its
// prompt, the program's purpose and its version.
QPixmap splashPicture();
} // namespace talvero
