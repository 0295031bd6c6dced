#include "zwidget/zgraph/circle_item.h"

namespace zwidget::zgraph {

GraphicsCircleItem::GraphicsCircleItem(const QPointF& centre,
                                       const double& radius, const QPen& pen,
                                       const QBrush& brush)
    : QGraphicsEllipseItem(centre.x() - radius, centre.y() - radius, 2 * radius,
                           2 * radius) {
  setPen(pen);
  setBrush(brush);
}

GraphicsCircleItem::~GraphicsCircleItem() = default;

}  // namespace zwidget::zgraph
