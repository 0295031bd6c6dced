#pragma once

#include "zwidget/zgraph/graph_base.h"

#include <QGraphicsEllipseItem>

namespace zwidget::zgraph {

// A full circle, outline only.
class GraphicsCircleItem : public QGraphicsEllipseItem, public GraphBase {
public:
  GraphicsCircleItem(const QPointF& centre, const double& radius,
                     const QPen& pen);
  ~GraphicsCircleItem() override;
};

}  // namespace zwidget::zgraph
