#include "zwidget/zviewer/drawn_area.h"

#include "zwidget/zviewer/obj_canvas.h"
#include "zwidget/zviewer/zscene.h"

#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QPainter>
#include <QStyleOptionGraphicsItem>

#include <cmath>

namespace zwidget::zcvpcb {

DrawnArea::DrawnArea(const ZObjCanvas& canvas) : canvas(canvas) {
  const QTransform& view = canvas.transform();
  const double zoom = std::sqrt(std::abs(view.determinant()));
  if (zoom > 0)
    orientation = QTransform(view.m11() / zoom, view.m12() / zoom,
                             view.m21() / zoom, view.m22() / zoom, 0, 0);
  if (QGraphicsScene* scene = canvas.scene()) {
    for (const QGraphicsItem* item : scene->items())
      if (item->isVisible()) scene_bounds |= item->sceneBoundingRect();
  }
  area = orientation.mapRect(scene_bounds);
}

QSizeF DrawnArea::millimetres(double scale) const {
  if (empty()) return QSizeF();
  return area.size() * (canvas.millimetres_per_unit() * scale);
}

QTransform DrawnArea::drawing_into(const QRectF& target) const {
  if (empty()) return QTransform();
  return orientation * QTransform::fromTranslate(-area.left(), -area.top()) *
         QTransform::fromScale(target.width() / area.width(),
                               target.height() / area.height()) *
         QTransform::fromTranslate(target.left(), target.top());
}

void DrawnArea::paint(QPainter& painter, const QRectF& target,
                      const Background& background) const {
  QGraphicsScene* scene = canvas.scene();
  if (!scene || empty()) return;
  const QTransform drawing = drawing_into(target) * painter.worldTransform();
  painter.save();
  painter.setRenderHints(canvas.renderHints());
  painter.setWorldTransform(drawing);
  // The turned area's corners in scene units: what the background covers.
  if (background)
    background(&painter,
               orientation.inverted().mapRect(area).united(scene_bounds));
  QStyleOptionGraphicsItem option;
  for (QGraphicsItem* item : stacked_items(*scene)) {
    if (!item->isVisible()) continue;
    painter.setWorldTransform(item->sceneTransform() * drawing);
    option.exposedRect = item->boundingRect();
    option.rect = option.exposedRect.toAlignedRect();
    item->paint(&painter, &option, nullptr);
  }
  painter.restore();
}

}  // namespace zwidget::zcvpcb
