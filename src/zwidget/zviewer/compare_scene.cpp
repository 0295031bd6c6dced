#include "zwidget/zviewer/compare_scene.h"

#include "zcore/models.h"
#include "zwidget/zgraph/pad_item.h"
#include "zwidget/zviewer/footprint_formats.h"
#include "zwidget/zviewer/layer_stack.h"
#include "zwidget/zviewer/zmessage_exception.h"

#include <QGraphicsPathItem>
#include <QPainterPath>
#include <QPen>
#include <QTransform>

#include <vector>

namespace zwidget::zcvpcb {

namespace {

// Above every item of a footprint.
constexpr double kFrameDepth = 1e9;

QRectF rect_of(const zcore::box& b) {
  return QRectF(QPointF(b.x0, b.y0), QPointF(b.x1, b.y1));
}

}  // namespace

ZCompareScene::ZCompareScene() = default;

ZCompareScene::~ZCompareScene() {
  // The items go before the loaders that made them.
  clear();
}

void ZCompareScene::build_pair(const zcore::BaseModel& before,
                               const zcore::BaseModel& after,
                               const zcore::footprint_comparison& result,
                               const CompareColours& colours) {
  reset();
  frame = nullptr;
  for (std::unique_ptr<ZSceneLoader>& loader : loaders) loader.reset();
  sides = 0;
  highlight_colour = colours.highlight;
  add_side(before, result.old_changed, colours.before, colours.shared);
  add_side(after, result.new_changed, colours.after, colours.shared);
  // The scene's own rectangle only ever grows: it still held the sides in
  // their files' units.
  setSceneRect(itemsBoundingRect());
  emit loaded(QString::fromStdString(before.name()));
}

void ZCompareScene::add_side(const zcore::BaseModel& model,
                             const std::set<std::size_t>& changed,
                             const QColor& own, const QColor& shared) {
  const FootprintFormat* format = format_of(model);
  if (!format) throw zaux::ZMessageException(tr("No format reads the model."));
  std::unique_ptr<ZSceneLoader> loader = format->scene_loader(this, model);
  loader->set_tint([changed, own, shared](std::size_t source) {
    return changed.count(source) ? own : shared;
  });
  QList<QGraphicsItem*> made;
  const QMetaObject::Connection collect =
      connect(this, &ZScene::item_added,
              [&made](QGraphicsItem* item) { made << item; });
  try {
    loader->load();
  } catch (...) {
    disconnect(collect);
    throw;
  }
  disconnect(collect);
  // Each side as it would stand alone, its holes cut through its own pads.
  stack_items(made, false);
  zgraph::cut_stacked_holes(loader->made_pads());
  const double unit = format->millimetres_per_unit(model);
  if (unit != 1.0)
    for (QGraphicsItem* item : made)
      item->setTransform(QTransform::fromScale(unit, unit), true);
  loaders[sides++] = std::move(loader);
}

void ZCompareScene::highlight(const std::optional<zcore::box>& before,
                              const std::optional<zcore::box>& after) {
  delete frame;
  frame = nullptr;
  if (!before && !after) return;
  QRectF bounds = itemsBoundingRect();
  // A margin that shows around a pad or a line at any size of footprint.
  const double margin =
      std::max(0.05, 0.01 * std::max(bounds.width(), bounds.height()));
  QPainterPath path;
  // Overlapping places make one frame around both, not their difference.
  path.setFillRule(Qt::WindingFill);
  for (const std::optional<zcore::box>& place : {before, after})
    if (place)
      path.addRect(rect_of(*place).adjusted(-margin, -margin, margin, margin));
  frame = new QGraphicsPathItem(path.simplified());
  QPen pen(highlight_colour, 2);
  pen.setCosmetic(true);
  frame->setPen(pen);
  frame->setZValue(kFrameDepth);
  addItem(frame);
}

QRectF ZCompareScene::highlighted() const {
  return frame ? frame->sceneBoundingRect() : QRectF();
}

}  // namespace zwidget::zcvpcb
