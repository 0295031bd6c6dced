#pragma once

#include <QBrush>
#include <QPen>
#include <QRectF>

class QPainter;

namespace zwidget::zcvpcb {

// The pitch the grid of `step` is drawn with where a step spans
// `step_pixels` device pixels: doubled until its points are a few pixels
// apart.
double drawn_pitch(double step, double step_pixels);

// Paints the black background and the point grid of one exposed area.
struct GridPainter {
  GridPainter(QPainter* painter, const QRectF& rect);

  // Paints the exposed area black.
  void fill();
  // Black background, then one white point per grid position in the area,
  // anchored at the scene origin; writes one debug line.
  void paint();

  QPainter* painter;
  QRectF rect;
  QPen background_pen;
  QBrush background_brush;
  QPen point_pen;
  double step = 1.27;
};

}  // namespace zwidget::zcvpcb
