#pragma once

#include <QByteArray>
#include <QImage>

namespace padscope::render {

// The image as a PNG file: 8-bit RGB for an opaque image, RGBA (not
// premultiplied) for one with alpha, the same pixels as Qt's writer gives.
// Unlike Qt's writer it does not try every row filter, and it compresses
// only runs of a repeated pixel or row: drawings on a plain background are
// made of those, and the trying and searching took more time than drawing.
// Empty when the image is null or encoding fails.
QByteArray encode_png(const QImage& image);

}  // namespace padscope::render
