#include "zwidget/zgraph/polygon_item.h"

namespace zwidget::zgraph {

GraphicsPolygonItem::GraphicsPolygonItem(const QPolygonF& polygon,
                                         const QPen& pen, const QBrush& brush)
    : QGraphicsPolygonItem(polygon) {
  setPen(pen);
  setBrush(brush);
}

GraphicsPolygonItem::~GraphicsPolygonItem() = default;

}  // namespace zwidget::zgraph
