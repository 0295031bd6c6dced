#include "zwidget/zgraph/curve_item.h"

#include <QPainter>

#include <algorithm>

namespace zwidget::zgraph {
namespace {

// The rectangle spanned by the points; with no points, the empty rectangle
// at the origin.
QRectF points_rect(const std::vector<QPointF>& points) {
  if (points.empty()) return QRectF();
  const auto [min_x, max_x] = std::minmax_element(
      points.begin(), points.end(),
      [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); });
  const auto [min_y, max_y] = std::minmax_element(
      points.begin(), points.end(),
      [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); });
  return QRectF(QPointF(min_x->x(), min_y->y()),
                QPointF(max_x->x(), max_y->y()));
}

}  // namespace

GraphicsCurveItem::GraphicsCurveItem(const std::vector<QPointF>& points,
                                     const QPen& pen)
    : points_(points), pen_(pen), bounds_(points_rect(points)) {
  if (points_.empty()) return;
  path_.moveTo(points_.front());
  for (auto it = points_.begin() + 1; it != points_.end(); ++it)
    path_.lineTo(*it);
  // The pen reaches half its width beyond the points (round caps, bevel
  // joins); the view repaints only inside bounding rectangles.
  if (points_.size() > 1 && !pen_.isCosmetic()) {
    const double margin = pen_.widthF() / 2;
    bounds_.adjust(-margin, -margin, margin, margin);
  }
}

GraphicsCurveItem::~GraphicsCurveItem() = default;

QRectF GraphicsCurveItem::boundingRect() const {
  return bounds_;
}

void GraphicsCurveItem::paint(QPainter* painter,
                              const QStyleOptionGraphicsItem* /*option*/,
                              QWidget* /*widget*/) {
  if (points_.empty()) return;
  painter->save();
  painter->setPen(pen_);
  // An open path under a brush would be filled; a curve is a line only.
  painter->setBrush(Qt::NoBrush);
  painter->drawPath(path_);
  painter->restore();
}

}  // namespace zwidget::zgraph
