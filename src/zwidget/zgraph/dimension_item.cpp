#include "zwidget/zgraph/dimension_item.h"

#include <QPainter>

namespace zwidget::zgraph {

GraphicsDimensionItem::GraphicsDimensionItem(
    const std::vector<QPolygonF>& strokes, const QPen& pen)
    : AnsweringItem(nullptr),
      strokes_(strokes),
      pen_(pen),
      bounds_(extent_of(strokes)) {
  // Round caps reach half the pen's width beyond the points.
  const double margin = pen_.isCosmetic() ? 0 : pen_.widthF() / 2;
  bounds_.adjust(-margin, -margin, margin, margin);
}

GraphicsDimensionItem::~GraphicsDimensionItem() = default;

QRectF GraphicsDimensionItem::boundingRect() const {
  return bounds_;
}

void GraphicsDimensionItem::paint(QPainter* painter,
                                  const QStyleOptionGraphicsItem* /*option*/,
                                  QWidget* /*widget*/) {
  painter->save();
  painter->setPen(pen_);
  painter->setBrush(Qt::NoBrush);
  for (const QPolygonF& stroke : strokes_) painter->drawPolyline(stroke);
  painter->restore();
}

}  // namespace zwidget::zgraph
