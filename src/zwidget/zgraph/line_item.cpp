#include "zwidget/zgraph/line_item.h"

namespace zwidget::zgraph {

GraphicsLineItem::GraphicsLineItem(const QLineF& line, const QPen& pen)
    : QGraphicsLineItem(line) {
  setPen(pen);
  bounds = QGraphicsLineItem::boundingRect();
}

GraphicsLineItem::~GraphicsLineItem() = default;

QRectF GraphicsLineItem::boundingRect() const {
  return bounds;
}

}  // namespace zwidget::zgraph
