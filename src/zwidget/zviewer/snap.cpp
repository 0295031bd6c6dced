#include "zwidget/zviewer/snap.h"

#include "zcore/element_facts.h"
#include "zwidget/zgraph/item_kind.h"
#include "zwidget/zgraph/pad_item.h"
#include "zwidget/zviewer/item_tags.h"

#include <QGraphicsScene>
#include <QLineF>

#include <set>

namespace zwidget::zcvpcb {

namespace {

void add_pad(std::vector<SnapTarget>& targets,
             const zgraph::GraphicsPadItem* pad) {
  const zgraph::PadSpec& spec = pad->spec();
  const QTransform to_scene = zgraph::pad_turn(spec) * pad->sceneTransform();
  targets.push_back({pad->sceneTransform().map(spec.position), pad});
  const QRectF copper = zgraph::pad_rect(spec);
  const QPointF centre = copper.center();
  for (const QPointF& middle :
       {QPointF(centre.x(), copper.top()), QPointF(copper.right(), centre.y()),
        QPointF(centre.x(), copper.bottom()),
        QPointF(copper.left(), centre.y())})
    targets.push_back({to_scene.map(middle), pad});
}

}  // namespace

std::vector<SnapTarget> snap_targets(const QGraphicsScene& scene,
                                     const zcore::BaseModel& model,
                                     double mm_per_unit) {
  std::vector<SnapTarget> targets{{QPointF(0, 0), nullptr}};
  std::set<int> elements;
  for (const QGraphicsItem* item : scene.items(Qt::AscendingOrder)) {
    const std::string kind = zgraph::kind_of(item);
    if (kind == "pad") {
      add_pad(targets, static_cast<const zgraph::GraphicsPadItem*>(item));
      continue;
    }
    if (kind != "line" && kind != "arc" && kind != "circle") continue;
    const int element = element_of(item);
    if (element < 0 || !elements.insert(element).second) continue;
    for (const zcore::fact& fact :
         zcore::element_facts(model, static_cast<std::size_t>(element))) {
      if (fact.type == zcore::fact::kind::point &&
          (fact.label == "Start" || fact.label == "End" ||
           fact.label == "Centre"))
        targets.push_back(
            {QPointF(fact.x / mm_per_unit, fact.y / mm_per_unit), item});
    }
  }
  return targets;
}

std::optional<QPointF> nearest_target(const std::vector<SnapTarget>& targets,
                                      const QPointF& at, double radius) {
  std::optional<QPointF> nearest;
  double best = radius;
  for (const SnapTarget& target : targets) {
    if (target.item && !target.item->isVisible()) continue;
    const double distance = QLineF(at, target.at).length();
    if (distance <= best) {
      best = distance;
      nearest = target.at;
    }
  }
  return nearest;
}

}  // namespace zwidget::zcvpcb
