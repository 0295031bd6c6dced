#include "zwidget/zgraph/pad_geometry.h"

#include <QPainterPathStroker>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace zwidget::zgraph {
namespace {

// Half-circle ends across the shorter side: Qt clamps each radius to half
// the side it rounds, which also makes a square a circle.
void add_obround(QPainterPath& path, const QRectF& rect) {
  path.addRoundedRect(rect, rect.height() / 2, rect.width() / 2,
                      Qt::AbsoluteSize);
}

// The sides keep their length at the centre lines: a positive dh makes the
// top edge dh shorter and the bottom edge dh longer, a positive dw the right
// edge dw shorter and the left edge dw longer; negative ones the other way.
void add_trapezoid(QPainterPath& path, const QRectF& pad,
                   const QSizeF& rect_delta) {
  const double dw = rect_delta.width() / 2;
  const double dh = rect_delta.height() / 2;
  path.moveTo(pad.left() + dh, pad.top() - dw);
  path.lineTo(pad.left() - dh, pad.bottom() + dw);
  path.lineTo(pad.right() + dh, pad.bottom() - dw);
  path.lineTo(pad.right() - dh, pad.top() + dw);
  path.closeSubpath();
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

// A non-plated pad draws only its hole when its copper lies inside it, as
// round and oval copper does in a hole at least as large both ways; the
// corners of the other shapes would stand out.
bool is_hole_only(const PadSpec& pad) {
  return pad.type == PadType::np_thru_hole &&
         (pad.shape == PadShape::circle || pad.shape == PadShape::oval) &&
         drill_rect(pad).contains(pad_rect(pad));
}

// Qt draws a circle or a rounded end as cubic curves, which stray out from
// the true arc by under 0.03 % of the radius.
constexpr double kArcBulge = 1e-3;

double cross(const QPointF& u, const QPointF& v) {
  return u.x() * v.y() - u.y() * v.x();
}

double distance_to_segment(const QPointF& p, const QPointF& a,
                           const QPointF& b) {
  const QPointF ab = b - a;
  const double length2 = QPointF::dotProduct(ab, ab);
  const double t =
      length2 > 0
          ? std::clamp(QPointF::dotProduct(p - a, ab) / length2, 0.0, 1.0)
          : 0.0;
  const QPointF off = p - (a + t * ab);
  return std::hypot(off.x(), off.y());
}

// Segments that cross have no distance; others are nearest at an end.
double distance_between_segments(const QPointF& a, const QPointF& b,
                                 const QPointF& c, const QPointF& d) {
  const double c_side = cross(b - a, c - a), d_side = cross(b - a, d - a);
  const double a_side = cross(d - c, a - c), b_side = cross(d - c, b - c);
  if (((c_side < 0 && d_side > 0) || (c_side > 0 && d_side < 0)) &&
      ((a_side < 0 && b_side > 0) || (a_side > 0 && b_side < 0)))
    return 0;
  return std::min({distance_to_segment(a, c, d), distance_to_segment(b, c, d),
                   distance_to_segment(c, a, b), distance_to_segment(d, a, b)});
}

bool in_triangle(const QPointF& p, const QPointF& a, const QPointF& b,
                 const QPointF& c) {
  const double ab = cross(b - a, p - a), bc = cross(c - b, p - b),
               ca = cross(a - c, p - c);
  return (ab >= 0 && bc >= 0 && ca >= 0) || (ab <= 0 && bc <= 0 && ca <= 0);
}

// A cubic curve lies in the hull of its control points, whose edges are
// among the six segments between them; a segment reaches into the hull
// across one of them or lies in it whole, its end `p` with it.
bool hull_within(const std::array<QPointF, 4>& hull, const QPointF& p,
                 const QPointF& q, double reach) {
  for (std::size_t i = 0; i < hull.size(); ++i)
    for (std::size_t j = i + 1; j < hull.size(); ++j)
      if (distance_between_segments(hull[i], hull[j], p, q) <= reach)
        return true;
  return in_triangle(p, hull[0], hull[1], hull[2]) ||
         in_triangle(p, hull[0], hull[1], hull[3]) ||
         in_triangle(p, hull[0], hull[2], hull[3]) ||
         in_triangle(p, hull[1], hull[2], hull[3]);
}

}  // namespace

PadShape pad_shape_of(std::string_view keyword) {
  static const std::pair<const char*, PadShape> kShapes[] = {
      {"circle", PadShape::circle},       {"rect", PadShape::rect},
      {"oval", PadShape::oval},           {"trapezoid", PadShape::trapezoid},
      {"roundrect", PadShape::roundrect}, {"custom", PadShape::custom}};
  for (const auto& [name, shape] : kShapes)
    if (keyword == name) return shape;
  return PadShape::other;
}

PadType pad_type_of(std::string_view keyword) {
  static const std::pair<const char*, PadType> kTypes[] = {
      {"thru_hole", PadType::thru_hole},
      {"np_thru_hole", PadType::np_thru_hole},
      {"smd", PadType::smd},
      {"connect", PadType::connect}};
  for (const auto& [name, type] : kTypes)
    if (keyword == name) return type;
  return PadType::other;
}

QRectF pad_rect(const PadSpec& pad) {
  const QPointF centre = pad.position + pad.offset;
  return QRectF(centre.x() - pad.size.width() / 2,
                centre.y() - pad.size.height() / 2, pad.size.width(),
                pad.size.height());
}

QRectF drill_rect(const PadSpec& pad) {
  const QPointF& centre = pad.position;
  const QSizeF& size = pad.drill.size;
  return QRectF(centre.x() - size.width() / 2, centre.y() - size.height() / 2,
                size.width(), size.height());
}

QTransform pad_turn(const PadSpec& pad) {
  QTransform turn;
  if (pad.turn != 0) {
    turn.translate(pad.position.x(), pad.position.y());
    turn.rotate(-pad.turn);
    turn.translate(-pad.position.x(), -pad.position.y());
  }
  return turn;
}

bool has_hole(const PadSpec& pad) {
  return pad.type != PadType::smd && pad.type != PadType::connect;
}

// Every pad shape is built here.
std::vector<QPainterPath> pad_outline(const PadSpec& pad, double scale) {
  const QRectF rect =
      QTransform::fromScale(scale, scale).mapRect(pad_rect(pad));
  const PadShapeOptions& options = pad.options;
  if (is_hole_only(pad)) return {};
  if (pad.shape == PadShape::custom)
    return custom_outline(rect, options, scale);
  const double chamfer = fraction_of(options.chamfer_ratio, rect);
  QPainterPath path;
  switch (pad.shape) {
    case PadShape::circle:
      path.addEllipse(rect);
      break;
    case PadShape::rect:
      add_cornered(path, rect, 0, chamfer, options.chamfered);
      break;
    case PadShape::oval:
      add_obround(path, rect);
      break;
    case PadShape::trapezoid:
      add_trapezoid(path, rect, pad.deltas * scale);
      break;
    case PadShape::roundrect:
      add_cornered(path, rect, fraction_of(options.roundrect_ratio, rect),
                   chamfer, options.chamfered);
      break;
    default:
      return {};
  }
  return {path};
}

QPainterPath pad_hole(const PadSpec& pad, double scale) {
  const QRectF drill =
      QTransform::fromScale(scale, scale).mapRect(drill_rect(pad));
  QPainterPath hole;
  if (pad.drill.oval)
    add_obround(hole, drill);
  else
    hole.addEllipse(drill);
  return hole;
}

std::optional<Stadium> hole_stadium(const PadSpec& pad, double scale) {
  const QRectF drill =
      QTransform::fromScale(scale, scale).mapRect(drill_rect(pad));
  const QPointF centre = drill.center();
  const double w = drill.width(), h = drill.height();
  if (!pad.drill.oval && w != h) return std::nullopt;
  // Across the shorter side, as add_obround rounds it.
  const QPointF half_length =
      w >= h ? QPointF((w - h) / 2, 0) : QPointF(0, (h - w) / 2);
  return Stadium{centre - half_length, centre + half_length,
                 std::min(w, h) / 2};
}

std::optional<Stadium> mapped(const Stadium& stadium, const QTransform& map) {
  const double x_scale = std::hypot(map.m11(), map.m12());
  const double y_scale = std::hypot(map.m21(), map.m22());
  const double skew = map.m11() * map.m21() + map.m12() * map.m22();
  const double tolerance = 1e-9 * x_scale;
  if (!map.isAffine() || std::abs(x_scale - y_scale) > tolerance ||
      std::abs(skew) > tolerance * x_scale)
    return std::nullopt;
  return Stadium{map.map(stadium.a), map.map(stadium.b),
                 stadium.radius * x_scale};
}

bool is_clear_of(const Stadium& hole, const QPainterPath& region) {
  const double reach = hole.radius * (1 + kArcBulge);
  const auto near = [&](const QPointF& p, const QPointF& q) {
    return distance_between_segments(p, q, hole.a, hole.b) <= reach;
  };
  // Every subpath is filled as if closed.
  QPointF start, last;
  for (int i = 0; i < region.elementCount(); ++i) {
    const QPainterPath::Element& e = region.elementAt(i);
    if (e.isMoveTo()) {
      if (i > 0 && near(last, start)) return false;
      start = last = e;
    } else if (e.isLineTo()) {
      if (near(last, e)) return false;
      last = e;
    } else if (e.isCurveTo() && i + 2 < region.elementCount()) {
      const std::array<QPointF, 4> hull{last, e, region.elementAt(i + 1),
                                        region.elementAt(i + 2)};
      if (hull_within(hull, hole.a, hole.b, reach)) return false;
      last = hull[3];
      i += 2;
    }
  }
  if (region.elementCount() > 0 && near(last, start)) return false;
  // No edge comes near: the hole lies wholly inside or wholly outside.
  return !region.contains(hole.a);
}

}  // namespace zwidget::zgraph
