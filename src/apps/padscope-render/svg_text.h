#pragma once

#include <QColor>
#include <QPainterPath>
#include <QPointF>
#include <QString>
#include <QTransform>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

// The text of an SVG document: numbers, colours, transforms and path data
// written as briefly as they read the same.
namespace padscope::render::svg {

// A growing text with appends that inline: a document is tens of
// thousands of short pieces. Its storage grows uninitialised: a
// std::string zeroed every byte it grew by.
class Text {
public:
  Text() = default;
  Text(const Text& other) { *this += other; }
  Text(Text&& other) noexcept
      : storage(std::move(other.storage)),
        capacity(std::exchange(other.capacity, 0)),
        used(std::exchange(other.used, 0)) {}
  Text& operator=(const Text& other) {
    if (this != &other) {
      clear();
      *this += other;
    }
    return *this;
  }
  Text& operator=(Text&& other) noexcept {
    storage = std::move(other.storage);
    capacity = std::exchange(other.capacity, 0);
    used = std::exchange(other.used, 0);
    return *this;
  }
  ~Text() = default;

  bool empty() const { return used == 0; }
  void clear() { used = 0; }
  std::string_view view() const { return {storage.get(), used}; }
  bool operator==(const Text& other) const { return view() == other.view(); }
  bool operator!=(const Text& other) const { return !(*this == other); }

  // Room for `count` more bytes, taken by advance() up to the end written.
  char* room(std::size_t count) {
    if (capacity - used < count) grow(used + count);
    return storage.get() + used;
  }
  void advance(const char* end) {
    used = static_cast<std::size_t>(end - storage.get());
  }
  void append(const char* text, std::size_t count) {
    if (count == 0) return;
    std::memcpy(room(count), text, count);
    used += count;
  }
  Text& operator+=(char c) {
    *room(1) = c;
    ++used;
    return *this;
  }
  Text& operator+=(const char* text) {
    append(text, std::strlen(text));
    return *this;
  }
  Text& operator+=(std::string_view text) {
    append(text.data(), text.size());
    return *this;
  }
  Text& operator+=(const Text& text) { return *this += text.view(); }

private:
  void grow(std::size_t least) {
    const std::size_t size = std::max(2 * capacity, least + 256);
    std::unique_ptr<char[]> larger(new char[size]);
    if (used > 0) std::memcpy(larger.get(), storage.get(), used);
    storage = std::move(larger);
    capacity = size;
  }

  std::unique_ptr<char[]> storage;
  std::size_t capacity = 0;
  std::size_t used = 0;
};

// Writes `value` with at most `decimals` digits after the point, without
// trailing zeros or a leading zero ("-.735", "12"), at `out`, which has
// room for kNumberRoom bytes; returns the end. Rounded as an integer of
// decimal fractions, several times faster than std::to_chars' exact fixed
// notation, which it can differ from in the last digit of a tie.
constexpr std::size_t kNumberRoom = 48;

char* format_number(char* out, double value, int decimals);

inline void append_number(Text& out, double value, int decimals) {
  out.advance(format_number(out.room(kNumberRoom), value, decimals));
}

// A number with `digits` significant digits, without a leading zero:
// widths, opacities.
void append_significant(Text& out, double value, int digits = 7);

void append_int(Text& out, long long value);

// Text for an XML element: escaped, and without the characters XML 1.0
// cannot hold (C0 controls, U+FFFE and U+FFFF; UTF-8 has lone surrogates
// replaced already).
void append_text(Text& out, const QString& text);

// "#rrggbb", or "#rgb" where that says the same.
void append_colour(Text& out, const QColor& colour);

// Two more decimals for the scale and turn than for the shift: enough for
// what they map out to a hundred units, such as a glyph's.
void append_matrix(Text& out, const QTransform& m, int decimals);

// QTransform::map for a point, inlined: the same arithmetic for each kind of
// transform, so the same numbers to the last bit; a perspective one is
// left to Qt.
class PointMap {
public:
  explicit PointMap(const QTransform& map)
      : map(map),
        kind(map.type()),
        m11(map.m11()),
        m12(map.m12()),
        m21(map.m21()),
        m22(map.m22()),
        dx(map.dx()),
        dy(map.dy()) {}

  QPointF operator()(double x, double y) const {
    switch (kind) {
      case QTransform::TxNone:
        return {x, y};
      case QTransform::TxTranslate:
        return {x + dx, y + dy};
      case QTransform::TxScale:
        return {m11 * x + dx, m22 * y + dy};
      case QTransform::TxRotate:
      case QTransform::TxShear:
        return {m11 * x + m21 * y + dx, m12 * x + m22 * y + dy};
      default:
        return map.map(QPointF(x, y));
    }
  }
  QPointF operator()(const QPointF& p) const { return (*this)(p.x(), p.y()); }

private:
  const QTransform& map;
  QTransform::TransformationType kind;
  double m11, m12, m21, m22, dx, dy;
};

// Path data: a command letter only where it changes, a space only where a
// number would run into the one before.
class PathData {
public:
  PathData(Text& out, int decimals) : out(out), decimals(decimals) {}

  void command(char letter) {
    if (letter == last) return;
    out += letter;
    // After a move, further points are lines.
    last = letter == 'M' ? 'L' : letter;
    spaced = true;
  }
  void point(const QPointF& p) {
    number(p.x());
    number(p.y());
  }
  // Written after a byte kept for the space, which is dropped if unneeded.
  void number(double value) {
    char* at = out.room(kNumberRoom + 1);
    char* end = format_number(at + 1, value, decimals);
    if (!spaced && at[1] != '-') {
      at[0] = ' ';
    } else {
      std::memmove(at, at + 1, static_cast<std::size_t>(end - at - 1));
      --end;
    }
    out.advance(end);
    spaced = false;
  }

private:
  Text& out;
  int decimals;
  char last = 0;
  bool spaced = true;
};

// A subpath whose last point is its first is closed: Qt joins its ends.
void append_path(Text& out, const QPainterPath& path, const QTransform& map,
                 int decimals);

}  // namespace padscope::render::svg
