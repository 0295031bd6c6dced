#pragma once

#include "zwidget/zgraph/graph_base.h"
#include "zwidget/zgraph/pad_geometry.h"

#include <QAbstractGraphicsShapeItem>
#include <QBrush>
#include <QPainterPath>
#include <QPen>
#include <QTransform>

#include <memory>
#include <optional>
#include <vector>

namespace zwidget::zgraph {

// One pad: its outline filled in the pad colour, the drill hole cut out of
// it and the pad number, with its pin name, written across it, sized to
// fit and turned to read along its long side. A shape of PadShape::other paints
// nothing.
class GraphicsPadItem : public AnsweringItem<QAbstractGraphicsShapeItem>,
                        public GraphBase {
public:
  // The number is written in `label`, with a rim around its strokes in
  // `label_rim` where that is a valid colour.
  GraphicsPadItem(const PadSpec& spec, const QColor& colour,
                  const QColor& label = Qt::white,
                  const QColor& label_rim = QColor());
  ~GraphicsPadItem() override;

  // The turned pad rectangle's bounds (the pad rectangle itself when the pad
  // is not turned), grown to hold the outline and the hole of a drawn
  // shape; the label is not included.
  QRectF boundingRect() const override;
  void paint(QPainter* painter, const QStyleOptionGraphicsItem* option,
             QWidget* widget) override;

  const PadSpec& spec() const { return spec_; }
  // What the pad is painted with; the shape item's pen() and brush() are
  // unused.
  const QPen& pad_pen() const { return pen_; }
  const QBrush& pad_brush() const { return brush_; }

  // A drill hole: its path, and its shape when that is a stadium.
  struct Hole {
    QPainterPath path;
    std::optional<Stadium> stadium;
  };
  // The turned drill hole in scene units; an empty path for a pad without
  // one.
  const Hole& scene_hole() const { return scene_hole_; }
  // Cuts holes given in scene units, other pads', out of the copper.
  void cut_holes(const std::vector<Hole>& holes);

private:
  // The number, and the pin name under it, shaped, with where each goes
  // and the number's height.
  struct Label {
    QPainterPath number_ink;
    QPainterPath name_ink;
    QTransform number_place;
    QTransform name_place;
    QPointF centre;
    double height = 0;
  };
  // The label's paths in the scene, ready to fill.
  struct PlacedLabel {
    QPainterPath ink;
    QPainterPath rim;
  };

  Label lay_out_label() const;
  const Label& laid_out_label() const;
  const PlacedLabel& placed_label(const Label& label) const;
  QTransform outline_to_scene() const;
  QPainterPath to_scene(const QPainterPath& piece) const;
  // Cuts holes given in outline units out of every piece; `cut_before`
  // holds the bounds of those cut already.
  void cut(const std::vector<Hole>& holes,
           const std::vector<QRectF>& cut_before);

  PadSpec spec_;
  QPen pen_;
  QBrush brush_;
  QColor label_colour_;
  QColor label_rim_colour_;

  // Derived once from the fields above; paint() only draws them.
  QTransform rotation_;
  // One path; several for a custom pad, drawn in order.
  std::vector<QPainterPath> outline_;
  // The same before any hole was cut, shared with it till then: what the
  // holes are tested and clipped against, not stroked anew for each cut.
  std::vector<QPainterPath> plain_;
  QRectF bounds_;
  Hole scene_hole_;
  // The label is laid out at the first paint that could show it, and its
  // paths placed in the scene at the first that does: most labels of a
  // large footprint are never drawn big enough to read, and small pictures
  // show none. Under `label_reach_` times the painter's scale, in pixels,
  // no label is readable; none is laid out for a pad without one.
  double label_reach_ = 0;
  mutable std::optional<Label> label_;
  // Filled in the label colour over its rim, which is empty without a rim
  // colour.
  mutable std::optional<PlacedLabel> placed_label_;
};

// Cuts every pad's hole out of the copper of every other pad stacked on it,
// so that a hole shows through whichever pad is painted last.
void cut_stacked_holes(const std::vector<GraphicsPadItem*>& pads);

}  // namespace zwidget::zgraph
