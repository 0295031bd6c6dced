#pragma once

#include <QRectF>
#include <QSizeF>
#include <QTransform>

#include <functional>

class QPainter;

namespace zwidget::zcvpcb {

class ZObjCanvas;

// What a canvas shows, turned and mirrored as its view but neither zoomed
// nor panned: the area its shown items cover, to be drawn at a scale, as
// export and printing at true size draw it.
class DrawnArea {
public:
  // Paints the background under `rect`, in scene units.
  using Background = std::function<void(QPainter*, const QRectF&)>;

  explicit DrawnArea(const ZObjCanvas& canvas);

  bool empty() const { return area.isEmpty(); }
  // The area's size at `scale`, in millimetres; empty when nothing is
  // shown.
  QSizeF millimetres(double scale) const;
  // Scene units to `target`, the area filling it.
  QTransform drawing_into(const QRectF& target) const;
  // Paints the background and every shown item, in stacking order as the
  // view paints them, so that the area fills `target`, in the painter's
  // coordinates.
  void paint(QPainter& painter, const QRectF& target,
             const Background& background) const;

private:
  const ZObjCanvas& canvas;
  // The view's turn and mirror.
  QTransform orientation;
  // The shown items' bounds, in scene units and turned.
  QRectF scene_bounds;
  QRectF area;
};

}  // namespace zwidget::zcvpcb
