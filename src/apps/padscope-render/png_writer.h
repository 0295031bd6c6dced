#pragma once

#include <QByteArray>
#include <QImage>

namespace padscope::render {

// The image as a PNG file: 8-bit RGB for an opaque image, RGBA (not
// premultiplied) for one with alpha, the same pixels as Qt's writer gives.
// Unlike Qt's writer it does not try every row filter: drawings on a
// plain background compress best without one, and the trying took more
// time than drawing. Empty when the image is null or encoding fails.
QByteArray encode_png(const QImage& image);

}  // namespace padscope::render
