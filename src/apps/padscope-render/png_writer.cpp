#include "apps/padscope-render/png_writer.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <libdeflate.h>

namespace padscope::render {

namespace {

// Deflate's lengths and distances: the base of each code and its extra bits.
constexpr int kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                 15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr int kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr int kDistanceBase[30] = {
    1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
    33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr int kDistanceExtra[30] = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                    4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                    9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr std::size_t kLongestMatch = 258;
constexpr std::size_t kWindow = 32768;
constexpr int kEndOfBlock = 256;

// A code as deflate writes it: bits reversed, as the stream is filled from
// the least significant bit up while codes are defined from their first.
struct Code {
  std::uint32_t bits = 0;
  int length = 0;
};

Code reversed(std::uint32_t code, int length) {
  std::uint32_t bits = 0;
  for (int i = 0; i < length; ++i, code >>= 1) bits = bits << 1 | (code & 1);
  return {bits, length};
}

// Deflate's fixed codes, and the length code of each match length.
struct FixedCodes {
  FixedCodes() {
    for (int v = 0; v < 288; ++v) {
      if (v < 144)
        symbol[v] = reversed(0x30 + v, 8);
      else if (v < 256)
        symbol[v] = reversed(0x190 + v - 144, 9);
      else if (v < 280)
        symbol[v] = reversed(v - 256, 7);
      else
        symbol[v] = reversed(0xc0 + v - 280, 8);
    }
    for (int d = 0; d < 30; ++d) distance[d] = reversed(d, 5);
    int code = 0;
    for (std::size_t length = 3; length <= kLongestMatch; ++length) {
      while (code + 1 < 29 && kLengthBase[code + 1] <= int(length)) ++code;
      length_code[length] = code;
    }
  }
  Code symbol[288];
  Code distance[30];
  int length_code[kLongestMatch + 1] = {};
};

// Fills a buffer from the least significant bit up, 32 bits at a time; the
// buffer must have 8 bytes to spare past the last it gets.
class BitWriter {
public:
  explicit BitWriter(char* at) : at(at) {}
  void put(std::uint32_t value, int count) {
    buffer |= std::uint64_t{value} << used;
    used += count;
    if (used < 32) return;
    std::memcpy(at, &buffer, 8);
    at += 4;
    buffer >>= 32;
    used -= 32;
  }
  void put(const Code& code) { put(code.bits, code.length); }
  // The end of what was written, the last byte filled up with zeros.
  char* finish() {
    std::memcpy(at, &buffer, 8);
    return at + (used + 7) / 8;
  }

private:
  char* at;
  std::uint64_t buffer = 0;
  int used = 0;
};

// How many of the first `most` bytes at `a` and `b` are equal.
std::size_t same_bytes(const unsigned char* a, const unsigned char* b,
                       std::size_t most) {
  std::size_t count = 0;
  for (; count + 8 <= most; count += 8) {
    std::uint64_t x, y;
    std::memcpy(&x, a + count, 8);
    std::memcpy(&y, b + count, 8);
    if (x != y) return count + (__builtin_ctzll(x ^ y) >> 3);
  }
  while (count < most && a[count] == b[count]) ++count;
  return count;
}

// A distance back that matches are looked for at, with its code.
struct Reach {
  std::size_t back = 0;
  int code = -1;
};

Reach reach(std::size_t back) {
  Reach made;
  if (back == 0 || back > kWindow) return made;
  made.back = back;
  made.code = 0;
  while (made.code + 1 < 30 && kDistanceBase[made.code + 1] <= int(back))
    ++made.code;
  return made;
}

// `rows` as a zlib stream of one deflate block in the fixed codes. Matches
// are looked for only one pixel and one row back: a drawing is mostly
// runs of its background and of flat fills, which those find. A general
// compressor hashed every byte of those runs; this takes a quarter of the
// time (level 2 of libdeflate took a fifth of a footprint's) for files
// about half as large again.
QByteArray zlib_of(const QByteArray& rows, std::size_t pixel, std::size_t row) {
  static const FixedCodes codes;
  const auto* data = reinterpret_cast<const unsigned char*>(rows.constData());
  const std::size_t size = static_cast<std::size_t>(rows.size());
  // A byte takes 9 bits at most, as a literal or as its share of a match.
  const std::size_t bound = size + size / 8 + 32;
  if (bound > static_cast<std::size_t>(INT_MAX)) return QByteArray();
  QByteArray out(static_cast<int>(bound), Qt::Uninitialized);
  out[0] = 0x78;  // deflate with a 32 KiB window
  out[1] = 0x01;  // no dictionary; the pair a multiple of 31
  BitWriter bits(out.data() + 2);
  bits.put(0b011, 3);  // the last block, in the fixed codes
  const Reach reaches[] = {reach(pixel), reach(row)};
  for (std::size_t at = 0; at < size;) {
    const std::size_t most = std::min(kLongestMatch, size - at);
    std::size_t length = 0;
    const Reach* from = nullptr;
    for (const Reach& r : reaches) {
      // Most literals differ at once from both bytes they are checked with.
      if (r.code < 0 || at < r.back || length == most ||
          data[at] != data[at - r.back])
        continue;
      const std::size_t same = same_bytes(data + at, data + at - r.back, most);
      if (same > length) {
        length = same;
        from = &r;
      }
    }
    if (length < 3) {
      bits.put(codes.symbol[data[at++]]);
      continue;
    }
    const int code = codes.length_code[length];
    bits.put(codes.symbol[257 + code]);
    bits.put(static_cast<std::uint32_t>(length - kLengthBase[code]),
             kLengthExtra[code]);
    bits.put(codes.distance[from->code]);
    bits.put(static_cast<std::uint32_t>(from->back - kDistanceBase[from->code]),
             kDistanceExtra[from->code]);
    at += length;
  }
  bits.put(codes.symbol[kEndOfBlock]);
  char* end = bits.finish();
  const std::uint32_t check = libdeflate_adler32(1, data, size);
  for (const int shift : {24, 16, 8, 0})
    *end++ = static_cast<char>(check >> shift);
  out.truncate(static_cast<int>(end - out.constData()));
  return out;
}

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
  const QByteArray packed = zlib_of(rows, alpha ? 4 : 3, row + 1);
  if (packed.isEmpty()) return QByteArray();

  QByteArray out;
  out.reserve(packed.size() + 128);
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
  append_chunk(out, "IDAT", packed.constData(), packed.size());
  append_chunk(out, "IEND", nullptr, 0);
  return out;
}

}  // namespace padscope::render
