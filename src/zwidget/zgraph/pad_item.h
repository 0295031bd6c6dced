#pragma once

#include "zwidget/zgraph/graph_base.h"

#include <QAbstractGraphicsShapeItem>
#include <QBrush>
#include <QFont>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QTransform>

#include <memory>
#include <optional>
#include <vector>

class QPaintDevice;
class QTextLayout;

namespace zwidget::zgraph {

// One drawing of a custom pad, in pad coordinates: relative to the pad
// centre and unturned.
struct PadPrimitive {
  QPainterPath path;
  // Stroked along the path with round ends and joins; 0 adds no stroke.
  double width = 0;
  // The inside of the path is part of the pad too.
  bool filled = false;
};

// Corners of the unturned pad, y pointing down.
struct PadCorners {
  bool top_left = false;
  bool top_right = false;
  bool bottom_left = false;
  bool bottom_right = false;
};

// What the newer pad shapes add to a pad's attributes.
struct PadShapeOptions {
  // "roundrect": the corner radius as a fraction of the shorter side.
  double roundrect_ratio = 0.25;
  // "roundrect" and "rect": the `chamfered` corners are cut by this
  // fraction of the shorter side.
  double chamfer_ratio = 0;
  PadCorners chamfered;
  // "custom": the shape under the primitives, "rect" or "circle".
  QString anchor = QStringLiteral("rect");
  std::vector<PadPrimitive> primitives;
};

// One pad: its outline filled in the pad colour, the drill hole cut out of
// it and the pad number written across it, all turned about the pad centre.
// Shapes other than "circle", "rect", "oval", "trapezoid", "roundrect" and
// "custom" (exact case) paint nothing.
class GraphicsPadItem : public QAbstractGraphicsShapeItem, public GraphBase {
public:
  GraphicsPadItem(const QString& number, const QString& type,
                  const QString& shape, const QSizeF& size,
                  const QPointF& position, const double& angle,
                  const QSizeF& rect_delta, bool oval_drill,
                  const QPointF& drill_offset, const QSizeF& drill_size,
                  const QColor& colour);
  // The same with the attributes of the newer shapes.
  GraphicsPadItem(const QString& number, const QString& type,
                  const QString& shape, const QSizeF& size,
                  const QPointF& position, const double& angle,
                  const QSizeF& rect_delta, bool oval_drill,
                  const QPointF& drill_offset, const QSizeF& drill_size,
                  const QColor& colour, const PadShapeOptions& options);
  ~GraphicsPadItem() override;

  // The turned pad rectangle's bounds (the pad rectangle itself when the pad
  // is not turned), grown to hold a custom pad's primitives; the label is
  // not included.
  QRectF boundingRect() const override;
  void paint(QPainter* painter, const QStyleOptionGraphicsItem* option,
             QWidget* widget) override;

  const QString& number() const { return number_; }
  // The type and shape keywords as given; type() and shape() are Qt's.
  const QString& pad_type() const { return type_; }
  const QString& pad_shape() const { return shape_; }
  QSizeF size() const { return size_; }
  QPointF position() const { return position_; }
  double angle() const { return angle_; }
  QSizeF rect_delta() const { return rect_delta_; }
  bool oval_drill() const { return oval_drill_; }
  QPointF drill_offset() const { return drill_offset_; }
  QSizeF drill_size() const { return drill_size_; }
  const PadShapeOptions& shape_options() const { return options_; }
  // What the pad is painted with; the shape item's pen() and brush() are
  // unused.
  const QPen& pad_pen() const { return pen_; }
  const QBrush& pad_brush() const { return brush_; }

  // `size` centred on `position`, unturned.
  QRectF pad_rect() const;
  // `drill_size` centred on position minus `drill_offset`, unturned.
  QRectF drill_rect() const;

private:
  QString number_;
  QString type_;
  QString shape_;
  QSizeF size_;
  QPointF position_;
  double angle_;
  QSizeF rect_delta_;
  bool oval_drill_;
  QPointF drill_offset_;
  QSizeF drill_size_;
  PadShapeOptions options_;
  QPen pen_;
  QBrush brush_;

  // Derived once from the fields above; paint() only draws them.
  QTransform rotation_;
  // One path; several for a custom pad, drawn in order.
  std::vector<QPainterPath> outline_;
  // Set for a custom pad with a hole: all but the hole.
  std::optional<QPainterPath> hole_clip_;
  QRectF bounds_;
  QRectF label_rect_;
  QFont label_font_;

  // The label laid out as QPainter::drawText lays it out, kept for the
  // device it was made for: laying out a pad number anew on every paint
  // took most of a BGA's repaint. A cache only; it changes nothing drawn.
  struct LabelLayout;
  const LabelLayout* label_layout(QPainter* painter) const;
  mutable std::unique_ptr<LabelLayout> label_layout_;
};

}  // namespace zwidget::zgraph
