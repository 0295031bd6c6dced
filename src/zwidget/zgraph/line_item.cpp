#include "zwidget/zgraph/line_item.h"

#include "zwidget/zgraph/item_caches.h"

#include <QPen>

namespace zwidget::zgraph {

GraphicsLineItem::GraphicsLineItem(const QLineF& line, const QPen& pen)
    : AnsweringItem(line) {
  setPen(pen);
  bounds = line_bounds(line, pen,
                       [this] { return QGraphicsLineItem::boundingRect(); });
}

GraphicsLineItem::~GraphicsLineItem() = default;

QRectF GraphicsLineItem::boundingRect() const {
  return bounds;
}

}  // namespace zwidget::zgraph
