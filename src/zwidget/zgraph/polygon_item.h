#pragma once

#include "zwidget/zgraph/graph_base.h"

#include <QGraphicsPolygonItem>

namespace zwidget::zgraph {

// A closed polygon; the loaders pass an empty brush, so an outline.
class GraphicsPolygonItem : public QGraphicsPolygonItem, public GraphBase {
public:
  GraphicsPolygonItem(const QPolygonF& polygon, const QPen& pen,
                      const QBrush& brush);
  ~GraphicsPolygonItem() override;
};

}  // namespace zwidget::zgraph
