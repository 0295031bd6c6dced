#include "zwidget/zgraph/arc_item.h"

#include "zwidget/zgraph/arc_geometry.h"
#include "zwidget/zgraph/item_caches.h"

#include <QPainter>
#include <QPainterPathStroker>

#include <cmath>
#include <limits>

namespace zwidget::zaux {
namespace {

// Converting a double that does not fit an int is undefined, and both a
// zero-length arc (whose start angle comes out NaN) and any angle a file
// holds arrive here: NaN becomes 0, anything else is clamped.
int to_sixteenths(double degrees) {
  const double sixteenths = degrees * 16;
  constexpr int kMax = std::numeric_limits<int>::max();
  constexpr int kMin = std::numeric_limits<int>::min();
  if (std::isnan(sixteenths)) return 0;
  if (sixteenths >= static_cast<double>(kMax)) return kMax;
  if (sixteenths <= static_cast<double>(kMin)) return kMin;
  return static_cast<int>(sixteenths);
}

}  // namespace

ZGraphicsArcItem::ZGraphicsArcItem(const QRectF& rect, double start_degrees,
                                   double span_degrees)
    : QGraphicsEllipseItem(rect) {
  setStartAngle(to_sixteenths(start_degrees));
  setSpanAngle(to_sixteenths(span_degrees));
}

ZGraphicsArcItem::~ZGraphicsArcItem() = default;

void ZGraphicsArcItem::paint(QPainter* painter,
                             const QStyleOptionGraphicsItem* /*option*/,
                             QWidget* /*widget*/) {
  painter->save();
  painter->setPen(pen());
  painter->setBrush(brush());
  painter->drawArc(rect(), startAngle(), spanAngle());
  painter->restore();
}

}  // namespace zwidget::zaux

namespace zwidget::zgraph {
namespace {

// Tells an arc's numbers from another shape's.
constexpr double kArcShape = 3;

}  // namespace

GraphicsArcItem::GraphicsArcItem(const QPointF& centre, const double& radius,
                                 double start_degrees, double span_degrees,
                                 const QPen& pen)
    : AnsweringItem(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius,
                           2 * radius),
                    start_degrees, span_degrees) {
  setPen(pen);
  if (span_degrees != 0 && std::abs(span_degrees) < kFlatArcDegrees) {
    ArcShape arc;
    arc.centre = centre;
    arc.radius = radius;
    arc.start = start_degrees;
    arc.span = span_degrees;
    flat_ = arc_path(arc);
  }
  if (flat_.isEmpty()) {
    const QRectF& box = rect();
    bounds_ =
        shape_bounds({kArcShape, box.x(), box.y(), box.width(), box.height(),
                      double(startAngle()), double(spanAngle())},
                     pen, [this] { return ZGraphicsArcItem::boundingRect(); });
  } else {
    const double half = pen.widthF() / 2;
    bounds_ = flat_.controlPointRect().adjusted(-half, -half, half, half);
  }
}

QRectF GraphicsArcItem::boundingRect() const {
  return bounds_;
}

QPainterPath GraphicsArcItem::shape() const {
  if (flat_.isEmpty()) return ZGraphicsArcItem::shape();
  return QPainterPathStroker(pen()).createStroke(flat_);
}

void GraphicsArcItem::paint(QPainter* painter,
                            const QStyleOptionGraphicsItem* option,
                            QWidget* widget) {
  if (flat_.isEmpty()) {
    ZGraphicsArcItem::paint(painter, option, widget);
    return;
  }
  painter->save();
  painter->setPen(pen());
  painter->setBrush(Qt::NoBrush);
  painter->drawPath(flat_);
  painter->restore();
}

GraphicsArcItem::~GraphicsArcItem() = default;

}  // namespace zwidget::zgraph
