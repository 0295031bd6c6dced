#include "apps/padscope-render/svg_text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <type_traits>
#include <utility>

namespace padscope::render::svg {

namespace {

// Numbers of more decimal digits than this are printed as std::to_chars
// has them: an integer of this many still holds exactly in a double.
constexpr double kFixedLimit = 1e15;

// Qt keeps a quadratic curve (a TrueType glyph's) as a cubic one; the
// quadratic control point, when there is one, says the same more briefly.
bool quadratic_control(const QPointF& from, const QPointF& c1,
                       const QPointF& c2, const QPointF& to, QPointF& q) {
  const QPointF q1 = (3 * c1 - from) / 2;
  const QPointF q2 = (3 * c2 - to) / 2;
  const double size = std::abs(from.x()) + std::abs(from.y()) +
                      std::abs(to.x()) + std::abs(to.y()) + 1;
  if (std::abs(q1.x() - q2.x()) + std::abs(q1.y() - q2.y()) > 1e-9 * size)
    return false;
  q = (q1 + q2) / 2;
  return true;
}

constexpr char kDigitPairs[] =
    "0001020304050607080910111213141516171819"
    "2021222324252627282930313233343536373839"
    "4041424344454647484950515253545556575859"
    "6061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The digits of `value` ending at `end`, exactly `count` of them with
// leading zeros.
template <int count, typename Unsigned>
void put_digits(char* end, Unsigned value) {
  for (int i = 0; i + 1 < count; i += 2) {
    end -= 2;
    std::memcpy(end, kDigitPairs + 2 * (value % 100), 2);
    value /= 100;
  }
  if (count % 2 == 1) end[-1] = static_cast<char>('0' + value % 10);
}

// The digits of `value` at `out`, which has room for 24; returns the end.
inline char* put_whole(char* out, unsigned long long value) {
  if (value < 10) {
    *out = static_cast<char>('0' + value);
    return out + 1;
  }
  if (value < 100) {
    std::memcpy(out, kDigitPairs + 2 * value, 2);
    return out + 2;
  }
  // Copied 24 bytes at a time, a constant size that inlines; the bytes past
  // the number are overwritten or left beyond the end.
  char digits[48];
  char* const last = digits + 24;
  char* first = last;
  for (; value >= 100; value /= 100) {
    first -= 2;
    std::memcpy(first, kDigitPairs + 2 * (value % 100), 2);
  }
  if (value >= 10) {
    first -= 2;
    std::memcpy(first, kDigitPairs + 2 * value, 2);
  } else {
    *--first = static_cast<char>('0' + value);
  }
  std::memcpy(out, first, 24);
  return out + (last - first);
}

// `units` decimal fractions of `decimals` digits, a count known when
// compiled: divisions by its powers of ten become multiplications, and a
// fraction of up to nine digits is worked in 32 bits.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr bool kLittleEndian = true;
#else
constexpr bool kLittleEndian = false;
#endif

// The eight decimal digits of `value`, below 10^8, one a byte with the
// first in the lowest: split in halves, pairs and digits in all lanes at
// once, by multiplications that divide exactly in these ranges.
std::uint64_t digit_bytes(std::uint32_t value) {
  const std::uint64_t halves = value / 10000 | std::uint64_t{value % 10000}
                                                   << 32;
  const std::uint64_t hundreds = (halves * 10486 >> 20) & 0x0000007f0000007fULL;
  const std::uint64_t pairs = hundreds | (halves - hundreds * 100) << 16;
  const std::uint64_t tens = (pairs * 103 >> 10) & 0x000f000f000f000fULL;
  return tens | (pairs - tens * 10) << 8;
}

// A fraction's `decimals` digits, leading zeros kept and trailing ones
// left out; returns the end.
template <int decimals, typename Unsigned>
char* put_fraction(char* out, Unsigned fraction) {
  if constexpr (kLittleEndian && decimals <= 8) {
    std::uint64_t digits =
        digit_bytes(static_cast<std::uint32_t>(fraction)) >> 8 * (8 - decimals);
    const int count = 8 - __builtin_clzll(digits) / 8;
    digits += 0x3030303030303030ULL;
    std::memcpy(out, &digits, sizeof digits);
    return out + count;
  } else {
    out += decimals;
    put_digits<decimals>(out, fraction);
    while (out[-1] == '0') --out;
    return out;
  }
}

template <int decimals>
char* put_fixed(char* out, unsigned long long units) {
  constexpr unsigned long long kOne = [] {
    unsigned long long one = 1;
    for (int i = 0; i < decimals; ++i) one *= 10;
    return one;
  }();
  using Fraction =
      std::conditional_t<(decimals <= 9), std::uint32_t, unsigned long long>;
  const unsigned long long whole = units / kOne;
  const auto fraction = static_cast<Fraction>(units - whole * kOne);
  if (whole != 0) out = put_whole(out, whole);
  if constexpr (decimals > 0) {
    if (fraction == 0) return out;
    *out++ = '.';
    return put_fraction<decimals>(out, fraction);
  }
  return out;
}

using FixedWriter = char* (*)(char*, unsigned long long);

template <int... decimals>
constexpr std::array<FixedWriter, sizeof...(decimals)> fixed_writers(
    std::integer_sequence<int, decimals...>) {
  return {&put_fixed<decimals>...};
}

}  // namespace

char* format_number(char* out, double value, int decimals) {
  static constexpr double kPowers[] = {1,    1e1,  1e2,  1e3, 1e4,  1e5,
                                       1e6,  1e7,  1e8,  1e9, 1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15};
  static constexpr auto kWriters =
      fixed_writers(std::make_integer_sequence<int, 16>());
  if (!std::isfinite(value)) value = 0;
  const double scaled = std::abs(value) * kPowers[decimals];
  if (scaled >= kFixedLimit)
    return std::to_chars(out, out + kNumberRoom, value).ptr;
  const auto units = static_cast<unsigned long long>(scaled + 0.5);
  if (units == 0) {
    *out = '0';
    return out + 1;
  }
  if (value < 0) *out++ = '-';
  return kWriters[decimals](out, units);
}

void append_significant(Text& out, double value, int digits) {
  if (!std::isfinite(value)) value = 0;
  char* at = out.room(kNumberRoom);
  char* end = std::to_chars(at, at + kNumberRoom, value,
                            std::chars_format::general, digits)
                  .ptr;
  char* zero = at + (*at == '-');
  if (zero[0] == '0' && zero[1] == '.') {
    std::memmove(zero, zero + 1, static_cast<std::size_t>(end - zero - 1));
    --end;
  }
  out.advance(end);
}

void append_int(Text& out, long long value) {
  char* at = out.room(24);
  out.advance(std::to_chars(at, at + 24, value).ptr);
}

void append_text(Text& out, const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.constData());
  const int size = utf8.size();
  for (int i = 0; i < size; ++i) {
    const unsigned char c = bytes[i];
    if (c == 0xef && i + 2 < size && bytes[i + 1] == 0xbf &&
        (bytes[i + 2] == 0xbe || bytes[i + 2] == 0xbf)) {
      i += 2;
    } else if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
      continue;
    } else if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else {
      out += static_cast<char>(c);
    }
  }
}

void append_colour(Text& out, const QColor& colour) {
  static const char hex[] = "0123456789abcdef";
  const QRgb rgb = colour.rgb();
  const int parts[] = {qRed(rgb), qGreen(rgb), qBlue(rgb)};
  out += '#';
  const bool shorter = std::all_of(std::begin(parts), std::end(parts),
                                   [](int v) { return v >> 4 == (v & 15); });
  for (const int v : parts) {
    out += hex[v >> 4];
    if (!shorter) out += hex[v & 15];
  }
}

void append_matrix(Text& out, const QTransform& m, int decimals) {
  out += "matrix(";
  for (const double v : {m.m11(), m.m12(), m.m21(), m.m22()}) {
    append_number(out, v, std::min(decimals + 2, 15));
    out += ' ';
  }
  append_number(out, m.dx(), decimals);
  out += ' ';
  append_number(out, m.dy(), decimals);
  out += ')';
}

// A subpath whose last point is its first is closed: Qt joins its ends.
// Each element is fetched once: QPainterPath hands out copies by call.
void append_path(Text& out, const QPainterPath& path, const QTransform& map,
                 int decimals) {
  PathData data(out, decimals);
  const PointMap to(map);
  const int count = path.elementCount();
  QPainterPath::Element e{};
  if (count > 0) e = path.elementAt(0);
  // Takes element `i` into `e`; whether the one before it ended a subpath,
  // being the last or followed by a move.
  const auto next_of = [&](int i) {
    if (i < count) e = path.elementAt(i);
    return i >= count || e.isMoveTo();
  };
  QPointF start, current;
  bool after_move = false;
  for (int i = 0; i < count;) {
    const QPointF p = to(e.x, e.y);
    if (e.isMoveTo()) {
      data.command('M');
      data.point(p);
      start = current = p;
      after_move = true;
      next_of(++i);
    } else if (e.isLineTo()) {
      const bool ends = next_of(++i);
      if (ends && p == start && !after_move && i > 1) {
        data.command('Z');
      } else {
        data.command('L');
        data.point(p);
      }
      current = p;
      after_move = false;
    } else if (i + 2 < count) {
      const QPainterPath::Element second = path.elementAt(i + 1);
      const QPainterPath::Element third = path.elementAt(i + 2);
      const QPointF c2 = to(second.x, second.y);
      const QPointF end = to(third.x, third.y);
      QPointF q;
      if (quadratic_control(current, p, c2, end, q)) {
        data.command('Q');
        data.point(q);
      } else {
        data.command('C');
        data.point(p);
        data.point(c2);
      }
      data.point(end);
      current = end;
      after_move = false;
      i += 3;
      if (next_of(i) && end == start) data.command('Z');
    } else {
      after_move = false;
      next_of(++i);
    }
  }
}

}  // namespace padscope::render::svg
