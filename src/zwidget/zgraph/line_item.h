#pragma once

#include "zwidget/zgraph/graph_base.h"

#include <QGraphicsLineItem>

namespace zwidget::zgraph {

// A straight outline segment in its layer pen.
class GraphicsLineItem : public AnsweringItem<QGraphicsLineItem>,
                         public GraphBase {
public:
  GraphicsLineItem(const QLineF& line, const QPen& pen);
  ~GraphicsLineItem() override;

  // Qt's own rectangle for the line and pen, taken once: Qt strokes the
  // whole shape for it on every call, and the view asks on every paint.
  // The line and pen are not changed after construction.
  QRectF boundingRect() const override;

private:
  QRectF bounds;
};

}  // namespace zwidget::zgraph
