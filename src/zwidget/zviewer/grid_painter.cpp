#include "zwidget/zviewer/grid_painter.h"

#include "zwidget/zviewer/debug_log.h"

#include <QLineF>
#include <QPainter>
#include <QVector>

#include <algorithm>
#include <cmath>
#include <iostream>

namespace zwidget::zcvpcb {

namespace {

// A pitch finer than this many device pixels is doubled until it is not:
// a denser grid is a grey wash and costs a point per pixel.
constexpr double kMinimumPitchPixels = 4.0;

// More rows or columns than this only happen in degenerate views (a scale
// that underflowed, a rectangle of astronomic size); no grid is drawn then.
constexpr double kMaximumLines = 100000;

double device_pitch(const QPainter* painter, double step) {
  const QTransform& transform = painter->transform();
  const double across = transform.map(QLineF(0, 0, step, 0)).length();
  const double down = transform.map(QLineF(0, 0, 0, step)).length();
  return std::min(across, down);
}

// Multiples of `step` within [low, high], edges included: from 0 upwards,
// then from -step downwards, so the grid is anchored at the origin.
QVector<double> positions(double low, double high, double step) {
  QVector<double> result;
  const double first = std::ceil(low / step);
  const double last = std::floor(high / step);
  if (!std::isfinite(first) || !std::isfinite(last) ||
      last - first > kMaximumLines || std::abs(first) > 1e15 ||
      std::abs(last) > 1e15)
    return result;
  for (double i = std::max(0.0, first); i <= last; ++i)
    result.push_back(i * step);
  for (double i = std::min(-1.0, last); i >= first; --i)
    result.push_back(i * step);
  return result;
}

}  // namespace

double drawn_pitch(double step, double step_pixels) {
  double pitch = step;
  for (double pixels = step_pixels; pixels > 0 && pixels < kMinimumPitchPixels;
       pixels *= 2)
    pitch *= 2;
  return pitch;
}

GridPainter::GridPainter(QPainter* painter, const QRectF& rect)
    : painter(painter),
      rect(rect),
      background_pen(QBrush(Qt::black, Qt::SolidPattern), 0.0, Qt::SolidLine,
                     Qt::SquareCap, Qt::BevelJoin),
      background_brush(Qt::black, Qt::SolidPattern),
      point_pen(QBrush(Qt::white, Qt::SolidPattern), 0.0, Qt::SolidLine,
                Qt::SquareCap, Qt::BevelJoin) {
}

void GridPainter::fill() {
  painter->save();
  painter->setPen(background_pen);
  painter->setBrush(background_brush);
  painter->drawRects(&rect, 1);
  painter->restore();
}

void GridPainter::paint() {
  fill();
  const double pitch = drawn_pitch(step, device_pitch(painter, step));

  const QVector<double> rows = positions(rect.top(), rect.bottom(), pitch);
  const QVector<double> columns = positions(rect.left(), rect.right(), pitch);
  QVector<QPointF> points;
  if (static_cast<double>(rows.size()) * columns.size() <= kMaximumLines * 10) {
    points.reserve(rows.size() * columns.size());
    for (double y : rows) {
      for (double x : columns) points.push_back(QPointF(x, y));
    }
  }
  if (!points.isEmpty()) {
    painter->setPen(point_pen);
    painter->drawPoints(points.constData(), points.size());
  }
  if (grid_log().isDebugEnabled())
    std::cout << rect.x() << ' ' << rect.y() << ' ' << rect.height() << ' '
              << rect.width() << "  step=" << pitch
              << " counter=" << points.size() << std::endl;
}

}  // namespace zwidget::zcvpcb
