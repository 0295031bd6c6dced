#pragma once

#include "zwidget/zgraph/graph_base.h"

#include <QAbstractGraphicsShapeItem>
#include <QPen>
#include <QPolygonF>

#include <vector>

namespace zwidget::zgraph {

// The lines of a dimension: its measured line, extension lines and arrows,
// each an open polyline; its text is a text item of its own.
class GraphicsDimensionItem : public AnsweringItem<QAbstractGraphicsShapeItem>,
                              public GraphBase {
public:
  GraphicsDimensionItem(const std::vector<QPolygonF>& strokes, const QPen& pen);
  ~GraphicsDimensionItem() override;

  QRectF boundingRect() const override;
  void paint(QPainter* painter, const QStyleOptionGraphicsItem* option,
             QWidget* widget) override;

  const std::vector<QPolygonF>& strokes() const { return strokes_; }
  const QPen& dimension_pen() const { return pen_; }

private:
  std::vector<QPolygonF> strokes_;
  QPen pen_;
  QRectF bounds_;
};

}  // namespace zwidget::zgraph
