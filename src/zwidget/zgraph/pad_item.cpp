#include "zwidget/zgraph/pad_item.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPathStroker>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace zwidget::zgraph {
namespace {

// The label is a 1-point font drawn at this scale: one size for every pad.
constexpr double kLabelScale = 0.3;

// Qt flattens curves in the path's own coordinates and, below one unit,
// measures flatness in absolute terms: a circle of a millimetre became
// about a thousand segments on every paint. Outlines are kept this many
// times larger and drawn scaled back, which flattens them to the usual
// fraction of a pixel; a power of two keeps the scaling exact.
constexpr double kOutlineScale = 1024;

// Half-circle ends across the shorter side: Qt clamps each radius to half
// the side it rounds, which also makes a square a circle.
void add_obround(QPainterPath& path, const QRectF& rect) {
  path.addRoundedRect(rect, rect.height() / 2, rect.width() / 2,
                      Qt::AbsoluteSize);
}

// A positive dh shortens the top edge by dh, a negative one the bottom edge;
// a positive dw shortens the right edge, a negative one the left edge.
void add_trapezoid(QPainterPath& path, const QRectF& pad,
                   const QSizeF& rect_delta) {
  const double dw = rect_delta.width();
  const double dh = rect_delta.height();
  double top = 0, bottom = 0, left = 0, right = 0;
  if (dh > 0)
    top = dh / 2;
  else
    bottom = -dh / 2;
  if (dw > 0)
    right = dw / 2;
  else
    left = -dw / 2;
  path.moveTo(pad.left() + top, pad.top() + left);
  path.lineTo(pad.left() + bottom, pad.bottom() - left);
  path.lineTo(pad.right() - bottom, pad.bottom() - right);
  path.lineTo(pad.right() - top, pad.top() + right);
}

// A fraction of the shorter side, as KiCad bounds it: 0 to a half; anything
// else, NaN included, is no rounding or cut at all.
double fraction_of(double ratio, const QRectF& pad) {
  if (!(ratio > 0)) return 0;
  return std::min(ratio, 0.5) * std::min(pad.width(), pad.height());
}

// The corner at `tip`, rounded along the quarter of the ellipse in `arc`
// from `start_degrees` clockwise on screen; sharp when `arc` is empty, in
// which Qt would draw nothing and skip the corner.
void add_corner(QPainterPath& path, const QPointF& tip, const QRectF& arc,
                double start_degrees) {
  if (arc.isEmpty())
    path.lineTo(tip);
  else
    path.arcTo(arc, start_degrees, -90);
}

// The pad rectangle with corners of `radius`, those in `cut` cut straight
// by `chamfer` instead; clockwise on screen from the top-left corner.
void add_cornered(QPainterPath& path, const QRectF& pad, double radius,
                  double chamfer, const PadCorners& cut) {
  const bool any_cut = chamfer > 0 && (cut.top_left || cut.top_right ||
                                       cut.bottom_left || cut.bottom_right);
  if (!any_cut) {
    if (radius > 0)
      path.addRoundedRect(pad, radius, radius, Qt::AbsoluteSize);
    else
      path.addRect(pad);
    return;
  }
  const double l = pad.left(), t = pad.top(), r = pad.right(), b = pad.bottom(),
               d = 2 * radius;
  path.moveTo(l + (cut.top_left ? chamfer : radius), t);
  if (cut.top_right) {
    path.lineTo(r - chamfer, t);
    path.lineTo(r, t + chamfer);
  } else {
    add_corner(path, QPointF(r, t), QRectF(r - d, t, d, d), 90);
  }
  if (cut.bottom_right) {
    path.lineTo(r, b - chamfer);
    path.lineTo(r - chamfer, b);
  } else {
    add_corner(path, QPointF(r, b), QRectF(r - d, b - d, d, d), 0);
  }
  if (cut.bottom_left) {
    path.lineTo(l + chamfer, b);
    path.lineTo(l, b - chamfer);
  } else {
    add_corner(path, QPointF(l, b), QRectF(l, b - d, d, d), 270);
  }
  if (cut.top_left) {
    path.lineTo(l, t + chamfer);
    path.lineTo(l + chamfer, t);
  } else {
    add_corner(path, QPointF(l, t), QRectF(l, t, d, d), 180);
  }
  path.closeSubpath();
}

// The anchor, then every primitive's inside and stroke, each a path of its
// own: together under one fill rule, overlapping pieces would cancel out.
// `scale` maps pad units to outline units.
std::vector<QPainterPath> custom_outline(const QRectF& pad,
                                         const PadShapeOptions& options,
                                         double scale) {
  std::vector<QPainterPath> pieces(1);
  if (options.anchor == QLatin1String("circle"))
    pieces[0].addEllipse(pad);
  else
    pieces[0].addRect(pad);
  const QTransform to_outline(scale, 0, 0, scale, pad.center().x(),
                              pad.center().y());
  QPainterPathStroker stroker;
  stroker.setCapStyle(Qt::RoundCap);
  stroker.setJoinStyle(Qt::RoundJoin);
  for (const PadPrimitive& primitive : options.primitives) {
    const QPainterPath path = to_outline.map(primitive.path);
    if (primitive.filled && !path.isEmpty()) pieces.push_back(path);
    if (primitive.width > 0 && !path.isEmpty()) {
      stroker.setWidth(primitive.width * scale);
      pieces.push_back(stroker.createStroke(path));
    }
  }
  return pieces;
}

// Every pad shape is built here: the outline of `shape` on the pad
// rectangle, in one path or, for a custom pad, in several; none for a shape
// this item does not draw. `scale` is how much larger than the pad's units
// `pad` is given.
std::vector<QPainterPath> outline_of(const QString& shape, const QRectF& pad,
                                     const QSizeF& rect_delta,
                                     const PadShapeOptions& options,
                                     double scale) {
  if (shape == QLatin1String("custom"))
    return custom_outline(pad, options, scale);
  const double chamfer = fraction_of(options.chamfer_ratio, pad);
  QPainterPath path;
  if (shape == QLatin1String("circle"))
    path.addEllipse(pad);
  else if (shape == QLatin1String("rect"))
    add_cornered(path, pad, 0, chamfer, options.chamfered);
  else if (shape == QLatin1String("oval"))
    add_obround(path, pad);
  else if (shape == QLatin1String("trapezoid"))
    add_trapezoid(path, pad, rect_delta);
  else if (shape == QLatin1String("roundrect"))
    add_cornered(path, pad, fraction_of(options.roundrect_ratio, pad), chamfer,
                 options.chamfered);
  else
    return {};
  return {path};
}

bool has_hole(const QString& type) {
  return type != QLatin1String("smd") && type != QLatin1String("connect");
}

// Texts that QPainter::drawText changes before laying them out (line ends,
// tabs, mnemonics, length variants) are left to it.
bool is_plain_label(const QString& text) {
  for (const QChar c : text) {
    if (c == QLatin1Char('\r') || c == QLatin1Char('\n') ||
        c == QLatin1Char('\t') || c == QLatin1Char('&') || c.unicode() == 0x9c)
      return false;
  }
  return true;
}

bool has_label(const QString& type) {
  return type != QLatin1String("connect");
}

}  // namespace

GraphicsPadItem::GraphicsPadItem(const QString& number, const QString& type,
                                 const QString& shape, const QSizeF& size,
                                 const QPointF& position, const double& angle,
                                 const QSizeF& rect_delta, bool oval_drill,
                                 const QPointF& drill_offset,
                                 const QSizeF& drill_size, const QColor& colour)
    : GraphicsPadItem(number, type, shape, size, position, angle, rect_delta,
                      oval_drill, drill_offset, drill_size, colour,
                      PadShapeOptions()) {
}

GraphicsPadItem::GraphicsPadItem(const QString& number, const QString& type,
                                 const QString& shape, const QSizeF& size,
                                 const QPointF& position, const double& angle,
                                 const QSizeF& rect_delta, bool oval_drill,
                                 const QPointF& drill_offset,
                                 const QSizeF& drill_size, const QColor& colour,
                                 const PadShapeOptions& options)
    : number_(number),
      type_(type),
      shape_(shape),
      size_(size),
      position_(position),
      angle_(angle),
      rect_delta_(rect_delta),
      oval_drill_(oval_drill),
      drill_offset_(drill_offset),
      drill_size_(drill_size),
      options_(options),
      brush_(colour, Qt::SolidPattern),
      label_font_(QStringLiteral("Arial"), 1) {
  pen_.setColor(colour);
  pen_.setWidth(0);
  pen_.setCapStyle(Qt::RoundCap);

  if (angle_ != 0) {
    rotation_.translate(position_.x(), position_.y());
    rotation_.rotate(-angle_);
    rotation_.translate(-position_.x(), -position_.y());
  }

  const QRectF pad = pad_rect();
  bounds_ = rotation_.mapRect(pad);
  label_rect_ =
      QRectF(pad.topLeft() / kLabelScale, pad.bottomRight() / kLabelScale);

  const QTransform enlarge =
      QTransform::fromScale(kOutlineScale, kOutlineScale);
  outline_ = outline_of(shape_, enlarge.mapRect(pad),
                        rect_delta_ * kOutlineScale, options_, kOutlineScale);
  // A custom pad's primitives may reach beyond the pad rectangle.
  const QTransform shrink =
      QTransform::fromScale(1 / kOutlineScale, 1 / kOutlineScale);
  for (std::size_t i = 1; i < outline_.size(); ++i)
    bounds_ |= rotation_.map(shrink.map(outline_[i])).boundingRect();
  if (outline_.empty() || !has_hole(type_)) return;
  QPainterPath hole;
  const QRectF drill = enlarge.mapRect(drill_rect());
  if (oval_drill_)
    add_obround(hole, drill);
  else
    hole.addEllipse(drill);
  if (outline_.size() == 1) {
    // The hole lies inside the outline; the odd-even fill leaves it empty.
    outline_.front().addPath(hole);
  } else {
    // Several pieces: they are painted clipped to all but the hole. The
    // clip reaches well past them, as the one-pixel pen does at any zoom.
    QRectF all = hole.boundingRect();
    for (const QPainterPath& piece : outline_) all |= piece.boundingRect();
    QPainterPath clip;
    clip.addRect(
        all.adjusted(-all.width(), -all.height(), all.width(), all.height()));
    clip.addPath(hole);
    hole_clip_ = clip;
  }
}

struct GraphicsPadItem::LabelLayout {
  int dpi_x = 0;
  int dpi_y = 0;
  Qt::LayoutDirection direction = Qt::LeftToRight;
  QTextLayout layout;
  // Where drawText puts the line, and whether it clips to the rectangle.
  QPointF position;
  bool clipped = false;
};

GraphicsPadItem::~GraphicsPadItem() = default;

// Lays the number out in a single line centred in the label rectangle, as
// drawText does for these flags.
const GraphicsPadItem::LabelLayout* GraphicsPadItem::label_layout(
    QPainter* painter) const {
  QPaintDevice* device = painter->device();
  if (!device || !is_plain_label(number_)) return nullptr;
  LabelLayout* cached = label_layout_.get();
  if (cached && cached->dpi_x == device->logicalDpiX() &&
      cached->dpi_y == device->logicalDpiY() &&
      cached->direction == painter->layoutDirection())
    return cached;
  auto made = std::make_unique<LabelLayout>();
  made->dpi_x = device->logicalDpiX();
  made->dpi_y = device->logicalDpiY();
  made->direction = painter->layoutDirection();
  const QFont font(label_font_, device);
  QTextLayout& layout = made->layout;
  layout.setText(number_);
  layout.setFont(font);
  QTextOption option;
  option.setTextDirection(made->direction);
  option.setAlignment(Qt::AlignLeft);
  option.setFlags(QTextOption::IncludeTrailingSpaces);
  layout.setTextOption(option);
  layout.setCacheEnabled(true);
  const qreal leading = QFontMetricsF(font).leading();
  qreal height = -leading;
  qreal width = 0;
  layout.beginLayout();
  for (QTextLine line = layout.createLine(); line.isValid();
       line = layout.createLine()) {
    line.setLineWidth(0x01000000);
    height += leading;
    height = std::ceil(height);
    line.setPosition(QPointF(0, height));
    height += line.height();
    width = std::max(width, line.naturalTextWidth());
  }
  layout.endLayout();
  if (layout.lineCount() != 1) return nullptr;
  const QRectF& r = label_rect_;
  const qreal yoff = (r.height() - height) / 2;
  const QRectF bounds(r.x() + (r.width() - width) / 2, r.y() + yoff, width,
                      height);
  made->clipped = !r.contains(bounds);
  made->position =
      QPointF(r.x() + (r.width() - layout.lineAt(0).horizontalAdvance()) / 2,
              r.y() + yoff);
  label_layout_ = std::move(made);
  return label_layout_.get();
}

QRectF GraphicsPadItem::pad_rect() const {
  return QRectF(position_.x() - size_.width() / 2,
                position_.y() - size_.height() / 2, size_.width(),
                size_.height());
}

QRectF GraphicsPadItem::drill_rect() const {
  const QPointF centre = position_ - drill_offset_;
  return QRectF(centre.x() - drill_size_.width() / 2,
                centre.y() - drill_size_.height() / 2, drill_size_.width(),
                drill_size_.height());
}

QRectF GraphicsPadItem::boundingRect() const {
  return bounds_;
}

void GraphicsPadItem::paint(QPainter* painter,
                            const QStyleOptionGraphicsItem* /*option*/,
                            QWidget* /*widget*/) {
  if (outline_.empty()) return;
  painter->save();
  const QTransform turned = rotation_ * painter->transform();
  painter->setTransform(
      QTransform::fromScale(1 / kOutlineScale, 1 / kOutlineScale) * turned);
  painter->setPen(pen_);
  painter->setBrush(brush_);
  if (hole_clip_) {
    painter->save();
    painter->setClipPath(*hole_clip_, Qt::IntersectClip);
  }
  painter->drawPath(outline_.front());
  // A custom pad's pieces share one colour, so their fills alone show the
  // shape; tracing every piece with the pen as well tripled the paint time.
  painter->setPen(Qt::NoPen);
  for (std::size_t i = 1; i < outline_.size(); ++i)
    painter->drawPath(outline_[i]);
  if (hole_clip_) painter->restore();
  if (has_label(type_) && !number_.isEmpty()) {
    painter->setTransform(QTransform::fromScale(kLabelScale, kLabelScale) *
                          turned);
    painter->setPen(QColor(Qt::white));
    painter->setFont(label_font_);
    if (const LabelLayout* label = label_layout(painter)) {
      if (label->clipped) {
        painter->save();
        painter->setClipRect(label_rect_, Qt::IntersectClip);
      }
      label->layout.lineAt(0).draw(painter, label->position);
      if (label->clipped) painter->restore();
    } else {
      painter->drawText(label_rect_, Qt::AlignHCenter | Qt::AlignVCenter,
                        number_);
    }
  }
  painter->restore();
}

}  // namespace zwidget::zgraph
