#pragma once

#include "zwidget/zgraph/graph_base.h"

#include <QAbstractGraphicsShapeItem>
#include <QColor>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QTransform>

#include <vector>

namespace zwidget::zgraph {

// A stretch of a text in one style of KiCad's markup.
struct TextRun {
  enum class Shift { none, subscript, superscript };
  QString text;
  Shift shift = Shift::none;
  bool overbar = false;
};

// Where a text lies against its position, and how else it is drawn.
struct TextStyle {
  // `start` puts the position at the left (horizontal) or top (vertical)
  // edge of the ink, `end` at the right or bottom edge.
  enum class Align { start, centre, end };
  Align horizontal = Align::centre;
  Align vertical = Align::centre;
  // Mirrored left to right about the position, before it is turned.
  bool mirrored = false;
  // A hole in a filled box of the colour.
  bool knockout = false;
  // Lines (split at line breaks) lie this many times the font's pitch apart.
  double line_spacing = 1;
  // A system font family, drawn as filled outlines instead of strokes; a
  // missing family falls back to a sans-serif one.
  QString face;
  bool bold = false;
  // Above 0: words wrap into lines no wider than this.
  double wrap_width = 0;
  // The text in its markup's stretches, in order; empty: the text as it
  // stands.
  std::vector<TextRun> runs;
};

// Turns a text that would read upside down by half a turn, as KiCad keeps
// texts readable from below or from the right (angles in (-90, 90]); it
// keeps its justification about the same anchor.
void keep_upright(double& angle);

// The stroke width KiCad plots a text of `size` with: a width of at most a
// nanometre is none and stands for an eighth of the text's width, and no
// stroke is wider than a quarter of the text's smaller side.
double plotted_stroke(double thickness, const QSizeF& size);

// One footprint text in the Hershey stroke font, placed about its position
// as KiCad places its own stroke font, and turned about it.
class GraphicsTextItem : public AnsweringItem<QAbstractGraphicsShapeItem>,
                         public GraphBase {
public:
  // Throws hersheyfont::HersheyFontException when the font cannot be read.
  GraphicsTextItem(const QString& type, const QString& text,
                   const QPointF& position, const double& angle,
                   const bool& hide, const QSizeF& size,
                   const double& thickness, const bool& italic,
                   const QColor& colour);
  // The same placed and drawn as `style` says.
  GraphicsTextItem(const QString& type, const QString& text,
                   const QPointF& position, const double& angle,
                   const bool& hide, const QSizeF& size,
                   const double& thickness, const bool& italic,
                   const QColor& colour, const TextStyle& style);
  ~GraphicsTextItem() override;

  // The extent of the turned ink, whether shown or hidden.
  QRectF boundingRect() const override;
  void paint(QPainter* painter, const QStyleOptionGraphicsItem* option,
             QWidget* widget) override;

  const QString& content() const { return text; }
  bool hidden() const { return hide; }
  double text_angle() const { return angle; }
  // The width of the strokes drawn.
  double text_thickness() const { return pen.widthF(); }
  const TextStyle& text_style() const { return style; }

private:
  QString type;
  QString text;
  QPointF position;
  double angle;
  bool hide;
  QSizeF size;
  double thickness;
  bool italic;
  QColor colour;

  TextStyle style;

  // Derived once from the fields above; paint() only draws them.
  // Mirrors, then turns about `position`.
  QTransform turn;
  QPen pen;
  QRectF bounds;
  // The points of every stroke, placed about `position` and unturned;
  // stroke i ends before stroke_ends[i].
  std::vector<QPointF> points;
  std::vector<int> stroke_ends;
  // Filled instead of the strokes: a face's glyphs, a few dozen a path.
  std::vector<QPainterPath> filled;
  // A knockout's box, filled but for the glyphs.
  QRectF knockout_box;

  void paint_knockout(QPainter* painter) const;
  void draw_glyphs(QPainter* painter) const;
};

}  // namespace zwidget::zgraph
