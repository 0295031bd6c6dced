#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QTransform>

#include <functional>

class QGraphicsItem;

namespace padscope::test {

// A black image showing the scene around the origin, 50 pixels per unit,
// y down, on which items are painted as a view paints them.
class SceneImage {
public:
  explicit SceneImage(int pixels = 200, double pixels_per_unit = 50);

  // Qt's own items leave their pen and brush on the painter, as the view
  // expects; ours must restore what they change.
  enum class PainterState { kRestored, kLeftToTheView };

  // Paints `item` without antialiasing, so colours stay exact.
  void paint(QGraphicsItem& item, PainterState state = PainterState::kRestored);

  // The colour under a scene point.
  QColor at(const QPointF& scene_point) const;
  QColor at(double x, double y) const { return at(QPointF(x, y)); }
  // Pixels matching `test`, and their centre in scene coordinates.
  int count(const std::function<bool(const QColor&)>& test) const;
  QPointF centroid(const std::function<bool(const QColor&)>& test) const;
  // The scene-unit extent of the pixels matching `test`.
  QRectF extent(const std::function<bool(const QColor&)>& test) const;
  bool blank() const;

  const QImage& image() const { return image_; }

private:
  QImage image_;
  QTransform to_pixels_;
};

}  // namespace padscope::test
