#include "zwidget/zgraph/pad_item.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <unordered_map>

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

// Footprints stack a few dozen holes on a pad and at most 292 in all in
// KiCad's library. A hole tangled with others costs milliseconds to cut,
// so a file made to stall the viewer with thousands is cut this far only.
constexpr std::size_t kMostHolesOnAPad = 256;
constexpr std::size_t kMostHolesCut = 1024;

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

enum class Clip { subtracted, intersected };

// The same paths clipped the same way give the same outline, and clipping is
// slow: the paste rings around a mounting hole, stroked arcs, took a
// millisecond each to cut. A library draws one part in many variants (a
// mounting pad at ten heights), so the clips of the last footprints are
// kept. Two generations, each of a bounded number of path elements: a clip
// found in the older one moves to the newer, and the older is dropped when
// the newer is full.
class ClipMemo {
public:
  QPainterPath clipped(Clip clip, const QPainterPath& a,
                       const QPainterPath& b) {
    const std::size_t key = hash(a, hash(b, static_cast<std::size_t>(clip)));
    if (const QPainterPath* found = find(newer_, key, clip, a, b))
      return *found;
    QPainterPath result;
    if (const QPainterPath* found = find(older_, key, clip, a, b))
      result = *found;
    else
      result = clip == Clip::subtracted ? a.subtracted(b) : a.intersected(b);
    keep(key, {clip, a, b, result});
    return result;
  }

private:
  struct Clipped {
    Clip clip;
    QPainterPath a, b, result;
  };
  using Generation = std::unordered_multimap<std::size_t, Clipped>;

  static constexpr std::size_t kElementsPerGeneration = 1 << 18;

  static std::uint64_t bits(double value) {
    std::uint64_t word;
    std::memcpy(&word, &value, sizeof word);
    return word;
  }
  static std::size_t hash(const QPainterPath& path, std::size_t seed) {
    const auto mix = [&seed](std::uint64_t word) {
      seed ^= word + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
    };
    mix(static_cast<std::uint64_t>(path.fillRule()));
    for (int i = 0; i < path.elementCount(); ++i) {
      const QPainterPath::Element& e = path.elementAt(i);
      mix(static_cast<std::uint64_t>(e.type));
      mix(bits(e.x));
      mix(bits(e.y));
    }
    return seed;
  }
  // Bit for bit: QPainterPath's own == forgives small differences.
  static bool same(const QPainterPath& a, const QPainterPath& b) {
    if (a.elementCount() != b.elementCount() || a.fillRule() != b.fillRule())
      return false;
    for (int i = 0; i < a.elementCount(); ++i) {
      const QPainterPath::Element &x = a.elementAt(i), &y = b.elementAt(i);
      if (x.type != y.type || bits(x.x) != bits(y.x) || bits(x.y) != bits(y.y))
        return false;
    }
    return true;
  }
  static const QPainterPath* find(const Generation& generation, std::size_t key,
                                  Clip clip, const QPainterPath& a,
                                  const QPainterPath& b) {
    const auto [first, last] = generation.equal_range(key);
    for (auto found = first; found != last; ++found) {
      const Clipped& kept = found->second;
      if (kept.clip == clip && same(kept.a, a) && same(kept.b, b))
        return &kept.result;
    }
    return nullptr;
  }
  void keep(std::size_t key, Clipped clipped) {
    const std::size_t size = clipped.a.elementCount() +
                             clipped.b.elementCount() +
                             clipped.result.elementCount();
    if (size > kElementsPerGeneration) return;
    if (elements_ + size > kElementsPerGeneration) {
      older_ = std::move(newer_);
      newer_ = Generation();
      elements_ = 0;
    }
    newer_.emplace(key, std::move(clipped));
    elements_ += size;
  }

  Generation newer_, older_;
  std::size_t elements_ = 0;
};

QPainterPath clipped(Clip clip, const QPainterPath& a, const QPainterPath& b) {
  static ClipMemo memo;
  return memo.clipped(clip, a, b);
}

// Cuts `holes` out of `piece`, whose outline without holes is `plain`;
// `cut_before` holds the bounds of the holes in it already. Subtracting
// paths is slow (every thermal via of a connector's pads one by one took
// its load from 12 to 215 ms), so a hole clear of the others joins the
// odd-even fill instead, cut to the piece where it sticks out.
void cut_piece(QPainterPath& piece, const QPainterPath& plain,
               const std::vector<GraphicsPadItem::Hole>& holes,
               std::vector<QRectF> cut_before) {
  // Holes all turn one way round, so under the winding rule their paths
  // together are their union, with no boolean operation per hole.
  QPainterPath tangled;
  tangled.setFillRule(Qt::WindingFill);
  const QRectF reach = plain.controlPointRect();
  for (const GraphicsPadItem::Hole& hole : holes) {
    // Boxes first: QPainterPath::intersects clips the two paths, as slowly
    // as a cut.
    const QRectF box = hole.path.boundingRect();
    if (!box.intersects(reach)) continue;
    const bool clear = std::none_of(
        cut_before.begin(), cut_before.end(),
        [&](const QRectF& other) { return other.intersects(box); });
    cut_before.push_back(box);
    const bool inside = plain.contains(box);
    // Two in three holes here lie beside the copper, in its box only, and
    // take nothing away. Finding that costs microseconds; a cut took up to
    // a millisecond: clipping a via's hole to a pad with its own hole in
    // it, or a mounting hole out of the stroked arcs of a paste ring.
    if (!inside && hole.stadium && is_clear_of(*hole.stadium, plain)) continue;
    // A stroke is filled by the winding rule, where a hole added would not
    // show.
    if (!clear || piece.fillRule() == Qt::WindingFill) {
      tangled.addPath(hole.path);
    } else if (inside) {
      piece.addPath(hole.path);
    } else {
      piece.addPath(clipped(Clip::intersected, hole.path, plain));
    }
  }
  if (!tangled.isEmpty()) piece = clipped(Clip::subtracted, piece, tangled);
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

GraphicsPadItem::GraphicsPadItem(const PadSpec& spec, const QColor& colour,
                                 const QColor& label)
    : spec_(spec),
      brush_(colour, Qt::SolidPattern),
      label_colour_(label),
      rotation_(pad_turn(spec)),
      label_font_(QStringLiteral("Arial"), 1) {
  pen_.setColor(colour);
  pen_.setWidth(0);
  pen_.setCapStyle(Qt::RoundCap);

  const QRectF pad = pad_rect(spec_);
  bounds_ = rotation_.mapRect(pad);
  label_rect_ =
      QRectF(pad.topLeft() / kLabelScale, pad.bottomRight() / kLabelScale);
  if (spec_.shape == PadShape::other) return;

  outline_ = pad_outline(spec_, kOutlineScale);
  plain_ = outline_;
  // A trapezoid's long edges and a custom pad's primitives may reach beyond
  // the pad rectangle, and a hole beyond the copper moved off it.
  if (spec_.shape == PadShape::trapezoid || spec_.shape == PadShape::custom) {
    for (const QPainterPath& piece : outline_)
      bounds_ |= to_scene(piece).boundingRect();
  }
  if (!has_hole(spec_) || spec_.drill.size.isEmpty()) return;
  scene_hole_.path = rotation_.map(pad_hole(spec_));
  if (const auto stadium = hole_stadium(spec_))
    scene_hole_.stadium = mapped(*stadium, rotation_);
  if (!pad.contains(drill_rect(spec_)))
    bounds_ |= scene_hole_.path.boundingRect();
  if (outline_.empty()) return;
  const Hole own{pad_hole(spec_, kOutlineScale),
                 hole_stadium(spec_, kOutlineScale)};
  // Centred in its one outline, the hole is inside it, and the odd-even fill
  // leaves it empty.
  if (outline_.size() == 1 && spec_.offset.isNull() &&
      outline_.front().boundingRect().contains(own.path.boundingRect()))
    outline_.front().addPath(own.path);
  else
    cut({own}, {});
}

QTransform GraphicsPadItem::outline_to_scene() const {
  return QTransform::fromScale(1 / kOutlineScale, 1 / kOutlineScale) *
         rotation_;
}

QPainterPath GraphicsPadItem::to_scene(const QPainterPath& piece) const {
  return outline_to_scene().map(piece);
}

void GraphicsPadItem::cut_holes(const std::vector<Hole>& holes) {
  const QTransform to_outline = outline_to_scene().inverted();
  std::vector<Hole> cuts;
  for (const Hole& hole : holes) {
    cuts.push_back({to_outline.map(hole.path), std::nullopt});
    if (hole.stadium) cuts.back().stadium = mapped(*hole.stadium, to_outline);
  }
  std::vector<QRectF> cut_before;
  if (!scene_hole_.path.isEmpty())
    cut_before.push_back(pad_hole(spec_, kOutlineScale).boundingRect());
  cut(cuts, cut_before);
  update();
}

void GraphicsPadItem::cut(const std::vector<Hole>& holes,
                          const std::vector<QRectF>& cut_before) {
  for (std::size_t i = 0; i < outline_.size(); ++i)
    cut_piece(outline_[i], plain_[i], holes, cut_before);
}

void cut_stacked_holes(const std::vector<GraphicsPadItem*>& pads) {
  struct Drilled {
    const GraphicsPadItem* pad;
    const GraphicsPadItem::Hole* hole;
    QRectF bounds;
  };
  // By left edge, so that each pad looks only at the holes in its reach.
  std::vector<Drilled> holes;
  double widest = 0;
  for (const GraphicsPadItem* pad : pads) {
    const GraphicsPadItem::Hole& hole = pad->scene_hole();
    if (hole.path.isEmpty()) continue;
    holes.push_back({pad, &hole, hole.path.boundingRect()});
    widest = std::max(widest, holes.back().bounds.width());
  }
  std::sort(holes.begin(), holes.end(), [](const Drilled& a, const Drilled& b) {
    return a.bounds.left() < b.bounds.left();
  });
  std::size_t budget = kMostHolesCut;
  for (GraphicsPadItem* pad : pads) {
    if (budget == 0) return;
    const QRectF bounds = pad->boundingRect();
    const QPainterPath& own = pad->scene_hole().path;
    std::vector<GraphicsPadItem::Hole> over;
    auto hole = std::lower_bound(
        holes.begin(), holes.end(), bounds.left() - widest,
        [](const Drilled& h, double left) { return h.bounds.left() < left; });
    for (; hole != holes.end() && hole->bounds.left() <= bounds.right();
         ++hole) {
      const QPainterPath& path = hole->hole->path;
      // A pad repeated on the same drill already has that hole.
      if (hole->pad == pad || !hole->bounds.intersects(bounds) || path == own ||
          std::any_of(
              over.begin(), over.end(),
              [&](const GraphicsPadItem::Hole& h) { return h.path == path; }))
        continue;
      over.push_back(*hole->hole);
      if (over.size() == std::min(kMostHolesOnAPad, budget)) break;
    }
    budget -= over.size();
    if (!over.empty()) pad->cut_holes(over);
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
  if (spec_.shape == PadShape::other) return;
  painter->save();
  const QTransform turned = rotation_ * painter->transform();
  if (!outline_.empty()) {
    painter->setTransform(
        QTransform::fromScale(1 / kOutlineScale, 1 / kOutlineScale) * turned);
    painter->setPen(pen_);
    painter->setBrush(brush_);
    painter->drawPath(outline_.front());
    // A custom pad's pieces share one colour, so their fills alone show the
    // shape; tracing every piece with the pen as well tripled the paint
    // time.
    painter->setPen(Qt::NoPen);
    for (std::size_t i = 1; i < outline_.size(); ++i)
      painter->drawPath(outline_[i]);
  }
  if (has_label(spec_) && !spec_.number.isEmpty()) {
    painter->setTransform(QTransform::fromScale(kLabelScale, kLabelScale) *
                          turned);
    painter->setPen(label_colour_);
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
