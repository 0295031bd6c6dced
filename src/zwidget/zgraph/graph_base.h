#pragma once

#include <QGraphicsItem>
#include <QPolygonF>
#include <QRectF>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace zwidget::zgraph {

// Marks the graphics items that are this program's own; nothing reads it.
class GraphBase {};

// Qt's item `QtItem` as the program's items derive from it: it answers a
// change as Qt's base item does, but with nothing once the scene has
// changed, when Qt ignores the answer. Qt copies back whatever is answered,
// and a copy of the scene's pointer takes the type registry's lock: a tenth
// of adding an item.
template <typename QtItem>
class AnsweringItem : public QtItem {
public:
  using QtItem::QtItem;

protected:
  QVariant itemChange(QGraphicsItem::GraphicsItemChange change,
                      const QVariant& value) override {
    return change == QGraphicsItem::ItemSceneHasChanged ? QVariant() : value;
  }
};

// The rectangle the points of all `polygons` span; not a number when any
// point is not finite, so that the scene's check turns the item away.
inline QRectF extent_of(const std::vector<QPolygonF>& polygons) {
  const double inf = std::numeric_limits<double>::infinity();
  double left = inf, top = inf, right = -inf, bottom = -inf;
  for (const QPolygonF& polygon : polygons) {
    for (const QPointF& p : polygon) {
      if (!std::isfinite(p.x()) || !std::isfinite(p.y())) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        return QRectF(nan, nan, nan, nan);
      }
      left = std::min(left, p.x());
      right = std::max(right, p.x());
      top = std::min(top, p.y());
      bottom = std::max(bottom, p.y());
    }
  }
  return left > right ? QRectF()
                      : QRectF(QPointF(left, top), QPointF(right, bottom));
}

}  // namespace zwidget::zgraph
