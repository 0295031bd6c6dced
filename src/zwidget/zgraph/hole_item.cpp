#include "zwidget/zgraph/hole_item.h"

#include <QPainter>

namespace zwidget::zgraph {
namespace {

// Pixels, whatever the zoom: a hole of a tenth of a millimetre still shows
// its rim in a fitted view, and a large one is not swamped by it. A hole
// without copper around it gets the wider one.
constexpr double kPlatedRim = 1.0;
constexpr double kBareRim = 2.0;

}  // namespace

GraphicsHoleItem::GraphicsHoleItem(const QPainterPath& hole, bool plated,
                                   const QColor& rim)
    : hole_(hole),
      plated_(plated),
      pen_(rim, plated ? kPlatedRim : kBareRim),
      bounds_(hole.boundingRect()) {
  pen_.setCosmetic(true);
}

GraphicsHoleItem::~GraphicsHoleItem() = default;

QRectF GraphicsHoleItem::boundingRect() const {
  return bounds_;
}

void GraphicsHoleItem::paint(QPainter* painter,
                             const QStyleOptionGraphicsItem* /*option*/,
                             QWidget* /*widget*/) {
  painter->save();
  painter->setPen(pen_);
  painter->setBrush(Qt::NoBrush);
  painter->drawPath(hole_);
  painter->restore();
}

}  // namespace zwidget::zgraph
