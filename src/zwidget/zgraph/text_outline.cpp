#include "zwidget/zgraph/text_outline.h"

#include "zwidget/zgraph/item_caches.h"

#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>

#include <cstdint>

namespace zwidget::zgraph {
namespace {

// Qt writes a glyph's points on a grid of 1/128 after moving them to the
// glyph's place, and only then turns the font's quadratic curves into cubic
// ones: a control point (2q + p) / 3 is rounded once, at its place. A point
// read at the origin that lies on the grid moves exactly; one off it is such
// a third, whose numerator is found again and divided at the new place.
double placed(double at_origin, double offset) {
  const double grid = at_origin * 128;
  if (grid == static_cast<double>(static_cast<std::int64_t>(grid)))
    return at_origin + offset;
  const double thrice = 3 * grid;
  const auto numerator =
      static_cast<std::int64_t>(thrice + (thrice < 0 ? -0.5 : 0.5));
  return (static_cast<double>(numerator) / 128 + 3 * offset) / 3;
}

QPainterPath moved(const QPainterPath& glyph, QPointF offset) {
  QPainterPath path = glyph;
  for (int i = 0; i < glyph.elementCount(); ++i) {
    const QPainterPath::Element& point = glyph.elementAt(i);
    path.setElementPositionAt(i, placed(point.x, offset.x()),
                              placed(point.y, offset.y()));
  }
  return path;
}

// Text Qt lays out as one run of one font with no tabs; a blank text is
// left to Qt, whose path of it holds one point.
bool placeable(const QString& text) {
  bool blank = true;
  for (const QChar c : text) {
    if (c.unicode() < 0x20 || c.unicode() > 0x7e) return false;
    blank = blank && c == QLatin1Char(' ');
  }
  return !blank;
}

// Laid out as QPainterPath::addText lays it out, or empty where it is more
// than one run.
QPainterPath placed_glyphs(const QString& text, const QFont& font) {
  QTextLayout layout(text, font);
  layout.setCacheEnabled(true);
  QTextOption option = layout.textOption();
  option.setUseDesignMetrics(true);
  layout.setTextOption(option);
  layout.beginLayout();
  const QTextLine line = layout.createLine();
  layout.endLayout();
  const QList<QGlyphRun> runs = layout.glyphRuns();
  if (runs.size() != 1) return {};
  const QRawFont raw = runs.front().rawFont();
  const QVector<quint32> glyphs = runs.front().glyphIndexes();
  const QVector<QPointF> positions = runs.front().positions();
  // The layout puts the baseline at the ascent; the path at y = 0.
  const double ascent = line.ascent();
  QPainterPath path;
  for (int i = 0; i < glyphs.size(); ++i) {
    const QPointF at = positions[i] - QPointF(0, ascent);
    path.addPath(placed_glyph(
        font, glyphs[i], at, [&] { return raw.pathForGlyph(glyphs[i]); },
        [&](const QPainterPath& glyph) { return moved(glyph, at); }));
  }
  return path;
}

bool same(const QPainterPath& a, const QPainterPath& b) {
  if (a.elementCount() != b.elementCount() || a.fillRule() != b.fillRule())
    return false;
  for (int i = 0; i < a.elementCount(); ++i) {
    const QPainterPath::Element &x = a.elementAt(i), &y = b.elementAt(i);
    if (x.type != y.type || x.x != y.x || x.y != y.y) return false;
  }
  return true;
}

QPainterPath qt_outline(const QString& text, const QFont& font) {
  QPainterPath path;
  path.addText(0, 0, font, text);
  return path;
}

// Placing depends on how Qt writes a font's points, so each font is tried
// once against Qt's own text, kerned pair and all.
bool places_exactly(const QFont& font) {
  return font_places_exactly(font, [&] {
    const QString probe = QStringLiteral(
        "AV W18 0123456789 ABCDEFGHIJKLMNOPQRSTUVWXYZ "
        "abcdefghijklmnopqrstuvwxyz "
        "-+_.,~{}()");
    return same(placed_glyphs(probe, font), qt_outline(probe, font));
  });
}

}  // namespace

QPainterPath text_outline(const QString& text, const QFont& font) {
  if (placeable(text) && places_exactly(font)) {
    QPainterPath path = placed_glyphs(text, font);
    if (!path.isEmpty()) return path;
  }
  return qt_outline(text, font);
}

}  // namespace zwidget::zgraph
