#pragma once

#include "zwidget/zgraph/graph_base.h"

#include <QAbstractGraphicsShapeItem>
#include <QColor>
#include <QPainterPath>
#include <QPen>

namespace zwidget::zgraph {

// The rim of a drill hole, drawn over everything else so that every hole
// shows, whatever copper or drawing lies under it; the hole itself is cut
// out of the pads.
class GraphicsHoleItem : public AnsweringItem<QAbstractGraphicsShapeItem>,
                         public GraphBase {
public:
  // `hole` in scene units.
  GraphicsHoleItem(const QPainterPath& hole, bool plated, const QColor& rim);
  ~GraphicsHoleItem() override;

  QRectF boundingRect() const override;
  void paint(QPainter* painter, const QStyleOptionGraphicsItem* option,
             QWidget* widget) override;

  const QPainterPath& hole() const { return hole_; }
  bool plated() const { return plated_; }
  const QPen& rim_pen() const { return pen_; }

private:
  QPainterPath hole_;
  bool plated_;
  QPen pen_;
  QRectF bounds_;
};

}  // namespace zwidget::zgraph
