#pragma once

#include <QPointF>

#include <optional>
#include <vector>

class QGraphicsItem;
class QGraphicsScene;

namespace zcore {
class BaseModel;
}

namespace zwidget::zcvpcb {

// A point a measurement snaps to, in scene units, taken from the file's own
// numbers so that the distance between two pad centres is the file's.
struct SnapTarget {
  QPointF at;
  // The item whose visibility it follows; none for the footprint origin.
  const QGraphicsItem* item = nullptr;
};

// Pad centres and the midpoints of pad edges, the ends of lines and arcs,
// the centres of circles and arcs, and the footprint origin. `model` is
// the one the scene shows, with `mm_per_unit` millimetres per scene unit.
std::vector<SnapTarget> snap_targets(const QGraphicsScene& scene,
                                     const zcore::BaseModel& model,
                                     double mm_per_unit);

// The target nearest `at` within `radius` whose item is shown.
std::optional<QPointF> nearest_target(const std::vector<SnapTarget>& targets,
                                      const QPointF& at, double radius);

}  // namespace zwidget::zcvpcb
