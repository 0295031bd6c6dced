#pragma once

#include "zwidget/zgraph/graph_base.h"

#include <QAbstractGraphicsShapeItem>
#include <QPainterPath>
#include <QPen>
#include <QPointF>

#include <vector>

namespace zwidget::zgraph {

// Straight segments joining the given points in order; the points of an
// fp_curve are its four Bezier points, drawn as they stand.
class GraphicsCurveItem : public AnsweringItem<QAbstractGraphicsShapeItem>,
                          public GraphBase {
public:
  GraphicsCurveItem(const std::vector<QPointF>& points, const QPen& pen);
  ~GraphicsCurveItem() override;

  QRectF boundingRect() const override;
  void paint(QPainter* painter, const QStyleOptionGraphicsItem* option,
             QWidget* widget) override;

  const std::vector<QPointF>& points() const { return points_; }
  // The pen the curve is drawn with; the shape item's own pen() is unused.
  const QPen& curve_pen() const { return pen_; }

private:
  std::vector<QPointF> points_;
  QPen pen_;
  QPainterPath path_;
  QRectF bounds_;
};

}  // namespace zwidget::zgraph
