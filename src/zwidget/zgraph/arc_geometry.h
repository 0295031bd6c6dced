#pragma once

#include <QLineF>
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

// The arc from `start` through `mid` to `end`.
ArcShape arc_through(const QPointF& start, const QPointF& mid,
                     const QPointF& end);

}  // namespace zwidget::zgraph
