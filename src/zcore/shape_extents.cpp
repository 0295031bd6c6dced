#include "zcore/shape_extents.h"

#include <algorithm>
#include <cmath>

namespace zcore {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadians = kPi / 180;

// The unit vector at a whole number of quarter turns, exact.
point quarter(long quarters) {
  static const point kAxes[] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
  return kAxes[((quarters % 4) + 4) % 4];
}

double wrapped(double degrees) {
  const double turned = std::fmod(degrees, 360);
  return turned < 0 ? turned + 360 : turned;
}

double degrees_of(const point& from, const point& to) {
  return std::atan2(to.y - from.y, to.x - from.x) / kRadians;
}

}  // namespace

point turned(const point& p, double degrees) {
  point axis;
  if (degrees == 0)
    return p;
  else if (std::fmod(degrees, 90) == 0)
    axis = quarter(static_cast<long>(std::fmod(degrees, 360) / 90));
  else
    axis = {std::cos(degrees * kRadians), std::sin(degrees * kRadians)};
  return {p.x * axis.x + p.y * axis.y, -p.x * axis.y + p.y * axis.x};
}

void extent_builder::take(double x, double y) {
  if (!std::isfinite(x) || !std::isfinite(y)) return;
  if (!any) {
    extent = {x, y, x, y};
    any = true;
    return;
  }
  extent.x0 = std::min(extent.x0, x);
  extent.y0 = std::min(extent.y0, y);
  extent.x1 = std::max(extent.x1, x);
  extent.y1 = std::max(extent.y1, y);
}

void extent_builder::add(const point& p, double radius) {
  radius = std::abs(radius);
  take(p.x - radius, p.y - radius);
  take(p.x + radius, p.y + radius);
}

void extent_builder::add(const box& other) {
  take(other.x0, other.y0);
  take(other.x1, other.y1);
}

void extent_builder::add(const arc_extent& arc, double radius) {
  const double r = std::abs(arc.radius);
  if (!std::isfinite(arc.start) || !(std::abs(arc.sweep) < 360)) {
    add(arc.centre, r + std::abs(radius));
    return;
  }
  const auto at = [&](double degrees) {
    return point{arc.centre.x + r * std::cos(degrees * kRadians),
                 arc.centre.y + r * std::sin(degrees * kRadians)};
  };
  const double start = wrapped(arc.start);
  const double end = start + arc.sweep;
  add(at(start), radius);
  add(at(end), radius);
  // Where the arc crosses an axis through its centre it reaches farthest.
  const double low = std::min(start, end), high = std::max(start, end);
  for (long k = static_cast<long>(std::ceil(low / 90)); k * 90.0 <= high; ++k) {
    const point axis = quarter(k);
    add(point{arc.centre.x + r * axis.x, arc.centre.y + r * axis.y}, radius);
  }
}

void extent_builder::add(const arc_points& arc, double radius) {
  const point b{arc.mid.x - arc.start.x, arc.mid.y - arc.start.y};
  const point c{arc.end.x - arc.start.x, arc.end.y - arc.start.y};
  const double bb = b.x * b.x + b.y * b.y, cc = c.x * c.x + c.y * c.y;
  // An arc ending where it begins is KiCad's whole circle, `mid` across it.
  if (cc < 1e-18 && bb > 1e-18) {
    add(point{arc.start.x + b.x / 2, arc.start.y + b.y / 2},
        std::sqrt(bb) / 2 + std::abs(radius));
    return;
  }
  const double d = 2 * (b.x * c.y - b.y * c.x);
  const point centre{arc.start.x + (c.y * bb - b.y * cc) / d,
                     arc.start.y + (b.x * cc - c.x * bb) / d};
  const double r = std::hypot(centre.x - arc.start.x, centre.y - arc.start.y);
  // Points on a line, or so nearly that the circle is beyond any board.
  if (!(r < 1e9)) {
    add(arc.start, radius);
    add(arc.end, radius);
    return;
  }
  const double start = degrees_of(centre, arc.start);
  const double to_end = wrapped(degrees_of(centre, arc.end) - start);
  const double to_mid = wrapped(degrees_of(centre, arc.mid) - start);
  add(arc_extent{centre, r, start, to_mid < to_end ? to_end : to_end - 360},
      radius);
}

void extent_builder::add_curve(const point (&p)[4], double radius) {
  add(p[0], radius);
  add(p[3], radius);
  const auto at = [&p](double t) {
    const double u = 1 - t;
    const double w[] = {u * u * u, 3 * u * u * t, 3 * u * t * t, t * t * t};
    point q;
    for (int i = 0; i < 4; ++i) {
      q.x += w[i] * p[i].x;
      q.y += w[i] * p[i].y;
    }
    return q;
  };
  // Where the derivative of either coordinate is 0 inside the curve.
  for (double point::*axis : {&point::x, &point::y}) {
    const double a = p[1].*axis - p[0].*axis, b = p[2].*axis - p[1].*axis,
                 c = p[3].*axis - p[2].*axis;
    const double qa = a - 2 * b + c, qb = 2 * (b - a);
    double roots[2] = {-1, -1};
    if (std::abs(qa) < 1e-12) {
      if (qb != 0) roots[0] = -a / qb;
    } else if (const double disc = qb * qb - 4 * qa * a; disc >= 0) {
      roots[0] = (-qb + std::sqrt(disc)) / (2 * qa);
      roots[1] = (-qb - std::sqrt(disc)) / (2 * qa);
    }
    for (double t : roots)
      if (t > 0 && t < 1) add(at(t), radius);
  }
}

std::optional<box> extent_builder::result() const {
  if (!any) return std::nullopt;
  return extent;
}

}  // namespace zcore
