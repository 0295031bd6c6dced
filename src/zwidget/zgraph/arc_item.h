#pragma once

#include "zwidget/zgraph/graph_base.h"

#include <QGraphicsEllipseItem>
#include <QPainterPath>

namespace zwidget::zaux {

// An ellipse item that draws only its arc: no chord, radii or fill.
class ZGraphicsArcItem : public QGraphicsEllipseItem {
public:
  // Angles in degrees, Qt's orientation; stored in whole sixteenths,
  // truncated toward zero.
  ZGraphicsArcItem(const QRectF& rect, double start_degrees,
                   double span_degrees);
  ~ZGraphicsArcItem() override;

  void paint(QPainter* painter, const QStyleOptionGraphicsItem* option,
             QWidget* widget) override;
};

}  // namespace zwidget::zaux

namespace zwidget::zgraph {

// An arc of the circle around `centre`. One under 6.25 degrees, for which
// a sixteenth of a degree is more than a hundredth of the arc, is painted
// and bounded as its own exact path: whole sixteenths would shorten it or
// paint nothing, and the far centre would swell its bounds.
class GraphicsArcItem : public AnsweringItem<zaux::ZGraphicsArcItem>,
                        public GraphBase {
public:
  GraphicsArcItem(const QPointF& centre, const double& radius,
                  double start_degrees, double span_degrees, const QPen& pen);
  ~GraphicsArcItem() override;

  QRectF boundingRect() const override;
  QPainterPath shape() const override;
  void paint(QPainter* painter, const QStyleOptionGraphicsItem* option,
             QWidget* widget) override;

private:
  QPainterPath flat_;
  // Found once: Qt strokes the arc for it (item_caches.h). The arc and pen
  // are not changed after construction.
  QRectF bounds_;
};

}  // namespace zwidget::zgraph
