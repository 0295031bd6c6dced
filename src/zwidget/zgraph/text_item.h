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

#include <memory>
#include <vector>

namespace hersheyfont {
class HersheyFont;
}

namespace zwidget::zgraph {

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
};

// Turns a text that would read upside down by half a turn, as KiCad keeps
// texts readable from below or from the right (angles in (-90, 90]); the
// alignment flips so that the ink stays where it was.
void keep_upright(double& angle, TextStyle& style);

// One footprint text in the Hershey stroke font, centred on its position
// and turned about it. Each item parses a font of its own.
class GraphicsTextItem : public QAbstractGraphicsShapeItem, public GraphBase {
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

  // The extent of the turned strokes, whether shown or hidden.
  QRectF boundingRect() const override;
  void paint(QPainter* painter, const QStyleOptionGraphicsItem* option,
             QWidget* widget) override;

  const QString& content() const { return text; }
  bool hidden() const { return hide; }
  double text_angle() const { return angle; }
  double text_thickness() const { return thickness; }
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
  std::unique_ptr<hersheyfont::HersheyFont> font;

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
  // Filled instead of the strokes: a face's glyphs, or the knockout box.
  QPainterPath filled;
};

}  // namespace zwidget::zgraph
