#pragma once

#include "zwidget/zgraph/graph_base.h"

#include <QGraphicsPolygonItem>

namespace zwidget::zgraph {

// A closed polygon, filled with the brush given (the loaders pass an empty
// one for an outline).
class GraphicsPolygonItem : public AnsweringItem<QGraphicsPolygonItem>,
                            public GraphBase {
public:
  GraphicsPolygonItem(const QPolygonF& polygon, const QPen& pen,
                      const QBrush& brush);
  ~GraphicsPolygonItem() override;

  // Qt's own rectangle, found once (item_caches.h); the polygon and pen
  // are not changed after construction.
  QRectF boundingRect() const override;

  // A polygon of many corners is drawn through the corners at least a
  // fraction of a pixel apart: Qt fills one of a million corners in bands
  // that leave seams, and takes long for what no pixel shows.
  void paint(QPainter* painter, const QStyleOptionGraphicsItem* option,
             QWidget* widget) override;

private:
  QRectF bounds;
};

}  // namespace zwidget::zgraph
