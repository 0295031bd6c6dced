#pragma once

#include "zwidget/zgraph/graph_base.h"

#include <QBrush>
#include <QGraphicsEllipseItem>

namespace zwidget::zgraph {

// A full circle: an outline, filled too when given a brush.
class GraphicsCircleItem : public AnsweringItem<QGraphicsEllipseItem>,
                           public GraphBase {
public:
  GraphicsCircleItem(const QPointF& centre, const double& radius,
                     const QPen& pen, const QBrush& brush = QBrush());
  ~GraphicsCircleItem() override;

  // Qt's own rectangle, found once (item_caches.h); the circle and pen are
  // not changed after construction.
  QRectF boundingRect() const override;

private:
  QRectF bounds;
};

}  // namespace zwidget::zgraph
