#include "zwidget/zgraph/pad_item.h"

#include <QFontMetricsF>
#include <QPainter>
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
    : GraphicsPadItem(
          PadSpec{number, pad_type_of(type), pad_shape_of(shape), size,
                  position, angle, rect_delta, PadDrill{drill_size, oval_drill},
                  drill_offset, options},
          colour) {
}

GraphicsPadItem::GraphicsPadItem(const PadSpec& spec, const QColor& colour)
    : spec_(spec),
      brush_(colour, Qt::SolidPattern),
      rotation_(pad_turn(spec)),
      label_font_(QStringLiteral("Arial"), 1) {
  pen_.setColor(colour);
  pen_.setWidth(0);
  pen_.setCapStyle(Qt::RoundCap);

  const QRectF pad = pad_rect(spec_);
  bounds_ = rotation_.mapRect(pad);
  label_rect_ =
      QRectF(pad.topLeft() / kLabelScale, pad.bottomRight() / kLabelScale);

  outline_ = pad_outline(spec_, kOutlineScale);
  // A custom pad's primitives may reach beyond the pad rectangle.
  const QTransform shrink =
      QTransform::fromScale(1 / kOutlineScale, 1 / kOutlineScale);
  for (std::size_t i = 1; i < outline_.size(); ++i)
    bounds_ |= rotation_.map(shrink.map(outline_[i])).boundingRect();
  if (outline_.empty() || !has_hole(spec_)) return;
  const QPainterPath hole = pad_hole(spec_, kOutlineScale);
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
  if (!device || !is_plain_label(spec_.number)) return nullptr;
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
  layout.setText(spec_.number);
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
  if (has_label(spec_) && !spec_.number.isEmpty()) {
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
                        spec_.number);
    }
  }
  painter->restore();
}

}  // namespace zwidget::zgraph
