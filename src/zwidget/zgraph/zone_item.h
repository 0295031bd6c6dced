#pragma once

#include "zwidget/zgraph/graph_base.h"

#include <QAbstractGraphicsShapeItem>
#include <QBrush>
#include <QColor>
#include <QLineF>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>

#include <cstddef>
#include <vector>

namespace zwidget::zgraph {

// How a zone's area is hatched: not at all, by short strokes along its
// border, or all over.
enum class ZoneHatch { none, edge, full };

// One layer of a zone: its outlines with their 45-degree hatch, and the
// areas filled on that layer beneath them; lines a pixel wide.
class GraphicsZoneItem : public AnsweringItem<QAbstractGraphicsShapeItem>,
                         public GraphBase {
public:
  // `pitch` is the distance between hatch lines.
  GraphicsZoneItem(const std::vector<QPolygonF>& outlines, ZoneHatch hatch,
                   double pitch, const std::vector<QPolygonF>& fills,
                   const QColor& colour);
  ~GraphicsZoneItem() override;

  QRectF boundingRect() const override;
  void paint(QPainter* painter, const QStyleOptionGraphicsItem* option,
             QWidget* widget) override;

  const std::vector<QPolygonF>& outlines() const { return outlines_; }
  const std::vector<QPolygonF>& fills() const { return fills_; }
  ZoneHatch hatch() const { return hatch_; }
  const std::vector<QLineF>& hatch_lines() const { return hatch_lines_; }
  // Hatch segments past the bound on one zone's, not drawn.
  std::size_t hatch_left_out() const { return hatch_left_out_; }
  const QColor& colour() const { return colour_; }

private:
  std::vector<QPolygonF> outlines_;
  std::vector<QPolygonF> fills_;
  ZoneHatch hatch_;
  QColor colour_;

  // Derived once from the fields above; paint() only draws them.
  QPen pen_;
  QPainterPath fill_path_;
  std::vector<QLineF> hatch_lines_;
  std::size_t hatch_left_out_ = 0;
  QRectF bounds_;
};

}  // namespace zwidget::zgraph
