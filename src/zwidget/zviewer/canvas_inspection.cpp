// The canvas's inspection of a footprint: hover, selection, the measuring
// tool and what is drawn over the footprint for them.
#include "zwidget/zgraph/item_kind.h"
#include "zwidget/zgraph/pad_item.h"
#include "zwidget/zviewer/canvas_overlay.h"
#include "zwidget/zviewer/fact_text.h"
#include "zwidget/zviewer/item_pick.h"
#include "zwidget/zviewer/item_tags.h"
#include "zwidget/zviewer/obj_canvas.h"
#include "zwidget/zviewer/zscene.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGraphicsItem>
#include <QHelpEvent>
#include <QMenu>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace zwidget::zcvpcb {

namespace {

// How near, in pixels, the cursor must come to an item to pick it, and to
// a point to snap to it.
constexpr double kPickPixels = 4;
constexpr double kSnapPixels = 8;
constexpr double kPi = 3.14159265358979323846;

// The facts a pad's tooltip shows, in this order.
const char* const kTooltipFacts[] = {"Number", "Pin function", "Pin type",
                                     "Type",   "Shape",        "Size",
                                     "Drill",  "Slot"};

}  // namespace

zcore::fact_list ZObjCanvas::pad_facts(int ordinal) const {
  const zcore::footprint_facts* figures = footprint_figures();
  if (!figures || ordinal < 0 ||
      static_cast<std::size_t>(ordinal) >= figures->pads.size())
    return {};
  return zcore::pad_fact_list(figures->pads[ordinal]);
}

void ZObjCanvas::set_unit(zcore::length_unit unit) {
  unit_ = unit;
  viewport()->update();
  emit measurement_changed();
}

double ZObjCanvas::scene_length(double pixels) const {
  const double scale = std::hypot(transform().m11(), transform().m12());
  return scale > 0 ? pixels / scale : pixels;
}

void ZObjCanvas::forget_items() {
  hovered = nullptr;
  selected_pad = nullptr;
  snap_marker.reset();
  snap_points.reset();
  ruler_start.reset();
  ruler_end.reset();
  if (selected >= 0) {
    selected = -1;
    emit selection_changed();
  }
}

void ZObjCanvas::select(QGraphicsItem* item) {
  const int element = item ? element_of(item) : -1;
  selected_pad = item && pad_of(item) >= 0 ? item : nullptr;
  viewport()->update();
  if (element == selected) return;
  selected = element;
  emit selection_changed();
}

bool ZObjCanvas::step_pad(bool forward) {
  const ZScene* shown = footprint_scene();
  if (!shown) return false;
  const std::vector<QGraphicsItem*> pads = pads_by_number(*shown);
  if (pads.empty()) return false;
  auto at = std::find(pads.begin(), pads.end(), selected_pad);
  if (at == pads.end()) {
    at = forward ? pads.begin() : pads.end() - 1;
  } else if (forward) {
    at = at + 1 == pads.end() ? pads.begin() : at + 1;
  } else {
    at = at == pads.begin() ? pads.end() - 1 : at - 1;
  }
  select(*at);
  ensureVisible(*at);
  return true;
}

bool ZObjCanvas::focusNextPrevChild(bool next) {
  return step_pad(next) || QGraphicsView::focusNextPrevChild(next);
}

zcore::fact_list ZObjCanvas::selection_facts() const {
  if (selected < 0 || !model) return {};
  if (selected_pad) return pad_facts(pad_of(selected_pad));
  return zcore::element_facts(*model, static_cast<std::size_t>(selected));
}

QString ZObjCanvas::selection_text() const {
  return facts_as_text(selection_facts(), unit_);
}

QString ZObjCanvas::pad_tooltip(const QGraphicsItem* pad) const {
  zcore::fact_list shown;
  const zcore::fact_list facts = pad_facts(pad_of(pad));
  for (const char* label : kTooltipFacts)
    for (const zcore::fact& fact : facts)
      if (fact.label == label) shown.push_back(fact);
  return facts_as_text(shown, unit_);
}

void ZObjCanvas::set_measuring(bool on) {
  if (on == measuring_) return;
  measuring_ = on;
  ruler_start.reset();
  ruler_end.reset();
  snap_marker.reset();
  viewport()->setCursor(on ? Qt::CrossCursor : Qt::ArrowCursor);
  viewport()->update();
  emit measuring_changed(on);
  emit measurement_changed();
}

std::optional<QLineF> ZObjCanvas::measurement() const {
  if (!ruler_start) return std::nullopt;
  return QLineF(*ruler_start,
                ruler_end ? *ruler_end : snap_marker.value_or(*ruler_start));
}

QStringList ZObjCanvas::measurement_text() const {
  const std::optional<QLineF> line = measurement();
  if (!line) return {};
  const double dx = line->dx() * unit_mm, dy = line->dy() * unit_mm;
  // Counter-clockwise on screen, as KiCad turns things, y pointing down.
  const double angle = std::atan2(-dy, dx) * 180 / kPi;
  return {tr("dx %1").arg(length_text(dx, unit_)),
          tr("dy %1").arg(length_text(dy, unit_)),
          tr("distance %1").arg(length_text(std::hypot(dx, dy), unit_)),
          tr("angle %1").arg(QString::number(angle, 'f', 2) + QChar(0x00b0))};
}

QPointF ZObjCanvas::snapped(const QPointF& at) {
  snap_marker.reset();
  const ZScene* shown = footprint_scene();
  if (!shown || !model) return at;
  if (!snap_points) snap_points = snap_targets(*shown, *model, unit_mm);
  const double radius = scene_length(kSnapPixels);
  std::optional<QPointF> target = nearest_target(*snap_points, at, radius);
  const QPointF grid = grid_point(at);
  if (!target && QLineF(at, grid).length() <= radius) target = grid;
  snap_marker = target;
  return target.value_or(at);
}

void ZObjCanvas::pointer_moved(const QPointF& at) {
  const ZScene* shown = footprint_scene();
  if (!shown) return;
  const QPointF scene_at = to_scene(at);
  const QGraphicsItem* under =
      item_at(*shown, scene_at, scene_length(kPickPixels), true);
  if (under != hovered && !measuring_) {
    // Only the two highlights change: repainting a whole BGA for every pad
    // the cursor crosses made the hover lag.
    update_highlight(hovered);
    update_highlight(under);
  }
  hovered = under;
  if (measuring_) {
    snapped(scene_at);
    if (ruler_start && !ruler_end) emit measurement_changed();
    viewport()->update();
  }
}

void ZObjCanvas::update_highlight(const QGraphicsItem* item) {
  if (!item) return;
  const QRectF area = highlight_path(item).boundingRect();
  // Grown by the highlight's line and the antialiasing beside it.
  viewport()->update(mapFromScene(area).boundingRect().adjusted(-3, -3, 3, 3));
}

void ZObjCanvas::clicked(const QPointF& at) {
  ZScene* shown = footprint_scene();
  if (!shown) return;
  const QPointF scene_at = to_scene(at);
  if (!measuring_) {
    select(item_at(*shown, scene_at, scene_length(kPickPixels)));
    return;
  }
  const QPointF point = snapped(scene_at);
  if (!ruler_start || ruler_end) {
    ruler_start = point;
    ruler_end.reset();
    shown->set_relative_origin(point);
  } else {
    ruler_end = point;
  }
  viewport()->update();
  emit measurement_changed();
}

bool ZObjCanvas::viewportEvent(QEvent* event) {
  if (event->type() != QEvent::ToolTip)
    return QGraphicsView::viewportEvent(event);
  const auto* help = static_cast<QHelpEvent*>(event);
  const ZScene* shown = footprint_scene();
  const QGraphicsItem* pad = shown ? item_at(*shown, to_scene(help->pos()),
                                             scene_length(kPickPixels), true)
                                   : nullptr;
  if (pad) {
    QToolTip::showText(help->globalPos(), pad_tooltip(pad), viewport());
  } else {
    QToolTip::hideText();
  }
  return true;
}

void ZObjCanvas::leaveEvent(QEvent* event) {
  QGraphicsView::leaveEvent(event);
  if (!hovered && !snap_marker) return;
  hovered = nullptr;
  snap_marker.reset();
  viewport()->update();
}

void ZObjCanvas::add_inspect_actions(QMenu& menu) {
  QAction* copy = menu.addAction(tr("Copy facts"), this, [this] {
    QApplication::clipboard()->setText(selection_text());
  });
  copy->setEnabled(selected >= 0);
  menu.addAction(tr("Clear selection"), this, [this] { select(nullptr); })
      ->setEnabled(selected >= 0);
  QAction* measure = menu.addAction(tr("Measure"), this,
                                    [this](bool on) { set_measuring(on); });
  measure->setCheckable(true);
  measure->setChecked(measuring_);
}

void ZObjCanvas::contextMenuEvent(QContextMenuEvent* event) {
  ZScene* shown = footprint_scene();
  if (!shown) return;
  const QPointF scene_at = to_scene(event->pos());
  if (!measuring_) select(item_at(*shown, scene_at, scene_length(kPickPixels)));
  QMenu menu(this);
  add_inspect_actions(menu);
  menu.addAction(tr("Set relative origin here"), this,
                 [this, scene_at] { set_relative_origin(snapped(scene_at)); });
  menu.exec(event->globalPos());
}

void ZObjCanvas::drawForeground(QPainter* painter, const QRectF& rect) {
  QGraphicsView::drawForeground(painter, rect);
  const ZScene* shown = footprint_scene();
  if (!shown || drawing_scene) return;
  Overlay overlay;
  if (hovered && hovered->isVisible() && element_of(hovered) != selected)
    overlay.hovered.push_back(highlight_path(hovered));
  for (const QGraphicsItem* item : element_items(*shown, selected))
    if (item->isVisible()) overlay.selected.push_back(highlight_path(item));
  overlay.snap = snap_marker;
  if (shown->relative_origin() != QPointF())
    overlay.origin = shown->relative_origin();
  overlay.ruler = measurement();
  overlay.on_light = shown->background_colour().lightness() > 128;
  overlay.ruler_text = measurement_text();
  paint_overlay(painter, overlay);
}

}  // namespace zwidget::zcvpcb
