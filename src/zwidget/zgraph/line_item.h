#pragma once

#include "zwidget/zgraph/graph_base.h"

#include <QGraphicsLineItem>

namespace zwidget::zgraph {

// A straight outline segment in its layer pen.
class GraphicsLineItem : public QGraphicsLineItem, public GraphBase {
public:
  GraphicsLineItem(const QLineF& line, const QPen& pen);
  ~GraphicsLineItem() override;
};

}  // namespace zwidget::zgraph
