#include "apps/padscope-render/png_writer.h"

#include <csetjmp>
#include <png.h>
#include <vector>

namespace padscope::render {

namespace {

// The compression level: below zlib's default, which made small drawings
// hardly smaller for twice the time.
constexpr int kCompression = 3;

void append(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<QByteArray*>(png_get_io_ptr(png));
  out->append(reinterpret_cast<const char*>(data), static_cast<int>(length));
}

void flush(png_structp) {
}

// libpng reports errors by a long jump, so nothing here may need a
// destructor: the caller owns every buffer. False on failure.
bool write_rows(png_structp png, png_infop info, const QImage& image,
                bool alpha, QByteArray* out, png_bytep row) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, out, append, flush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width()),
               static_cast<png_uint_32>(image.height()), 8,
               alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0)
    png_set_pHYs(png, info, static_cast<png_uint_32>(image.dotsPerMeterX()),
                 static_cast<png_uint_32>(image.dotsPerMeterY()),
                 PNG_RESOLUTION_METER);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_set_compression_level(png, kCompression);
  png_write_info(png, info);
  const int width = image.width();
  const int height = image.height();
  for (int y = 0; y < height; ++y) {
    const auto* pixels = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    png_bytep byte = row;
    for (int x = 0; x < width; ++x) {
      const QRgb pixel = pixels[x];
      *byte++ = static_cast<png_byte>(qRed(pixel));
      *byte++ = static_cast<png_byte>(qGreen(pixel));
      *byte++ = static_cast<png_byte>(qBlue(pixel));
      if (alpha) *byte++ = static_cast<png_byte>(qAlpha(pixel));
    }
    png_write_row(png, row);
  }
  png_write_end(png, info);
  return true;
}

}  // namespace

QByteArray encode_png(const QImage& image) {
  if (image.isNull()) return QByteArray();
  const bool alpha = image.hasAlphaChannel();
  // Qt's writer stores alpha unpremultiplied, and so must this one.
  const QImage source = image.convertToFormat(alpha ? QImage::Format_ARGB32
                                                    : QImage::Format_RGB32);
  std::vector<png_byte> row(static_cast<std::size_t>(source.width()) *
                            (alpha ? 4 : 3));
  QByteArray out;
  out.reserve(16 * 1024);
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return QByteArray();
  png_infop info = png_create_info_struct(png);
  const bool written =
      info && write_rows(png, info, source, alpha, &out, row.data());
  png_destroy_write_struct(&png, &info);
  return written ? out : QByteArray();
}

}  // namespace padscope::render
