#pragma once

#include "zwidget/zgraph/graph_base.h"

#include <QAbstractGraphicsShapeItem>
#include <QColor>
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
  ~GraphicsTextItem() override;

  // The extent of the turned strokes, whether shown or hidden.
  QRectF boundingRect() const override;
  void paint(QPainter* painter, const QStyleOptionGraphicsItem* option,
             QWidget* widget) override;

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

  // Derived once from the fields above; paint() only draws them.
  QTransform turn;
  QPen pen;
  QRectF bounds;
  // The points of every stroke, placed about `position` and unturned;
  // stroke i ends before stroke_ends[i].
  std::vector<QPointF> points;
  std::vector<int> stroke_ends;
};

}  // namespace zwidget::zgraph
