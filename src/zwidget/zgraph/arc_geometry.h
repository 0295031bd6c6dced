#pragma once

#include <QLineF>
#include <QPainterPath>
#include <QPointF>

namespace zwidget::zgraph {

// An arc as the arc item takes it, centre, radius and Qt's angles in
// degrees; or, for points on one line, the straight line from start to end.
struct ArcShape {
  bool straight = false;
  QLineF chord;
  QPointF centre;
  double radius = 0;
  double start = 0;
  double span = 0;
};

// The arc around `centre` that begins at `begin` and sweeps `sweep` degrees
// the files' way round: both angles are negated into Qt's.
ArcShape arc_around(const QPointF& centre, const QPointF& begin, double sweep);

// The arc from `start` through `mid` to `end`; one that ends where it
// begins is the whole circle across to `mid`.
ArcShape arc_through(const QPointF& start, const QPointF& mid,
                     const QPointF& end);

// Arcs flatter than this many degrees are more than a hundred times one
// sixteenth, the step of the arc item's angles.
constexpr double kFlatArcDegrees = 6.25;

// The arc as a path from where it begins: the chord of a straight one, one
// cubic curve for a flat one, Qt's arc otherwise; empty for a radius that
// is not positive and finite.
QPainterPath arc_path(const ArcShape& arc);

}  // namespace zwidget::zgraph
