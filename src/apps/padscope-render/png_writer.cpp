#include "apps/padscope-render/png_writer.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <libdeflate.h>
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif
#include <vector>

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

// Two pixels in a word, the first in its low half as memory holds them.
std::uint64_t pixel_pair(const std::uint32_t* at) {
  std::uint64_t pair;
  std::memcpy(&pair, at, sizeof pair);
  return pair;
}

// Of two pixels that differ in `difference`, whether the first is equal.
bool first_equal(std::uint64_t difference) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  return (difference >> 32) == 0;
#else
  return static_cast<std::uint32_t>(difference) == 0;
#endif
}

// How many of the first `most` pixels at `a` equal those at `b`, in the
// bits of `mask`; compared two at a time.
int same_pixels(const std::uint32_t* a, const std::uint32_t* b, int most,
                std::uint32_t mask) {
  const std::uint64_t masks = std::uint64_t{mask} << 32 | mask;
  int count = 0;
  for (; count + 2 <= most; count += 2) {
    const std::uint64_t difference =
        (pixel_pair(a + count) ^ pixel_pair(b + count)) & masks;
    if (difference != 0) return count + first_equal(difference);
  }
  if (count < most && ((a[count] ^ b[count]) & mask) == 0) ++count;
  return count;
}

// How many of the first `most` pixels at `a` equal `pixel`.
int run_of(const std::uint32_t* a, std::uint32_t pixel, int most,
           std::uint32_t mask) {
  const std::uint64_t masks = std::uint64_t{mask} << 32 | mask;
  const std::uint64_t pixels = std::uint64_t{pixel} << 32 | pixel;
  int count = 0;
  for (; count + 2 <= most; count += 2) {
    const std::uint64_t difference = (pixel_pair(a + count) ^ pixels) & masks;
    if (difference != 0) return count + first_equal(difference);
  }
  if (count < most && ((a[count] ^ pixel) & mask) == 0) ++count;
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

// 0xAARRGGBB words to the bytes R, G, B, at `out`, which has room for
// 16 bytes past the last.
void pack_rgb_words(const std::uint32_t* words, int width, unsigned char* out) {
  for (int x = 0; x < width; ++x, out += 3) {
    const std::uint32_t rgb = __builtin_bswap32(words[x]) >> 8;
    std::memcpy(out, &rgb, 4);
  }
}

#if defined(__x86_64__) || defined(__i386__)
// The same four pixels a shuffle.
__attribute__((target("ssse3"))) void pack_rgb_ssse3(const std::uint32_t* words,
                                                     int width,
                                                     unsigned char* out) {
  const __m128i order =
      _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
  int x = 0;
  for (; x + 4 <= width; x += 4, out += 12) {
    const __m128i four =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(words + x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     _mm_shuffle_epi8(four, order));
  }
  pack_rgb_words(words + x, width - x, out);
}

void pack_rgb(const std::uint32_t* words, int width, unsigned char* out) {
  static const bool shuffles = __builtin_cpu_supports("ssse3");
  if (shuffles)
    pack_rgb_ssse3(words, width, out);
  else
    pack_rgb_words(words, width, out);
}
#else
void pack_rgb(const std::uint32_t* words, int width, unsigned char* out) {
  pack_rgb_words(words, width, out);
}
#endif

// The pixels of a 32-bit image as PNG rows, each after its filter byte:
// RGB from RGB32's words, or RGBA8888's bytes as they stand.
class Rows {
public:
  explicit Rows(const QImage& image)
      : image(image),
        alpha(image.format() == QImage::Format_RGBA8888),
        pixel_bytes(alpha ? 4 : 3),
        mask(alpha ? 0xffffffffu : 0x00ffffffu),
        // Pixels are written four bytes at a time, or sixteen for four,
        // the bytes past them overwritten by the next.
        packed(17 + static_cast<std::size_t>(image.width()) * pixel_bytes) {}

  const std::uint32_t* words(int y) const {
    return reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
  }
  // Row `y` with its filter byte, as the stream holds it.
  const unsigned char* bytes(int y) {
    const int width = image.width();
    packed[0] = 0;
    if (alpha) {
      std::memcpy(packed.data() + 1, image.constScanLine(y),
                  static_cast<std::size_t>(width) * 4);
      return packed.data();
    }
    pack_rgb(words(y), width, packed.data() + 1);
    return packed.data();
  }
  // The row packed last.
  const unsigned char* last_bytes() const { return packed.data(); }

  const QImage& image;
  const bool alpha;
  const std::size_t pixel_bytes;
  const std::uint32_t mask;

private:
  std::vector<unsigned char> packed;
};

// The rows as a zlib stream of one deflate block in the fixed codes.
// Matches are whole pixels, one pixel or one row back: a drawing is mostly
// runs of its background and of flat fills, which those find, and a row
// like the one above is one match. Pixels are compared as words.
QByteArray zlib_of(Rows& rows) {
  static const FixedCodes codes;
  const int width = rows.image.width();
  const int height = rows.image.height();
  const std::size_t row = static_cast<std::size_t>(width) * rows.pixel_bytes;
  const std::size_t size = (row + 1) * static_cast<std::size_t>(height);
  // A byte takes 9 bits at most, as a literal or as its share of a match.
  const std::size_t bound = size + size / 8 + 32;
  if (bound > static_cast<std::size_t>(INT_MAX)) return QByteArray();
  QByteArray out(static_cast<int>(bound), Qt::Uninitialized);
  out[0] = 0x78;  // deflate with a 32 KiB window
  out[1] = 0x01;  // no dictionary; the pair a multiple of 31
  BitWriter bits(out.data() + 2);
  bits.put(0b011, 3);  // the last block, in the fixed codes
  const Reach left = reach(rows.pixel_bytes);
  const Reach up = reach(row + 1);
  const auto match = [&](std::size_t length, const Reach& from) {
    while (length > 0) {
      std::size_t part = std::min(length, kLongestMatch);
      // A match is at least 3 bytes long, the last one too.
      if (length - part > 0 && length - part < 3) part -= 3;
      const int code = codes.length_code[part];
      bits.put(codes.symbol[257 + code]);
      bits.put(static_cast<std::uint32_t>(part - kLengthBase[code]),
               kLengthExtra[code]);
      bits.put(codes.distance[from.code]);
      bits.put(static_cast<std::uint32_t>(from.back - kDistanceBase[from.code]),
               kDistanceExtra[from.code]);
      length -= part;
    }
  };
  // A literal pixel's three bytes as one code of at most 27 bits.
  const auto literal3 = [&](const unsigned char* pixel) {
    const Code& r = codes.symbol[pixel[0]];
    const Code& g = codes.symbol[pixel[1]];
    const Code& b = codes.symbol[pixel[2]];
    bits.put(r.bits | g.bits << r.length | b.bits << (r.length + g.length),
             r.length + g.length + b.length);
  };
  std::uint32_t check = 1;
  for (int y = 0; y < height; ++y) {
    const std::uint32_t* pixels = rows.words(y);
    const std::uint32_t* above =
        y > 0 && up.code >= 0 ? rows.words(y - 1) : nullptr;
    if (above && std::memcmp(pixels, above, width * 4u) == 0) {
      // The row above again, filter byte and all: one match, and the
      // bytes last packed.
      check = libdeflate_adler32(check, rows.last_bytes(), row + 1);
      match(row + 1, up);
      continue;
    }
    const unsigned char* bytes = rows.bytes(y);
    check = libdeflate_adler32(check, bytes, row + 1);
    bits.put(codes.symbol[bytes[0]]);
    ++bytes;
    for (int x = 0; x < width;) {
      const int same_left =
          x > 0 ? run_of(pixels + x, pixels[x - 1], width - x, rows.mask) : 0;
      const int same_up =
          above ? same_pixels(pixels + x, above + x, width - x, rows.mask) : 0;
      if (same_left == 0 && same_up == 0) {
        const unsigned char* pixel = bytes + x * rows.pixel_bytes;
        literal3(pixel);
        if (rows.alpha) bits.put(codes.symbol[pixel[3]]);
        ++x;
        continue;
      }
      const int length = std::max(same_left, same_up);
      match(length * rows.pixel_bytes, same_up >= same_left ? up : left);
      x += length;
    }
  }
  bits.put(codes.symbol[kEndOfBlock]);
  char* end = bits.finish();
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
  // Qt's writer stores alpha unpremultiplied, and so must this one; RGB32
  // is read as it stands, anything else through Qt's conversions.
  const QImage source =
      image.format() == QImage::Format_RGB32 && !alpha
          ? image
          : image.convertToFormat(alpha ? QImage::Format_RGBA8888
                                        : QImage::Format_RGB32);
  if (source.isNull()) return QByteArray();
  const int width = source.width();
  const int height = source.height();
  Rows rows(source);
  const QByteArray packed = zlib_of(rows);
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
