#include "zwidget/zgraph/item_caches.h"

#include <QHash>
#include <QPen>

#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

namespace zwidget::zgraph {

namespace {

// Kept by text; bounded, since a library of odd pad names must not grow it
// without end.
class LabelMemo {
public:
  ShapedText shaped(
      const QString& text, bool with_rim,
      const std::function<QPainterPath(const QString&)>& shape,
      const std::function<QPainterPath(const QPainterPath&)>& stroke) {
    auto found = kept_.find(text);
    if (found == kept_.end()) {
      if (static_cast<std::size_t>(kept_.size()) > kMostTexts) kept_.clear();
      found = kept_.insert(text, ShapedText{shape(text), {}, false});
    }
    ShapedText& made = found.value();
    if (with_rim && !made.rimmed) {
      made.rim = stroke(made.ink);
      made.rimmed = true;
    }
    return made;
  }
  void clear() { kept_.clear(); }

private:
  static constexpr std::size_t kMostTexts = 20000;
  QHash<QString, ShapedText> kept_;
};

// By font: whether its placed glyphs are Qt's text, the outlines of the
// glyphs used so far, and those outlines at the places they took. Only
// printable ASCII is placed, so a font keeps a hundred glyphs at most; pad
// numbers put them at a few hundred places.
class GlyphMemo {
public:
  const QPainterPath& placed(
      const QFont& font, quint32 glyph, QPointF at,
      const std::function<QPainterPath()>& read,
      const std::function<QPainterPath(const QPainterPath&)>& place) {
    Font& kept = kept_font(font);
    const Place key{glyph, bits(at.x()), bits(at.y())};
    if (const auto found = kept.placed.find(key); found != kept.placed.end())
      return found->second;
    auto outline = kept.glyphs.find(glyph);
    if (outline == kept.glyphs.end())
      outline = kept.glyphs.emplace(glyph, read()).first;
    if (kept.placed.size() >= kMostPlaces) kept.placed.clear();
    return kept.placed.emplace(key, place(outline->second)).first->second;
  }
  bool places_exactly(const QFont& font, const std::function<bool()>& check) {
    Font& kept = kept_font(font);
    if (!kept.checked) {
      kept.exact = check();
      kept.checked = true;
    }
    return kept.exact;
  }

private:
  struct Place {
    quint32 glyph;
    std::uint64_t x, y;
    bool operator==(const Place& other) const {
      return glyph == other.glyph && x == other.x && y == other.y;
    }
  };
  struct PlaceHash {
    std::size_t operator()(const Place& place) const {
      return static_cast<std::size_t>((place.x * 0x9e3779b97f4a7c15ULL) ^
                                      (place.y << 1) ^ place.glyph);
    }
  };
  struct Font {
    bool checked = false;
    bool exact = false;
    std::unordered_map<quint32, QPainterPath> glyphs;
    std::unordered_map<Place, QPainterPath, PlaceHash> placed;
  };
  static constexpr std::size_t kMostFonts = 16;
  static constexpr std::size_t kMostPlaces = 1 << 14;

  static std::uint64_t bits(double value) {
    std::uint64_t word;
    std::memcpy(&word, &value, sizeof word);
    return word;
  }
  Font& kept_font(const QFont& font) {
    auto found = fonts_.find(font);
    if (found == fonts_.end()) {
      if (fonts_.size() >= kMostFonts) fonts_.clear();
      found = fonts_.emplace(font, Font()).first;
    }
    return found->second;
  }

  std::map<QFont, Font> fonts_;
};

// The same paths clipped the same way give the same outline, and clipping is
// slow: the paste rings around a mounting hole, stroked arcs, took a
// millisecond each to cut. A library draws one part in many variants (a
// mounting pad at ten heights), so the clips of the last footprints are
// kept. Two generations, each of a bounded number of path elements: a clip
// found in the older one moves to the newer, and the older is dropped when
// the newer is full.
class ClipMemo {
public:
  QPainterPath clipped(Clip clip, const QPainterPath& a,
                       const QPainterPath& b) {
    const std::size_t key = hash(a, hash(b, static_cast<std::size_t>(clip)));
    if (const QPainterPath* found = find(newer_, key, clip, a, b))
      return *found;
    QPainterPath result;
    if (const QPainterPath* found = find(older_, key, clip, a, b))
      result = *found;
    else
      result = clip == Clip::subtracted ? a.subtracted(b) : a.intersected(b);
    keep(key, {clip, a, b, result});
    return result;
  }

private:
  struct Clipped {
    Clip clip;
    QPainterPath a, b, result;
  };
  using Generation = std::unordered_multimap<std::size_t, Clipped>;

  static constexpr std::size_t kElementsPerGeneration = 1 << 18;

  static std::uint64_t bits(double value) {
    std::uint64_t word;
    std::memcpy(&word, &value, sizeof word);
    return word;
  }
  static std::size_t hash(const QPainterPath& path, std::size_t seed) {
    const auto mix = [&seed](std::uint64_t word) {
      seed ^= word + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
    };
    mix(static_cast<std::uint64_t>(path.fillRule()));
    for (int i = 0; i < path.elementCount(); ++i) {
      const QPainterPath::Element& e = path.elementAt(i);
      mix(static_cast<std::uint64_t>(e.type));
      mix(bits(e.x));
      mix(bits(e.y));
    }
    return seed;
  }
  // Bit for bit: QPainterPath's own == forgives small differences.
  static bool same(const QPainterPath& a, const QPainterPath& b) {
    if (a.elementCount() != b.elementCount() || a.fillRule() != b.fillRule())
      return false;
    for (int i = 0; i < a.elementCount(); ++i) {
      const QPainterPath::Element &x = a.elementAt(i), &y = b.elementAt(i);
      if (x.type != y.type || bits(x.x) != bits(y.x) || bits(x.y) != bits(y.y))
        return false;
    }
    return true;
  }
  static const QPainterPath* find(const Generation& generation, std::size_t key,
                                  Clip clip, const QPainterPath& a,
                                  const QPainterPath& b) {
    const auto [first, last] = generation.equal_range(key);
    for (auto found = first; found != last; ++found) {
      const Clipped& kept = found->second;
      if (kept.clip == clip && same(kept.a, a) && same(kept.b, b))
        return &kept.result;
    }
    return nullptr;
  }
  void keep(std::size_t key, Clipped clipped) {
    const std::size_t size = clipped.a.elementCount() +
                             clipped.b.elementCount() +
                             clipped.result.elementCount();
    if (size > kElementsPerGeneration) return;
    if (elements_ + size > kElementsPerGeneration) {
      older_ = std::move(newer_);
      newer_ = Generation();
      elements_ = 0;
    }
    newer_.emplace(key, std::move(clipped));
    elements_ += size;
  }

  Generation newer_, older_;
  std::size_t elements_ = 0;
};

// Everything of a line and its pen that Qt's rectangle depends on, bit for
// bit: equal keys give equal rectangles.
struct LineKey {
  std::array<std::uint64_t, 6> numbers{};
  std::uint32_t styles = 0;

  LineKey(const QLineF& line, const QPen& pen) {
    const double values[] = {line.x1(), line.y1(),    line.x2(),
                             line.y2(), pen.widthF(), pen.miterLimit()};
    std::memcpy(numbers.data(), values, sizeof values);
    styles = static_cast<std::uint32_t>(pen.style() == Qt::NoPen) |
             static_cast<std::uint32_t>(pen.capStyle()) << 1 |
             static_cast<std::uint32_t>(pen.joinStyle()) << 12;
  }
  bool operator==(const LineKey& other) const {
    return numbers == other.numbers && styles == other.styles;
  }
};

struct LineKeyHash {
  std::size_t operator()(const LineKey& key) const {
    std::uint64_t seed = key.styles;
    for (const std::uint64_t word : key.numbers)
      seed ^= word + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
    return static_cast<std::size_t>(seed);
  }
};

// Qt strokes the whole line for its rectangle, some thousands of
// instructions, while the footprints of a family repeat most of their lines
// exactly: seven in ten of the lines of KiCad's library. The rectangles of
// recent lines are kept in two generations: one found in the older moves
// to the newer, and the older is dropped when the newer is full.
class LineBoundsMemo {
public:
  template <typename Compute>
  QRectF bounds(const LineKey& key, Compute compute) {
    if (const auto found = newer_.find(key); found != newer_.end())
      return found->second;
    QRectF rect;
    if (const auto found = older_.find(key); found != older_.end())
      rect = found->second;
    else
      rect = compute();
    if (newer_.size() >= kPerGeneration) {
      older_ = std::move(newer_);
      newer_ = Generation();
    }
    newer_.emplace(key, rect);
    return rect;
  }

private:
  using Generation = std::unordered_map<LineKey, QRectF, LineKeyHash>;
  static constexpr std::size_t kPerGeneration = 1 << 14;

  Generation newer_, older_;
};

// The same for shapes of any number of numbers: rectangles, polygons,
// circles and arcs repeat across a family as lines do, and Qt strokes each
// for its rectangle, over ten thousand instructions.
struct ShapeKey {
  std::vector<std::uint64_t> numbers;

  // The whole pen's shape, its dashes too, though Qt may not stroke them
  // for the rectangle: a key too fine only shares less.
  ShapeKey(const std::vector<double>& shape, const QPen& pen) {
    std::vector<double> values = shape;
    values.push_back(pen.widthF());
    values.push_back(pen.miterLimit());
    if (pen.style() == Qt::CustomDashLine) {
      values.push_back(pen.dashOffset());
      for (const double dash : pen.dashPattern()) values.push_back(dash);
    }
    numbers.resize(values.size() + 1);
    std::memcpy(numbers.data(), values.data(), values.size() * sizeof(double));
    numbers.back() = static_cast<std::uint64_t>(pen.style()) |
                     static_cast<std::uint64_t>(pen.capStyle()) << 8 |
                     static_cast<std::uint64_t>(pen.joinStyle()) << 16 |
                     static_cast<std::uint64_t>(shape.size()) << 24;
  }
  bool operator==(const ShapeKey& other) const {
    return numbers == other.numbers;
  }
};

struct ShapeKeyHash {
  std::size_t operator()(const ShapeKey& key) const {
    std::uint64_t seed = key.numbers.size();
    for (const std::uint64_t word : key.numbers)
      seed ^= word + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
    return static_cast<std::size_t>(seed);
  }
};

// Two generations as for lines, each of a bounded number of numbers.
class ShapeBoundsMemo {
public:
  QRectF bounds(ShapeKey key, const std::function<QRectF()>& compute) {
    if (const auto found = newer_.find(key); found != newer_.end())
      return found->second;
    QRectF rect;
    if (const auto found = older_.find(key); found != older_.end())
      rect = found->second;
    else
      rect = compute();
    const std::size_t size = key.numbers.size();
    if (size > kNumbersPerGeneration) return rect;
    if (numbers_ + size > kNumbersPerGeneration) {
      older_ = std::move(newer_);
      newer_ = Generation();
      numbers_ = 0;
    }
    newer_.emplace(std::move(key), rect);
    numbers_ += size;
    return rect;
  }

private:
  using Generation = std::unordered_map<ShapeKey, QRectF, ShapeKeyHash>;
  static constexpr std::size_t kNumbersPerGeneration = 1 << 18;

  Generation newer_, older_;
  std::size_t numbers_ = 0;
};

// A footprint's pads come in a few colours, a theme's in a dozen.
class PadPaintMemo {
public:
  PadPaint paint(const QColor& colour,
                 const std::function<PadPaint(const QColor&)>& make) {
    for (const auto& [kept_colour, kept] : kept_)
      if (kept_colour == colour) return kept;
    if (kept_.size() >= kMostColours) kept_.clear();
    kept_.emplace_back(colour, make(colour));
    return kept_.back().second;
  }

private:
  static constexpr std::size_t kMostColours = 32;
  std::vector<std::pair<QColor, PadPaint>> kept_;
};

// The memories, made on first use and kept to the process's end.
struct ItemCaches {
  PadPaintMemo pad_paints;
  LabelMemo labels;
  GlyphMemo glyphs;
  ClipMemo clips;
  LineBoundsMemo lines;
  ShapeBoundsMemo shapes;
};

ItemCaches& caches() {
  static ItemCaches kept;
  return kept;
}

}  // namespace

ShapedText shaped_label(
    const QString& text, bool with_rim,
    const std::function<QPainterPath(const QString&)>& shape,
    const std::function<QPainterPath(const QPainterPath&)>& stroke) {
  return caches().labels.shaped(text, with_rim, shape, stroke);
}

const QPainterPath& placed_glyph(
    const QFont& font, quint32 glyph, QPointF at,
    const std::function<QPainterPath()>& read,
    const std::function<QPainterPath(const QPainterPath&)>& place) {
  return caches().glyphs.placed(font, glyph, at, read, place);
}

bool font_places_exactly(const QFont& font,
                         const std::function<bool()>& check) {
  return caches().glyphs.places_exactly(font, check);
}

PadPaint pad_paint(const QColor& colour,
                   const std::function<PadPaint(const QColor&)>& make) {
  return caches().pad_paints.paint(colour, make);
}

QPainterPath clipped(Clip clip, const QPainterPath& a, const QPainterPath& b) {
  return caches().clips.clipped(clip, a, b);
}

QRectF line_bounds(const QLineF& line, const QPen& pen,
                   const std::function<QRectF()>& compute) {
  return caches().lines.bounds(LineKey(line, pen), compute);
}

QRectF shape_bounds(const std::vector<double>& numbers, const QPen& pen,
                    const std::function<QRectF()>& compute) {
  return caches().shapes.bounds(ShapeKey(numbers, pen), compute);
}

void clear_item_caches() {
  caches() = ItemCaches();
}

}  // namespace zwidget::zgraph
