#include "apps/padscope-render/svg_writer.h"

#include "apps/padscope-render/png_writer.h"

#include <QGlyphRun>
#include <QHash>
#include <QImage>
#include <QPaintEngine>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPixmap>
#include <QRawFont>
#include <QTextLayout>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace padscope::render {

namespace {

// Numbers of more decimal digits than this are printed as std::to_chars
// has them: an integer of this many still holds exactly in a double.
constexpr double kFixedLimit = 1e15;

// Coordinates resolve this fraction of a pixel at least, however small the
// drawing is on the picture.
constexpr double kPixelFractions = 100;

// A stated size to a ten-thousandth of a millimetre.
constexpr int kMillimetreDecimals = 4;

// Glyph layouts and outlines are kept for the whole process: the same pad
// numbers and digits come back in footprint after footprint.
constexpr int kCacheLimit = 100000;

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

char* format_number(char* out, double value, int decimals) {
  static constexpr double kPowers[] = {1,    1e1,  1e2,  1e3, 1e4,  1e5,
                                       1e6,  1e7,  1e8,  1e9, 1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15};
  static constexpr char kPairs[] =
      "0001020304050607080910111213141516171819"
      "2021222324252627282930313233343536373839"
      "4041424344454647484950515253545556575859"
      "6061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  if (!std::isfinite(value)) value = 0;
  const double scaled = std::abs(value) * kPowers[decimals];
  if (scaled >= kFixedLimit)
    return std::to_chars(out, out + kNumberRoom, value).ptr;
  auto units = static_cast<unsigned long long>(scaled + 0.5);
  if (units == 0) {
    *out = '0';
    return out + 1;
  }
  if (value < 0) *out++ = '-';
  int fraction = decimals;
  while (fraction > 0 && units % 10 == 0) {
    units /= 10;
    --fraction;
  }
  // Digits are copied 24 bytes at a time, a constant size that inlines;
  // the bytes past the number are overwritten or left beyond the end.
  char digits[48];
  char* const last = digits + 24;
  char* first = last;
  for (; units >= 100; units /= 100) {
    first -= 2;
    std::memcpy(first, kPairs + 2 * (units % 100), 2);
  }
  if (units >= 10) {
    first -= 2;
    std::memcpy(first, kPairs + 2 * units, 2);
  } else {
    *--first = static_cast<char>('0' + units);
  }
  const int count = static_cast<int>(last - first);
  if (count <= fraction) {
    *out++ = '.';
    for (int i = count; i < fraction; ++i) *out++ = '0';
    std::memcpy(out, first, 24);
    return out + count;
  }
  const int whole = count - fraction;
  std::memcpy(out, first, 24);
  out += whole;
  if (fraction == 0) return out;
  *out++ = '.';
  std::memcpy(out, first + whole, 24);
  return out + fraction;
}

void append_number(Text& out, double value, int decimals) {
  out.advance(format_number(out.room(kNumberRoom), value, decimals));
}

// A number with `digits` significant digits, without a leading zero:
// widths, opacities.
void append_significant(Text& out, double value, int digits = 7) {
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

// Text for an XML element: escaped, and without the characters XML 1.0
// cannot hold (C0 controls, U+FFFE and U+FFFF; UTF-8 has lone surrogates
// replaced already).
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

// "#rrggbb", or "#rgb" where that says the same.
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

// Two more decimals for the scale and turn than for the shift: enough for
// what they map out to a hundred units, such as a glyph's.
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

// Whether a pen half this wide reaches past the centre of a curve's
// bend: Qt's stroker then leaves notches that SVG's does not, so the
// outline Qt strokes is drawn instead. The radius of each cubic piece is
// taken from its chord and the height of its midpoint over it.
bool bends_tighter_than(const QPainterPath& path, double half_width) {
  const int count = path.elementCount();
  for (int i = 1; i + 2 < count; ++i) {
    if (path.elementAt(i).type != QPainterPath::CurveToElement) continue;
    const QPointF p0 = path.elementAt(i - 1), c1 = path.elementAt(i);
    const QPointF c2 = path.elementAt(i + 1), p3 = path.elementAt(i + 2);
    const QPointF mid = (p0 + 3 * c1 + 3 * c2 + p3) / 8;
    const QPointF chord = p3 - p0;
    const double length = std::hypot(chord.x(), chord.y());
    const QPointF off = mid - p0;
    const double height =
        length > 0
            ? std::abs(chord.x() * off.y() - chord.y() * off.x()) / length
            : std::hypot(off.x(), off.y());
    if (height > 0 &&
        (length * length / 4 + height * height) / (2 * height) <= half_width)
      return true;
    i += 2;
  }
  return false;
}

// A subpath whose last point is its first is closed: Qt joins its ends.
void append_path(Text& out, const QPainterPath& path, const QTransform& map,
                 int decimals) {
  PathData data(out, decimals);
  const int count = path.elementCount();
  QPointF start, current;
  for (int i = 0; i < count; ++i) {
    const QPainterPath::Element& e = path.elementAt(i);
    const QPointF p = map.map(QPointF(e.x, e.y));
    const bool ends = i + 1 == count || path.elementAt(i + 1).isMoveTo();
    if (e.isMoveTo()) {
      data.command('M');
      data.point(p);
      start = current = p;
    } else if (e.isLineTo()) {
      if (ends && p == start && i > 0 && !path.elementAt(i - 1).isMoveTo()) {
        data.command('Z');
      } else {
        data.command('L');
        data.point(p);
      }
      current = p;
    } else if (i + 2 < count) {
      const QPointF c2 =
          map.map(QPointF(path.elementAt(i + 1).x, path.elementAt(i + 1).y));
      const QPointF to =
          map.map(QPointF(path.elementAt(i + 2).x, path.elementAt(i + 2).y));
      QPointF q;
      if (quadratic_control(current, p, c2, to, q)) {
        data.command('Q');
        data.point(q);
      } else {
        data.command('C');
        data.point(p);
        data.point(c2);
      }
      data.point(to);
      current = to;
      i += 2;
      const bool closes = i + 1 == count || path.elementAt(i + 1).isMoveTo();
      if (closes && to == start) data.command('Z');
    }
  }
}

// Glyph outlines are written in 64ths of a pixel of their font: FreeType's
// grid, on which the points of its outlines are whole numbers.
constexpr double kGlyphUnits = 64;

// A glyph as the text layout places it, relative to the item's baseline
// start, in pixels of its font.
struct PlacedGlyph {
  QRawFont font;
  quint32 index = 0;
  QPointF offset;
};

// The glyphs of a text item as QTextLayout places them: the same shaping
// that drew the item. Null when the layout holds no glyph runs. Kept by
// font, found by identity first: a QFont's key is slow to make.
const std::vector<PlacedGlyph>* layout_of(const QFont& font,
                                          const QString& text) {
  struct Layouts {
    QFont font;
    QHash<QString, std::vector<PlacedGlyph>> by_text;
  };
  static std::vector<Layouts> fonts;
  auto same = std::find_if(fonts.begin(), fonts.end(),
                           [&](const Layouts& l) { return l.font == font; });
  if (same == fonts.end()) {
    if (fonts.size() > 16) fonts.clear();
    fonts.push_back({font, {}});
    same = fonts.end() - 1;
  }
  auto& cache = same->by_text;
  auto found = cache.constFind(text);
  if (found != cache.constEnd()) return found->empty() ? nullptr : &*found;
  if (cache.size() > kCacheLimit) cache.clear();
  std::vector<PlacedGlyph>& glyphs = cache[text];
  QTextLayout layout(text, font);
  layout.beginLayout();
  QTextLine line = layout.createLine();
  layout.endLayout();
  if (!line.isValid()) return nullptr;
  const double baseline = line.ascent();
  for (const QGlyphRun& run : layout.glyphRuns()) {
    const QRawFont raw = run.rawFont();
    const QVector<quint32> indexes = run.glyphIndexes();
    const QVector<QPointF> positions = run.positions();
    if (!raw.isValid() || indexes.size() != positions.size()) {
      glyphs.clear();
      return nullptr;
    }
    for (int i = 0; i < indexes.size(); ++i)
      glyphs.push_back({raw, indexes[i], positions[i] - QPointF(0, baseline)});
  }
  return glyphs.empty() ? nullptr : &glyphs;
}

struct GlyphOutline {
  // Path data in glyph units; empty for a glyph without outline (a space).
  Text data;
  // Never the same for two outlines, across cache clears too.
  long long serial = 0;
};

const GlyphOutline& outline_of(const PlacedGlyph& glyph, int decimals) {
  struct Key {
    QRawFont font;
    quint32 index;
    int decimals;
    bool operator==(const Key& other) const {
      return index == other.index && decimals == other.decimals &&
             font == other.font;
    }
  };
  struct Hash {
    std::size_t operator()(const Key& key) const {
      return qHash(key.font) ^ (key.index * 2654435761u) ^
             (static_cast<std::size_t>(key.decimals) << 40);
    }
  };
  static std::unordered_map<Key, GlyphOutline, Hash> cache;
  static long long serials = 0;
  Key key{glyph.font, glyph.index, decimals};
  auto found = cache.find(key);
  if (found != cache.end()) return found->second;
  if (cache.size() > kCacheLimit) cache.clear();
  GlyphOutline& outline = cache[key];
  outline.serial = ++serials;
  append_path(outline.data, glyph.font.pathForGlyph(glyph.index),
              QTransform::fromScale(kGlyphUnits, kGlyphUnits), decimals);
  return outline;
}

int device_dpi_x() {
  static const int dpi = QImage(1, 1, QImage::Format_RGB32).logicalDpiX();
  return dpi;
}

int device_dpi_y() {
  static const int dpi = QImage(1, 1, QImage::Format_RGB32).logicalDpiY();
  return dpi;
}

}  // namespace

class SvgPaintEngine : public QPaintEngine {
public:
  explicit SvgPaintEngine(SvgDevice& device)
      : QPaintEngine(PrimitiveTransform | PixmapTransform | AlphaBlend |
                     PainterPaths | Antialiasing | ConstantOpacity),
        device(device) {}

  bool begin(QPaintDevice*) override {
    defs.clear();
    body.clear();
    body.room(1 << 15);
    open_style.clear();
    open_variant = -1;
    clips.clear();
    written_clips.clear();
    next_clip = 0;
    glyph_ids.clear();
    drawing_inverse = device.drawing.inverted();
    drawing_scale = std::sqrt(std::abs(device.drawing.determinant()));
    set_transform(QTransform());
    pen = QPen();
    brush = QBrush();
    antialias = false;
    opacity = 1;
    clip_enabled = false;
    styles_valid = false;
    return true;
  }

  bool end() override {
    Text out;
    const QSize& size = device.size;
    out +=
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" "
        "xmlns:xlink=\"http://www.w3.org/1999/xlink\" version=\"1.1\" "
        "width=\"";
    if (device.millimetres.isEmpty()) {
      append_int(out, size.width());
      out += "\" height=\"";
      append_int(out, size.height());
      out += "\" viewBox=\"0 0 ";
      append_int(out, size.width());
      out += ' ';
      append_int(out, size.height());
    } else {
      append_number(out, device.millimetres.width(), kMillimetreDecimals);
      out += "mm\" height=\"";
      append_number(out, device.millimetres.height(), kMillimetreDecimals);
      out += "mm\" viewBox=\"0 0 ";
      append_number(out, device.view.width(), kMillimetreDecimals);
      out += ' ';
      append_number(out, device.view.height(), kMillimetreDecimals);
    }
    out += "\">\n";
    if (!device.title.isEmpty()) {
      out += "<title>";
      append_text(out, device.title);
      out += "</title>\n";
    }
    if (!device.description.isEmpty()) {
      out += "<desc>";
      append_text(out, device.description);
      out += "</desc>\n";
    }
    if (!defs.empty()) {
      out += "<defs>\n";
      out += defs;
      out += "</defs>\n";
    }
    // The one transform from the drawing's units to pixels, exact.
    out += "<g transform=\"matrix(";
    const QTransform& m = device.drawing;
    const double values[] = {m.m11(), m.m12(), m.m21(),
                             m.m22(), m.dx(),  m.dy()};
    for (int i = 0; i < 6; ++i) {
      char* at = out.room(kNumberRoom);
      const double v = std::isfinite(values[i]) ? values[i] : 0;
      out.advance(std::to_chars(at, at + kNumberRoom, v).ptr);
      if (i < 5) out += ' ';
    }
    out += ")\">\n";
    Text tail;
    if (!open_style.empty()) tail += "</g>\n";
    tail += "</g>\n</svg>\n";
    // One copy of the body, the bulk of the document.
    const std::string_view parts[] = {out.view(), body.view(), tail.view()};
    std::size_t total = 0;
    for (const std::string_view part : parts) total += part.size();
    // Past what a QByteArray holds the document is empty: a failure.
    if (total > static_cast<std::size_t>(INT_MAX / 2)) {
      device.document.clear();
      return true;
    }
    device.document = QByteArray(static_cast<int>(total), Qt::Uninitialized);
    char* at = device.document.data();
    for (const std::string_view part : parts) {
      std::memcpy(at, part.data(), part.size());
      at += part.size();
    }
    return true;
  }

  Type type() const override { return QPaintEngine::User; }

  void updateState(const QPaintEngineState& state) override {
    const DirtyFlags flags = state.state();
    if (flags & DirtyTransform) set_transform(state.transform());
    if ((flags & DirtyPen) && state.pen() != pen) {
      pen = state.pen();
      styles_valid = false;
    }
    if ((flags & DirtyBrush) && state.brush() != brush) {
      brush = state.brush();
      styles_valid = false;
    }
    if (flags & DirtyHints) {
      const bool smooth = state.renderHints() & QPainter::Antialiasing;
      styles_valid = styles_valid && smooth == antialias;
      antialias = smooth;
    }
    if (flags & DirtyOpacity) {
      styles_valid = styles_valid && state.opacity() == opacity;
      opacity = state.opacity();
    }
    if (flags & DirtyClipEnabled) {
      styles_valid = styles_valid && state.isClipEnabled() == clip_enabled;
      clip_enabled = state.isClipEnabled();
    }
    if (flags & DirtyClipPath) clip(state.clipPath(), state.clipOperation());
    if (flags & DirtyClipRegion) {
      QPainterPath path;
      path.addRegion(state.clipRegion());
      clip(path, state.clipOperation());
    }
  }

  void drawPath(const QPainterPath& path) override {
    const bool fill = has_brush();
    if (has_pen() &&
        (!can_stroke() ||
         (!pen.isCosmetic() && bends_tighter_than(path, pen.widthF() / 2)))) {
      if (fill) {
        shape(Paint::fill, path.fillRule());
        path_element(path, to_drawing);
      }
      stroke_outline(path);
      return;
    }
    const Paint paint = paint_of(fill);
    if (paint == Paint::none) return;
    shape(paint, path.fillRule());
    path_element(path, to_drawing);
  }

  void drawPolygon(const QPointF* points, int count,
                   PolygonDrawMode mode) override {
    if (count <= 0) return;
    const bool fill = mode != PolylineMode && has_brush();
    const Qt::FillRule rule =
        mode == OddEvenMode ? Qt::OddEvenFill : Qt::WindingFill;
    if (has_pen() && !can_stroke()) {
      QPainterPath path;
      path.setFillRule(rule);
      path.addPolygon(QPolygonF(QVector<QPointF>(points, points + count)));
      if (mode == PolylineMode) {
        stroke_outline(path);
        return;
      }
      path.closeSubpath();
      drawPath(path);
      return;
    }
    const Paint paint = paint_of(fill);
    if (paint == Paint::none) return;
    shape(paint, rule);
    body += "<path d=\"";
    PathData data(body, device.decimals);
    data.command('M');
    // A last point on the first closes the outline, as for Qt's stroker.
    const bool returns = count > 2 && points[count - 1] == points[0];
    const int end = returns ? count - 1 : count;
    for (int i = 0; i < end; ++i) data.point(to_drawing.map(points[i]));
    if (mode != PolylineMode || returns) data.command('Z');
    body += "\"/>\n";
  }

  void drawLines(const QLineF* lines, int count) override {
    if (count <= 0 || !has_pen()) return;
    if (!can_stroke()) {
      QPainterPath path;
      for (int i = 0; i < count; ++i) {
        path.moveTo(lines[i].p1());
        path.lineTo(lines[i].p2());
      }
      stroke_outline(path);
      return;
    }
    shape(Paint::stroke, Qt::WindingFill);
    body += "<path d=\"";
    PathData data(body, device.decimals);
    for (int i = 0; i < count; ++i) {
      data.command('M');
      data.point(to_drawing.map(lines[i].p1()));
      data.point(to_drawing.map(lines[i].p2()));
    }
    body += "\"/>\n";
  }

  void drawRects(const QRectF* rects, int count) override {
    if (!axis_aligned || (has_pen() && !can_stroke())) {
      QPainterPath path;
      for (int i = 0; i < count; ++i) path.addRect(rects[i]);
      drawPath(path);
      return;
    }
    const Paint paint = paint_of(has_brush());
    if (count <= 0 || paint == Paint::none) return;
    shape(paint, Qt::WindingFill);
    for (int i = 0; i < count; ++i) {
      body += "<rect";
      append_box(to_drawing.mapRect(rects[i]).normalized());
      body += "/>\n";
    }
  }

  void drawEllipse(const QRectF& rect) override {
    const bool circle = similar && rect.width() == rect.height();
    if (!(circle || axis_aligned) || (has_pen() && !can_stroke())) {
      QPainterPath path;
      path.addEllipse(rect);
      drawPath(path);
      return;
    }
    const Paint paint = paint_of(has_brush());
    if (paint == Paint::none) return;
    shape(paint, Qt::WindingFill);
    const QPointF centre = to_drawing.map(rect.center());
    body += circle ? "<circle cx=\"" : "<ellipse cx=\"";
    append_number(body, centre.x(), device.decimals);
    body += "\" cy=\"";
    append_number(body, centre.y(), device.decimals);
    if (circle) {
      body += "\" r=\"";
      append_number(body, std::abs(rect.width()) / 2 * scale, device.decimals);
    } else {
      body += "\" rx=\"";
      append_number(body, std::abs(rect.width() * to_drawing.m11()) / 2,
                    device.decimals);
      body += "\" ry=\"";
      append_number(body, std::abs(rect.height() * to_drawing.m22()) / 2,
                    device.decimals);
    }
    body += "\"/>\n";
  }

  // Squares of the pen's width, or discs for a round pen.
  void drawPoints(const QPointF* points, int count) override {
    if (count <= 0 || !has_pen()) return;
    const double side = pen_width();
    shape(Paint::pen_fill, Qt::WindingFill);
    if (pen.capStyle() == Qt::RoundCap) {
      for (int i = 0; i < count; ++i) {
        const QPointF p = to_drawing.map(points[i]);
        body += "<circle cx=\"";
        append_number(body, p.x(), device.decimals);
        body += "\" cy=\"";
        append_number(body, p.y(), device.decimals);
        body += "\" r=\"";
        append_significant(body, side / 2);
        body += "\"/>\n";
      }
      return;
    }
    body += "<path d=\"";
    PathData data(body, device.decimals);
    for (int i = 0; i < count; ++i) {
      const QPointF p = to_drawing.map(points[i]);
      data.command('M');
      data.point(p - QPointF(side / 2, side / 2));
      data.command('h');
      data.number(side);
      data.command('v');
      data.number(side);
      data.command('h');
      data.number(-side);
      data.command('Z');
    }
    body += "\"/>\n";
  }

  // Each glyph a use of its outline, defined once per document.
  void drawTextItem(const QPointF& p, const QTextItem& item) override {
    const std::vector<PlacedGlyph>* glyphs =
        layout_of(item.font(), item.text());
    if (!glyphs) {
      QPainterPath path;
      path.addText(p, item.font(), item.text());
      path.setFillRule(Qt::WindingFill);
      fill_with_pen(path, to_drawing);
      return;
    }
    shape(Paint::pen_fill, Qt::WindingFill);
    for (const PlacedGlyph& glyph : *glyphs) {
      const QTransform place =
          QTransform(1 / kGlyphUnits, 0, 0, 1 / kGlyphUnits,
                     p.x() + glyph.offset.x(), p.y() + glyph.offset.y()) *
          to_drawing;
      // Enough digits for the drawing's resolution at this glyph size.
      const int decimals = std::clamp(
          device.decimals +
              static_cast<int>(std::ceil(std::log10(
                  std::sqrt(std::abs(place.determinant())) + 1e-300))),
          0, 9);
      const int id = glyph_id(glyph, decimals);
      if (id == 0) continue;
      body += "<use xlink:href=\"#g";
      append_int(body, id);
      body += "\" transform=\"";
      append_matrix(body, place, device.decimals);
      body += "\"/>\n";
    }
  }

  void drawImage(const QRectF& r, const QImage& image, const QRectF& sr,
                 Qt::ImageConversionFlags) override {
    const QRect part = sr.toAlignedRect();
    const QByteArray png =
        encode_png(part == image.rect() ? image : image.copy(part));
    if (png.isEmpty()) return;
    shape(Paint::none, Qt::WindingFill);
    body += "<image";
    append_box(r);
    body += " preserveAspectRatio=\"none\" transform=\"";
    append_matrix(body, to_drawing, device.decimals);
    body += "\" xlink:href=\"data:image/png;base64,";
    body += png.toBase64().toStdString();
    body += "\"/>\n";
  }

  void drawPixmap(const QRectF& r, const QPixmap& pixmap,
                  const QRectF& sr) override {
    drawImage(r, pixmap.toImage(), sr, Qt::AutoColor);
  }

private:
  // What a shape is painted with.
  enum class Paint { none, stroke, fill, fill_and_stroke, pen_fill };

  bool has_pen() const { return pen.style() != Qt::NoPen; }
  bool has_brush() const { return brush.style() != Qt::NoBrush; }

  Paint paint_of(bool fill) const {
    if (has_pen()) return fill ? Paint::fill_and_stroke : Paint::stroke;
    return fill ? Paint::fill : Paint::none;
  }

  // SVG strokes a solid pen as Qt does where the transform keeps angles; a
  // cosmetic pen keeps its width in pixels under any transform.
  bool can_stroke() const {
    return pen.style() == Qt::SolidLine && (similar || pen.isCosmetic());
  }

  // The pen's width in drawing units.
  double pen_width() const {
    if (pen.isCosmetic()) return std::max(pen.widthF(), 1.0) / drawing_scale;
    return pen.widthF() * scale;
  }

  void set_transform(const QTransform& transform) {
    to_drawing = transform * drawing_inverse;
    const double a = to_drawing.m11(), b = to_drawing.m12();
    const double c = to_drawing.m21(), d = to_drawing.m22();
    const double tolerance =
        1e-9 * (std::abs(a) + std::abs(b) + std::abs(c) + std::abs(d));
    similar = (std::abs(a - d) <= tolerance && std::abs(b + c) <= tolerance) ||
              (std::abs(a + d) <= tolerance && std::abs(b - c) <= tolerance);
    axis_aligned = to_drawing.type() <= QTransform::TxScale;
    const double new_scale = std::sqrt(std::abs(a * d - b * c));
    if (new_scale != scale) styles_valid = false;
    scale = new_scale;
  }

  // A clip that holds the whole picture (but for a thousandth of a pixel
  // at its edges: a clip to the picture's rectangle, rounded) changes
  // nothing, and is left out.
  void clip(const QPainterPath& path, Qt::ClipOperation operation) {
    styles_valid = false;
    if (operation == Qt::NoClip || operation == Qt::ReplaceClip) clips.clear();
    if (operation == Qt::NoClip) return;
    const QTransform to_device = to_drawing * device.drawing;
    const QRectF picture = QRectF(QPointF(0, 0), QSizeF(device.size))
                               .adjusted(1e-3, 1e-3, -1e-3, -1e-3);
    if (to_device.map(path).contains(picture)) return;
    QPainterPath mapped = to_drawing.map(path);
    mapped.setFillRule(path.fillRule());
    clips.push_back({std::move(mapped), 0});
  }

  // The clip path that stands for the clips in force, nested inside each
  // other; 0 for none. Chains already written are used again.
  int clip_id() {
    if (!clip_enabled || clips.empty()) return 0;
    for (std::size_t i = 0; i < clips.size(); ++i) {
      Clip& clip = clips[i];
      if (clip.id) continue;
      if (i < written_clips.size() &&
          (i == 0 || clips[i - 1].id == written_clips[i - 1].id) &&
          written_clips[i].path == clip.path) {
        clip.id = written_clips[i].id;
        continue;
      }
      clip.id = ++next_clip;
      defs += "<clipPath id=\"c";
      append_int(defs, clip.id);
      if (i > 0) {
        defs += "\" clip-path=\"url(#c";
        append_int(defs, clips[i - 1].id);
        defs += ')';
      }
      defs += "\"><path";
      if (clip.path.fillRule() == Qt::OddEvenFill)
        defs += " clip-rule=\"evenodd\"";
      defs += " d=\"";
      append_path(defs, clip.path, QTransform(), device.decimals);
      defs += "\"/></clipPath>\n";
    }
    written_clips = clips;
    return clips.back().id;
  }

  void append_stroke(Text& out) const {
    out += " stroke=\"";
    append_colour(out, pen.color());
    out += '"';
    append_opacity(out, " stroke-opacity=\"", pen.color());
    out += " stroke-width=\"";
    append_significant(out, pen_width());
    out += '"';
    switch (pen.capStyle()) {
      case Qt::SquareCap:
        out += " stroke-linecap=\"square\"";
        break;
      case Qt::RoundCap:
        out += " stroke-linecap=\"round\"";
        break;
      default:
        break;
    }
    switch (pen.joinStyle()) {
      case Qt::BevelJoin:
        out += " stroke-linejoin=\"bevel\"";
        break;
      case Qt::RoundJoin:
        out += " stroke-linejoin=\"round\"";
        break;
      default:
        out += " stroke-miterlimit=\"";
        append_significant(out, std::max(pen.miterLimit(), 1.0));
        out += '"';
        break;
    }
  }

  void append_opacity(Text& out, const char* attribute,
                      const QColor& colour) const {
    const double alpha = colour.alphaF() * opacity;
    if (alpha >= 1) return;
    out += attribute;
    append_significant(out, alpha, 3);
    out += '"';
  }

  void append_fill(Text& out, const QColor& colour, Qt::FillRule rule) const {
    out += " fill=\"";
    append_colour(out, colour);
    out += '"';
    append_opacity(out, " fill-opacity=\"", colour);
    if (rule == Qt::OddEvenFill) out += " fill-rule=\"evenodd\"";
  }

  // The group attributes for a shape painted so.
  Text style_of(Paint paint, Qt::FillRule rule) {
    Text style;
    switch (paint) {
      case Paint::none:
        break;
      case Paint::stroke:
        style += " fill=\"none\"";
        append_stroke(style);
        break;
      case Paint::fill:
        append_fill(style, brush.color(), rule);
        break;
      case Paint::fill_and_stroke:
        append_fill(style, brush.color(), rule);
        append_stroke(style);
        break;
      case Paint::pen_fill:
        append_fill(style, pen.color(), rule);
        break;
    }
    if (const int id = clip_id()) {
      style += " clip-path=\"url(#c";
      append_int(style, id);
      style += ")\"";
    }
    if (!antialias) style += " shape-rendering=\"crispEdges\"";
    return style;
  }

  // Opens the group for a shape painted so, unless it is open.
  void shape(Paint paint, Qt::FillRule rule) {
    const int variant =
        static_cast<int>(paint) * 2 + (rule == Qt::OddEvenFill ? 1 : 0);
    if (!styles_valid) {
      for (bool& known : style_known) known = false;
      styles_valid = true;
      open_variant = -1;
    }
    if (variant == open_variant) return;
    if (!style_known[variant]) {
      styles[variant] = style_of(paint, rule);
      style_known[variant] = true;
    }
    const Text& style = styles[variant];
    if (style != open_style) {
      if (!open_style.empty()) body += "</g>\n";
      if (!style.empty()) {
        body += "<g";
        body += style;
        body += ">\n";
      }
      open_style = style;
    }
    open_variant = variant;
  }

  void append_box(const QRectF& r) {
    body += " x=\"";
    append_number(body, r.x(), device.decimals);
    body += "\" y=\"";
    append_number(body, r.y(), device.decimals);
    body += "\" width=\"";
    append_number(body, r.width(), device.decimals);
    body += "\" height=\"";
    append_number(body, r.height(), device.decimals);
    body += '"';
  }

  void path_element(const QPainterPath& path, const QTransform& map) {
    body += "<path d=\"";
    append_path(body, path, map, device.decimals);
    body += "\"/>\n";
  }

  void fill_with_pen(const QPainterPath& path, const QTransform& map) {
    shape(Paint::pen_fill, path.fillRule());
    path_element(path, map);
  }

  // The pen's outline filled: dashes, and strokes the transform skews.
  void stroke_outline(const QPainterPath& path) {
    QPainterPathStroker stroker(pen);
    if (pen.isCosmetic()) {
      stroker.setWidth(pen_width());
      fill_with_pen(stroker.createStroke(to_drawing.map(path)), QTransform());
    } else {
      fill_with_pen(stroker.createStroke(path), to_drawing);
    }
  }

  // The document's id of a glyph outline, defined at its first use; 0 for
  // a glyph that draws nothing.
  int glyph_id(const PlacedGlyph& glyph, int decimals) {
    const GlyphOutline& outline = outline_of(glyph, decimals);
    if (outline.data.empty()) return 0;
    auto [found, added] = glyph_ids.try_emplace(
        outline.serial, static_cast<int>(glyph_ids.size()) + 1);
    if (added) {
      defs += "<path id=\"g";
      append_int(defs, found->second);
      defs += "\" d=\"";
      defs += outline.data;
      defs += "\"/>\n";
    }
    return found->second;
  }

  struct Clip {
    QPainterPath path;
    int id = 0;
  };

  SvgDevice& device;
  Text defs;
  Text body;
  // The attributes of the open group, none when empty; the variant of
  // styles that it is, while the state holds.
  Text open_style;
  int open_variant = -1;
  // Group attributes by paint and fill rule, while the state holds.
  Text styles[10];
  bool style_known[10] = {};
  bool styles_valid = false;

  QPen pen;
  QBrush brush;
  bool antialias = false;
  double opacity = 1;
  QTransform drawing_inverse;
  double drawing_scale = 1;
  // From the painter's coordinates to the drawing's units.
  QTransform to_drawing;
  bool similar = true;
  bool axis_aligned = true;
  double scale = 1;

  bool clip_enabled = false;
  std::vector<Clip> clips;
  std::vector<Clip> written_clips;
  int next_clip = 0;
  // Outlines by serial, numbered in order of first use so that a document
  // does not depend on what was drawn before it.
  std::unordered_map<long long, int> glyph_ids;
};

SvgDevice::SvgDevice(const QSize& size, const QTransform& drawing, int decimals)
    : size(size),
      drawing(drawing),
      decimals(std::clamp(
          std::max(decimals, static_cast<int>(std::ceil(std::log10(
                                 std::sqrt(std::abs(drawing.determinant())) *
                                 kPixelFractions)))),
          0, 15)),
      engine(std::make_unique<SvgPaintEngine>(*this)) {
}

SvgDevice::~SvgDevice() = default;

void SvgDevice::set_title(const QString& text) {
  title = text;
}

void SvgDevice::set_physical_size(const QSizeF& size_mm,
                                  const QSizeF& view_pixels) {
  millimetres = size_mm;
  view = view_pixels;
}

void SvgDevice::set_description(const QString& text) {
  description = text;
}

QByteArray SvgDevice::svg() const {
  return document;
}

QPaintEngine* SvgDevice::paintEngine() const {
  return engine.get();
}

int SvgDevice::metric(PaintDeviceMetric metric) const {
  switch (metric) {
    case PdmWidth:
      return size.width();
    case PdmHeight:
      return size.height();
    case PdmWidthMM:
      return qRound(size.width() * 25.4 / device_dpi_x());
    case PdmHeightMM:
      return qRound(size.height() * 25.4 / device_dpi_y());
    case PdmNumColors:
      return INT_MAX;
    case PdmDepth:
      return 32;
    case PdmDpiX:
    case PdmPhysicalDpiX:
      return device_dpi_x();
    case PdmDpiY:
    case PdmPhysicalDpiY:
      return device_dpi_y();
    case PdmDevicePixelRatio:
      return 1;
    case PdmDevicePixelRatioScaled:
      return static_cast<int>(devicePixelRatioFScale());
  }
  return 0;
}

}  // namespace padscope::render
