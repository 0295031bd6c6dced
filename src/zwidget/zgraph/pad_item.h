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

#include <optional>

namespace zwidget::zgraph {

// One pad: its outline filled in the pad colour, the drill hole cut out of
// it and the pad number written across it, all turned about the pad centre.
// Shapes other than "circle", "rect", "oval" and "trapezoid" (exact case)
// paint nothing.
class GraphicsPadItem : public QAbstractGraphicsShapeItem, public GraphBase {
public:
  GraphicsPadItem(const QString& number, const QString& type,
                  const QString& shape, const QSizeF& size,
                  const QPointF& position, const double& angle,
                  const QSizeF& rect_delta, bool oval_drill,
                  const QPointF& drill_offset, const QSizeF& drill_size,
                  const QColor& colour);
  ~GraphicsPadItem() override;

  // The turned pad rectangle's bounds (the pad rectangle itself when the pad
  // is not turned); the label is not included.
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
  QPen pen_;
  QBrush brush_;

  // Derived once from the fields above; paint() only draws them.
  QTransform rotation_;
  std::optional<QPainterPath> outline_;
  QRectF bounds_;
  QRectF label_rect_;
  QFont label_font_;
};

}  // namespace zwidget::zgraph
