#include "zwidget/zgraph/pad_item.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

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

namespace {

// A pad number in one line of the label font, laid out as drawText lays it
// out for a device and direction.
struct LaidNumber {
  QTextLayout layout;
  qreal width = 0;
  qreal height = 0;
};

// Laid out once for all pads: numbers come back pad after pad and
// footprint after footprint, and laying one out took most of a BGA's
// first paint. Null for a number of several lines.
std::shared_ptr<const LaidNumber> laid_number(const QString& number,
                                              const QFont& label_font,
                                              QPaintDevice* device,
                                              Qt::LayoutDirection direction) {
  // Kept for one font, device resolution and direction at a time.
  struct Cache {
    QFont font;
    int dpi_x = 0;
    int dpi_y = 0;
    Qt::LayoutDirection direction = Qt::LeftToRight;
    std::map<QString, std::shared_ptr<const LaidNumber>> numbers;
  };
  static Cache cache;
  if (!(cache.font == label_font) || cache.dpi_x != device->logicalDpiX() ||
      cache.dpi_y != device->logicalDpiY() || cache.direction != direction ||
      cache.numbers.size() > 20000) {
    // Bounded too: a library of odd pad names must not grow it without end.
    cache = Cache{label_font,
                  device->logicalDpiX(),
                  device->logicalDpiY(),
                  direction,
                  {}};
  }
  auto found = cache.numbers.find(number);
  if (found != cache.numbers.end()) return found->second;
  auto made = std::make_shared<LaidNumber>();
  const QFont font(label_font, device);
  QTextLayout& layout = made->layout;
  layout.setText(number);
  layout.setFont(font);
  QTextOption option;
  option.setTextDirection(direction);
  option.setAlignment(Qt::AlignLeft);
  option.setFlags(QTextOption::IncludeTrailingSpaces);
  layout.setTextOption(option);
  layout.setCacheEnabled(true);
  const qreal leading = QFontMetricsF(font).leading();
  qreal height = -leading;
  layout.beginLayout();
  for (QTextLine line = layout.createLine(); line.isValid();
       line = layout.createLine()) {
    line.setLineWidth(0x01000000);
    height += leading;
    height = std::ceil(height);
    line.setPosition(QPointF(0, height));
    height += line.height();
    made->width = std::max(made->width, line.naturalTextWidth());
  }
  layout.endLayout();
  made->height = height;
  std::shared_ptr<const LaidNumber> result;
  if (layout.lineCount() == 1) result = std::move(made);
  cache.numbers.emplace(number, result);
  return result;
}

}  // namespace

struct GraphicsPadItem::LabelLayout {
  int dpi_x = 0;
  int dpi_y = 0;
  Qt::LayoutDirection direction = Qt::LeftToRight;
  std::shared_ptr<const LaidNumber> laid;
  // Where drawText puts the line, and whether it clips to the rectangle.
  QPointF position;
  bool clipped = false;
};

GraphicsPadItem::~GraphicsPadItem() = default;

// The number in a single line centred in the label rectangle, as drawText
// puts it for these flags.
const GraphicsPadItem::LabelLayout* GraphicsPadItem::label_layout(
    QPainter* painter) const {
  QPaintDevice* device = painter->device();
  if (!device || !is_plain_label(spec_.number)) return nullptr;
  LabelLayout* cached = label_layout_.get();
  if (cached && cached->dpi_x == device->logicalDpiX() &&
      cached->dpi_y == device->logicalDpiY() &&
      cached->direction == painter->layoutDirection())
    return cached->laid ? cached : nullptr;
  auto made = std::make_unique<LabelLayout>();
  made->dpi_x = device->logicalDpiX();
  made->dpi_y = device->logicalDpiY();
  made->direction = painter->layoutDirection();
  made->laid = laid_number(spec_.number, label_font_, device, made->direction);
  if (const LaidNumber* laid = made->laid.get()) {
    const QRectF& r = label_rect_;
    const qreal yoff = (r.height() - laid->height) / 2;
    const QRectF bounds(r.x() + (r.width() - laid->width) / 2, r.y() + yoff,
                        laid->width, laid->height);
    made->clipped = !r.contains(bounds);
    made->position = QPointF(
        r.x() + (r.width() - laid->layout.lineAt(0).horizontalAdvance()) / 2,
        r.y() + yoff);
  }
  label_layout_ = std::move(made);
  return label_layout_->laid ? label_layout_.get() : nullptr;
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
      label->laid->layout.lineAt(0).draw(painter, label->position);
      if (label->clipped) painter->restore();
    } else {
      painter->drawText(label_rect_, Qt::AlignHCenter | Qt::AlignVCenter,
                        spec_.number);
    }
  }
  painter->restore();
}

}  // namespace zwidget::zgraph
