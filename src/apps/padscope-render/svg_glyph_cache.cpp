#include "apps/padscope-render/svg_glyph_cache.h"

#include <QGlyphRun>
#include <QHash>
#include <QTextLayout>
#include <QTransform>

#include <algorithm>
#include <unordered_map>

namespace padscope::render::svg {

namespace {

// Past this many layouts or outlines a cache starts again.
constexpr int kCacheLimit = 100000;

}  // namespace

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

}  // namespace padscope::render::svg
