#include "zwidget/zgraph/line_item.h"

namespace zwidget::zgraph {

GraphicsLineItem::GraphicsLineItem(const QLineF& line, const QPen& pen)
    : QGraphicsLineItem(line) {
  setPen(pen);
}

GraphicsLineItem::~GraphicsLineItem() = default;

}  // namespace zwidget::zgraph
