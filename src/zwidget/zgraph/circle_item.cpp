#include "zwidget/zgraph/circle_item.h"

#include "zwidget/zgraph/item_caches.h"

namespace zwidget::zgraph {
namespace {

// Tells a circle's numbers from another shape's.
constexpr double kCircleShape = 2;

}  // namespace

GraphicsCircleItem::GraphicsCircleItem(const QPointF& centre,
                                       const double& radius, const QPen& pen,
                                       const QBrush& brush)
    : AnsweringItem(centre.x() - radius, centre.y() - radius, 2 * radius,
                    2 * radius) {
  setPen(pen);
  setBrush(brush);
  const QRectF& box = rect();
  bounds = shape_bounds(
      {kCircleShape, box.x(), box.y(), box.width(), box.height(),
       double(startAngle()), double(spanAngle())},
      pen, [this] { return QGraphicsEllipseItem::boundingRect(); });
}

GraphicsCircleItem::~GraphicsCircleItem() = default;

QRectF GraphicsCircleItem::boundingRect() const {
  return bounds;
}

}  // namespace zwidget::zgraph
