#include "zwidget/zgraph/arc_geometry.h"

#include <cmath>

namespace zwidget::zgraph {
namespace {

constexpr double kPi = 3.141592653589793;
// KiCad's resolution in millimetres: a middle point this close to the
// chord's line lies on it.
constexpr double kNanometre = 1e-6;

// The direction from `centre` to `p` in Qt's angles: counter-clockwise on
// screen, so against the scene's y, which points down.
double qt_angle(const QPointF& centre, const QPointF& p) {
  return std::atan2(centre.y() - p.y(), p.x() - centre.x()) * 180 / kPi;
}

double counter_clockwise(double degrees) {
  const double turned = std::fmod(degrees, 360);
  return turned < 0 ? turned + 360 : turned;
}

// A flat arc as one cubic curve, which follows it to a tiny fraction of
// its sagitta: QPainterPath::arcTo missed the end of an arc of radius 6e6
// by 0.03.
QPainterPath flat_arc(const ArcShape& arc) {
  const double a = arc.start * kPi / 180;
  const double b = (arc.start + arc.span) * kPi / 180;
  const auto at = [&](double angle) {
    return arc.centre + arc.radius * QPointF(std::cos(angle), -std::sin(angle));
  };
  // The direction the arc takes at `angle`, one radius long.
  const auto ahead = [&](double angle) {
    return arc.radius * QPointF(-std::sin(angle), -std::cos(angle));
  };
  const double k = 4.0 / 3 * std::tan((b - a) / 4);
  QPainterPath path(at(a));
  path.cubicTo(at(a) + k * ahead(a), at(b) - k * ahead(b), at(b));
  return path;
}

}  // namespace

ArcShape arc_around(const QPointF& centre, const QPointF& begin, double sweep) {
  ArcShape arc;
  const double dx = begin.x() - centre.x();
  // A dx of 0 divides to +-infinity, whose arc tangent is +-90.
  double a = std::atan((begin.y() - centre.y()) / dx) * 180 / kPi;
  if (dx < 0) a += 180;
  arc.centre = centre;
  arc.radius = std::sqrt((centre.x() - begin.x()) * (centre.x() - begin.x()) +
                         (centre.y() - begin.y()) * (centre.y() - begin.y()));
  arc.start = -a;
  arc.span = -sweep;
  return arc;
}

ArcShape arc_through(const QPointF& start, const QPointF& mid,
                     const QPointF& end) {
  ArcShape arc;
  arc.chord = QLineF(start, end);
  const QPointF b = mid - start;
  const QPointF c = end - start;
  const double chord = std::hypot(c.x(), c.y());
  // An arc ending where it begins is KiCad's whole circle, with `mid`
  // across it.
  if (!(chord > kNanometre) && std::hypot(b.x(), b.y()) > kNanometre) {
    arc.centre = start + b / 2;
    arc.radius = std::hypot(b.x(), b.y()) / 2;
    arc.start = qt_angle(arc.centre, start);
    arc.span = 360;
    return arc;
  }
  const double cross = b.x() * c.y() - b.y() * c.x();
  // |cross| / |c| is the distance of `mid` from the chord's line.
  if (!(std::abs(cross) > kNanometre * chord)) {
    arc.straight = true;
    return arc;
  }
  const double bb = QPointF::dotProduct(b, b);
  const double cc = QPointF::dotProduct(c, c);
  arc.centre = start + QPointF((c.y() * bb - b.y() * cc) / (2 * cross),
                               (b.x() * cc - c.x() * bb) / (2 * cross));
  const QPointF radial = start - arc.centre;
  arc.radius = std::hypot(radial.x(), radial.y());
  // Numbers near the double's range overflow on the way.
  if (!std::isfinite(arc.radius)) {
    arc.straight = true;
    return arc;
  }
  arc.start = qt_angle(arc.centre, start);
  const double to_end =
      counter_clockwise(qt_angle(arc.centre, end) - arc.start);
  const double to_mid =
      counter_clockwise(qt_angle(arc.centre, mid) - arc.start);
  arc.span = to_mid < to_end ? to_end : to_end - 360;
  return arc;
}

QPainterPath arc_path(const ArcShape& arc) {
  QPainterPath path;
  if (arc.straight) {
    path.moveTo(arc.chord.p1());
    path.lineTo(arc.chord.p2());
  } else if (arc.radius > 0 && std::isfinite(arc.radius) &&
             std::isfinite(arc.start) && std::isfinite(arc.span)) {
    if (std::abs(arc.span) < kFlatArcDegrees) return flat_arc(arc);
    const QRectF square(arc.centre.x() - arc.radius,
                        arc.centre.y() - arc.radius, 2 * arc.radius,
                        2 * arc.radius);
    path.arcMoveTo(square, arc.start);
    path.arcTo(square, arc.start, arc.span);
  }
  return path;
}

}  // namespace zwidget::zgraph
