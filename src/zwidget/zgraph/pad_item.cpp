#include "zwidget/zgraph/pad_item.h"

#include "zwidget/zgraph/item_caches.h"
#include "zwidget/zgraph/text_outline.h"

#include <QPainter>
#include <QStyleOptionGraphicsItem>

#include <algorithm>
#include <cmath>
#include <memory>

namespace zwidget::zgraph {
namespace {

// Pad numbers are shaped once per text in a font of this size, then scaled
// to fit their pad.
constexpr double kShapedPoints = 10;
// Of the pad's inside, the share along its long side a label may take, and
// across it.
constexpr double kLabelAlong = 0.85;
constexpr double kLabelAcross = 0.6;
// A pin name is at most this high beside its number's height.
constexpr double kPinNameHeight = 0.7;
// Labels smaller than this many pixels are left out when painted.
constexpr double kSmallestLabelPixels = 4;
// The rim's width in the shaped font: about a tenth of a digit's height on
// either side of the ink.
constexpr double kRimWidth = 0.2 * kShapedPoints;

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

// `text` in the label font, its ink centred on the origin.
QPainterPath label_ink(const QString& text) {
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(kShapedPoints);
  QPainterPath ink = text_outline(text, font);
  ink.translate(-ink.boundingRect().center());
  return ink;
}

// The band around `ink` that a rim fills; the ink, filled over it, covers
// what lies inside.
QPainterPath label_rim(const QPainterPath& ink) {
  QPainterPathStroker stroker;
  stroker.setWidth(kRimWidth);
  stroker.setJoinStyle(Qt::RoundJoin);
  stroker.setCapStyle(Qt::RoundCap);
  return stroker.createStroke(ink);
}

// Numbers come back pad after pad and footprint after footprint.
ShapedText shaped(const QString& text, bool with_rim) {
  return shaped_label(text, with_rim, label_ink, label_rim);
}

// The room inside a pad for its label, unturned: a round end takes its
// corners away. A pin name shares the height with its number.
struct LabelRoom {
  double along = 0;
  double row = 0;
  bool tall = false;
  bool two_rows = false;
};

LabelRoom label_room(const PadSpec& pad) {
  const bool round = pad.shape == PadShape::circle ||
                     pad.shape == PadShape::oval ||
                     (pad.shape == PadShape::custom &&
                      pad.options.anchor == QLatin1String("circle"));
  const QSizeF room = pad.size * (round ? 0.75 : 1.0);
  LabelRoom made;
  made.tall = room.height() > room.width();
  made.along = kLabelAlong * (made.tall ? room.height() : room.width());
  const double across =
      kLabelAcross * (made.tall ? room.width() : room.height());
  made.two_rows = !pad.number.isEmpty() && !pad.pin_name.isEmpty();
  made.row = made.two_rows ? across / (1 + kPinNameHeight) : across;
  return made;
}

// An angle in degrees, counter-clockwise, turned by half turns into
// (-90, 90]: a text at it reads from left to right or from bottom to top.
double upright(double degrees) {
  degrees = std::fmod(degrees, 360);
  if (degrees > 180) degrees -= 360;
  if (degrees <= -180) degrees += 360;
  if (degrees > 90) degrees -= 180;
  if (degrees <= -90) degrees += 180;
  return degrees;
}

// A label's number and name in the scene, one path: the number's own path
// holds it all where there is no name, copied once rather than twice.
QPainterPath placed(const QPainterPath& number, const QTransform& number_place,
                    const QPainterPath& name, const QTransform& name_place) {
  QPainterPath path = number_place.map(number);
  if (!name.isEmpty()) path.addPath(name_place.map(name));
  path.setFillRule(Qt::WindingFill);
  return path;
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

GraphicsPadItem::GraphicsPadItem(const PadSpec& spec, const QColor& colour,
                                 const QColor& label, const QColor& label_rim)
    : spec_(spec),
      label_colour_(label),
      label_rim_colour_(label_rim),
      rotation_(pad_turn(spec)) {
  const PadPaint paint = pad_paint(colour, [](const QColor& in) {
    PadPaint made{QPen(), QBrush(in, Qt::SolidPattern)};
    made.pen.setColor(in);
    made.pen.setWidth(0);
    made.pen.setCapStyle(Qt::RoundCap);
    return made;
  });
  pen_ = paint.pen;
  brush_ = paint.brush;

  const QRectF pad = pad_rect(spec_);
  bounds_ = rotation_.mapRect(pad);
  // A label is never taller than its row.
  if (spec_.shape != PadShape::other &&
      !(spec_.number.isEmpty() && spec_.pin_name.isEmpty()))
    label_reach_ = label_room(spec_).row;
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

GraphicsPadItem::~GraphicsPadItem() = default;

// Along the pad's long side, centred; a pin name under the number, both
// turned to read from left to right or from bottom to top.
GraphicsPadItem::Label GraphicsPadItem::lay_out_label() const {
  const LabelRoom room = label_room(spec_);
  const ShapedText number = shaped(spec_.number, false);
  const ShapedText name = shaped(spec_.pin_name, false);
  const auto fit = [&](const ShapedText& text, double height) {
    const QRectF ink = text.ink.boundingRect();
    if (ink.isEmpty()) return 0.0;
    return std::min(room.along / ink.width(), height / ink.height());
  };
  const double number_scale = fit(number, room.row);
  const double name_scale =
      std::min(fit(name, room.row * kPinNameHeight),
               spec_.number.isEmpty() ? fit(name, room.row) : number_scale);
  const double number_height =
      number.ink.boundingRect().height() * number_scale;
  const double name_height = name.ink.boundingRect().height() * name_scale;
  // The two rows centred together, a quarter of the name's height apart.
  const double total =
      number_height + name_height + (room.two_rows ? name_height / 4 : 0);
  Label label;
  label.centre = rotation_.map(pad_rect(spec_).center());
  QTransform place;
  place.translate(label.centre.x(), label.centre.y());
  place.rotate(-upright(spec_.turn + (room.tall ? 90 : 0)));
  label.number_place =
      QTransform::fromScale(number_scale, number_scale) *
      QTransform::fromTranslate(0, (number_height - total) / 2) * place;
  label.name_place = QTransform::fromScale(name_scale, name_scale) *
                     QTransform::fromTranslate(0, (total - name_height) / 2) *
                     place;
  label.number_ink = number.ink;
  label.name_ink = name.ink;
  label.height = spec_.number.isEmpty() ? name_height : number_height;
  return label;
}

const GraphicsPadItem::Label& GraphicsPadItem::laid_out_label() const {
  if (!label_) label_ = lay_out_label();
  return *label_;
}

const GraphicsPadItem::PlacedLabel& GraphicsPadItem::placed_label(
    const Label& label) const {
  if (placed_label_) return *placed_label_;
  PlacedLabel made{placed(label.number_ink, label.number_place, label.name_ink,
                          label.name_place),
                   {}};
  if (label_rim_colour_.isValid()) {
    const QPainterPath number_rim = shaped(spec_.number, true).rim;
    const QPainterPath name_rim = shaped(spec_.pin_name, true).rim;
    made.rim =
        placed(number_rim, label.number_place, name_rim, label.name_place);
  }
  return placed_label_.emplace(std::move(made));
}

QRectF GraphicsPadItem::boundingRect() const {
  return bounds_;
}

void GraphicsPadItem::paint(QPainter* painter,
                            const QStyleOptionGraphicsItem* /*option*/,
                            QWidget* /*widget*/) {
  if (spec_.shape == PadShape::other) return;
  painter->save();
  const QTransform base = painter->transform();
  const QTransform turned = rotation_ * base;
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
  const double scale =
      QStyleOptionGraphicsItem::levelOfDetailFromTransform(base);
  if (scale * label_reach_ >= kSmallestLabelPixels) {
    const Label& label = laid_out_label();
    if (scale * label.height >= kSmallestLabelPixels) {
      // A mirrored view, from below, still shows the numbers readable.
      painter->setTransform(
          base.determinant() < 0
              ? QTransform(-1, 0, 0, 1, 2 * label.centre.x(), 0) * base
              : base);
      painter->setPen(Qt::NoPen);
      const PlacedLabel& paths = placed_label(label);
      if (!paths.rim.isEmpty()) {
        painter->setBrush(label_rim_colour_);
        painter->drawPath(paths.rim);
      }
      painter->setBrush(label_colour_);
      painter->drawPath(paths.ink);
    }
  }
  painter->restore();
}

}  // namespace zwidget::zgraph
