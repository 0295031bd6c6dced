#include "zwidget/zgraph/polygon_item.h"

#include "zwidget/zgraph/item_caches.h"

#include <QPainter>

namespace zwidget::zgraph {

namespace {

// Fewer corners are drawn as they stand.
constexpr int kPlainCorners = 4096;
// In device pixels, along x plus along y.
constexpr double kCornerSpacing = 0.25;
// Tells a polygon's numbers from another shape's.
constexpr double kPolygonShape = 1;

}  // namespace

GraphicsPolygonItem::GraphicsPolygonItem(const QPolygonF& polygon,
                                         const QPen& pen, const QBrush& brush)
    : AnsweringItem(polygon) {
  setPen(pen);
  setBrush(brush);
  std::vector<double> numbers{kPolygonShape};
  numbers.reserve(1 + 2 * static_cast<std::size_t>(polygon.size()));
  for (const QPointF& corner : polygon) {
    numbers.push_back(corner.x());
    numbers.push_back(corner.y());
  }
  bounds = shape_bounds(
      numbers, pen, [this] { return QGraphicsPolygonItem::boundingRect(); });
}

GraphicsPolygonItem::~GraphicsPolygonItem() = default;

QRectF GraphicsPolygonItem::boundingRect() const {
  return bounds;
}

void GraphicsPolygonItem::paint(QPainter* painter,
                                const QStyleOptionGraphicsItem* option,
                                QWidget* widget) {
  const QPolygonF& corners = polygon();
  if (corners.size() <= kPlainCorners) {
    QGraphicsPolygonItem::paint(painter, option, widget);
    return;
  }
  const QTransform& device = painter->worldTransform();
  QPolygonF drawn;
  QPointF last = device.map(corners.front());
  drawn.append(corners.front());
  for (const QPointF& corner : corners) {
    const QPointF at = device.map(corner);
    if ((at - last).manhattanLength() < kCornerSpacing) continue;
    drawn.append(corner);
    last = at;
  }
  painter->save();
  painter->setPen(pen());
  painter->setBrush(brush());
  painter->drawPolygon(drawn, fillRule());
  painter->restore();
}

}  // namespace zwidget::zgraph
