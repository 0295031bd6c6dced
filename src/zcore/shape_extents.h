#pragma once

#include "zcore/footprint_facts.h"
#include "zcore/point.h"

#include <optional>

namespace zcore {

// Angles here are degrees measured as atan2 measures them with y down:
// growing clockwise on screen, as the files' arc sweeps do.
struct arc_extent {
  point centre;
  double radius = 0;
  double start = 0;
  double sweep = 0;
};

// Three points on one arc; a straight line when they lie on one.
struct arc_points {
  point start, mid, end;
};

// The least box around what is added; infinite and NaN values are passed
// over, so a hostile file cannot spoil the others' extents.
class extent_builder {
public:
  // A disc of `radius` about `p`; a point for 0.
  void add(const point& p, double radius = 0);
  // The arc widened by `radius` on both sides.
  void add(const arc_extent& arc, double radius = 0);
  void add(const arc_points& arc, double radius = 0);
  // The cubic Bézier curve from p0 to p3 with control points p1 and p2.
  void add_curve(const point (&p)[4], double radius = 0);
  void add(const box& other);

  bool empty() const { return !any; }
  // Empty when nothing was added.
  std::optional<box> result() const;

private:
  void take(double x, double y);

  bool any = false;
  box extent;
};

// `p` turned by `degrees` counter-clockwise on screen (y down), as KiCad
// turns pads.
point turned(const point& p, double degrees);

}  // namespace zcore
