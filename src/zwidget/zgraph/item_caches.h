#pragma once

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QLineF>
#include <QPainterPath>
#include <QPen>
#include <QRectF>
#include <QString>

#include <functional>
#include <vector>

namespace zwidget::zgraph {

// What the graphics items remember across items and scenes, for the whole
// process, all in one place. Each memory saves work that footprints repeat
// pad after pad and file after file, and none changes a picture: what is
// found is what would have been computed. Each is bounded. Items are made
// in one thread only.

// A text in the pad-label font, its ink centred on the origin, and the rim
// around that ink which keeps it readable over a hole or a light pad.
struct ShapedText {
  QPainterPath ink;
  // Stroked only once a theme with a rim asks: it took four fifths of the
  // shaping, which is most of a batch's time where pad names vary.
  QPainterPath rim;
  bool rimmed = false;
};
// The label `text`: its ink as `shape` makes it, and with `with_rim` its
// rim as `stroke` makes it from the ink, each made once.
ShapedText shaped_label(
    const QString& text, bool with_rim,
    const std::function<QPainterPath(const QString&)>& shape,
    const std::function<QPainterPath(const QPainterPath&)>& stroke);

// Glyph `glyph` of `font` at `at`: `read` gives its outline at the origin,
// read once for each glyph, and `place` moves that outline to `at`, once
// for each glyph and place.
const QPainterPath& placed_glyph(
    const QFont& font, quint32 glyph, QPointF at,
    const std::function<QPainterPath()>& read,
    const std::function<QPainterPath(const QPainterPath&)>& place);
// Whether glyphs placed one by one give Qt's own text in `font`, as `check`
// finds, checked once.
bool font_places_exactly(const QFont& font, const std::function<bool()>& check);

// A pad's outline pen and fill: Qt's implicitly shared values, made by
// `make` once for each colour of the last few and shared by every pad in it.
struct PadPaint {
  QPen pen;
  QBrush brush;
};
PadPaint pad_paint(const QColor& colour,
                   const std::function<PadPaint(const QColor&)>& make);

enum class Clip { subtracted, intersected };
// `a` with `b` taken away or kept only where `b` is, as QPainterPath
// computes it; the clips of the last footprints are kept.
QPainterPath clipped(Clip clip, const QPainterPath& a, const QPainterPath& b);

// Qt's bounding rectangle of a line item drawn with `pen`, as `compute`
// gives it; the rectangles of the last footprints' lines are kept.
QRectF line_bounds(const QLineF& line, const QPen& pen,
                   const std::function<QRectF()>& compute);

// Qt's bounding rectangle of a shape item drawn with `pen`, as `compute`
// gives it, for a shape that `numbers` describe whole, its kind among them;
// the rectangles of the last footprints' shapes are kept.
QRectF shape_bounds(const std::vector<double>& numbers, const QPen& pen,
                    const std::function<QRectF()>& compute);

// Forgets all that is kept, as at the process's start.
void clear_item_caches();

}  // namespace zwidget::zgraph
