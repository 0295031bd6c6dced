#include "apps/padscope-render/png_writer.h"

#include <cstring>
#include <libdeflate.h>
#include <memory>

namespace padscope::render {

namespace {

// libdeflate's level 2: as fast as zlib's fastest and smaller than zlib's
// level 3, which took a fifth of a thumbnail's time.
constexpr int kCompression = 2;

struct CompressorFree {
  void operator()(libdeflate_compressor* compressor) const {
    libdeflate_free_compressor(compressor);
  }
};

void append_u32(QByteArray& out, quint32 value) {
  const char bytes[] = {
      static_cast<char>(value >> 24), static_cast<char>(value >> 16),
      static_cast<char>(value >> 8), static_cast<char>(value)};
  out.append(bytes, 4);
}

// A chunk: its length, type and data, and the CRC of type and data.
void append_chunk(QByteArray& out, const char* type, const char* data,
                  qsizetype size) {
  append_u32(out, static_cast<quint32>(size));
  const int start = out.size();
  out.append(type, 4);
  out.append(data, static_cast<int>(size));
  append_u32(out, libdeflate_crc32(0, out.constData() + start,
                                   static_cast<std::size_t>(size) + 4));
}

}  // namespace

QByteArray encode_png(const QImage& image) {
  if (image.isNull()) return QByteArray();
  const bool alpha = image.hasAlphaChannel();
  // Qt's writer stores alpha unpremultiplied, and so must this one; Qt's
  // own conversions lay the bytes out in PNG's order.
  const QImage source = image.convertToFormat(alpha ? QImage::Format_RGBA8888
                                                    : QImage::Format_RGB888);
  if (source.isNull()) return QByteArray();
  const int width = source.width();
  const int height = source.height();
  const std::size_t row = static_cast<std::size_t>(width) * (alpha ? 4 : 3);

  // Every row without a filter: drawings on a plain background compress
  // best so.
  QByteArray rows(static_cast<int>((row + 1) * height), Qt::Uninitialized);
  char* at = rows.data();
  for (int y = 0; y < height; ++y) {
    *at++ = 0;
    std::memcpy(at, source.constScanLine(y), row);
    at += row;
  }
  static const std::unique_ptr<libdeflate_compressor, CompressorFree>
      compressor(libdeflate_alloc_compressor(kCompression));
  if (!compressor) return QByteArray();
  QByteArray packed(
      static_cast<int>(libdeflate_zlib_compress_bound(
          compressor.get(), static_cast<std::size_t>(rows.size()))),
      Qt::Uninitialized);
  const std::size_t packed_size = libdeflate_zlib_compress(
      compressor.get(), rows.constData(), static_cast<std::size_t>(rows.size()),
      packed.data(), static_cast<std::size_t>(packed.size()));
  if (packed_size == 0) return QByteArray();

  QByteArray out;
  out.reserve(static_cast<int>(packed_size) + 128);
  out.append("\x89PNG\r\n\x1a\n", 8);
  QByteArray header;
  append_u32(header, static_cast<quint32>(width));
  append_u32(header, static_cast<quint32>(height));
  // 8 bits a sample, RGB or RGBA, deflate, adaptive filters, no interlace.
  const char rest[] = {8, static_cast<char>(alpha ? 6 : 2), 0, 0, 0};
  header.append(rest, 5);
  append_chunk(out, "IHDR", header.constData(), header.size());
  if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0) {
    QByteArray density;
    append_u32(density, static_cast<quint32>(image.dotsPerMeterX()));
    append_u32(density, static_cast<quint32>(image.dotsPerMeterY()));
    density.append(char(1));  // per metre
    append_chunk(out, "pHYs", density.constData(), density.size());
  }
  append_chunk(out, "IDAT", packed.constData(),
               static_cast<qsizetype>(packed_size));
  append_chunk(out, "IEND", nullptr, 0);
  return out;
}

}  // namespace padscope::render
