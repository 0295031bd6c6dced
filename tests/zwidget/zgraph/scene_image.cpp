#include "scene_image.h"

#include <gtest/gtest.h>

#include <QGraphicsItem>
#include <QPainter>
#include <QStyleOptionGraphicsItem>

#include <cmath>

namespace padscope::test {

SceneImage::SceneImage(int pixels, double pixels_per_unit)
    : image_(pixels, pixels, QImage::Format_ARGB32) {
  image_.fill(Qt::black);
  to_pixels_.translate(pixels / 2.0, pixels / 2.0);
  to_pixels_.scale(pixels_per_unit, pixels_per_unit);
}

void SceneImage::paint(QGraphicsItem& item, PainterState state) {
  QPainter painter(&image_);
  painter.setTransform(to_pixels_);
  // A brush left over from earlier painting must not leak into an item.
  painter.setBrush(QColor(Qt::magenta));
  const QPen pen_before = painter.pen();
  const QFont font_before = painter.font();
  QStyleOptionGraphicsItem option;
  item.paint(&painter, &option, nullptr);
  EXPECT_EQ(painter.transform(), to_pixels_);
  if (state == PainterState::kLeftToTheView) return;
  EXPECT_EQ(painter.pen(), pen_before);
  EXPECT_EQ(painter.brush(), QBrush(QColor(Qt::magenta)));
  EXPECT_EQ(painter.font(), font_before);
}

QColor SceneImage::at(const QPointF& scene_point) const {
  const QPointF p = to_pixels_.map(scene_point);
  return image_.pixelColor(static_cast<int>(std::floor(p.x())),
                           static_cast<int>(std::floor(p.y())));
}

int SceneImage::count(const std::function<bool(const QColor&)>& test) const {
  int n = 0;
  for (int y = 0; y < image_.height(); ++y)
    for (int x = 0; x < image_.width(); ++x)
      if (test(image_.pixelColor(x, y))) ++n;
  return n;
}

QPointF SceneImage::centroid(
    const std::function<bool(const QColor&)>& test) const {
  QPointF sum;
  int n = 0;
  for (int y = 0; y < image_.height(); ++y)
    for (int x = 0; x < image_.width(); ++x)
      if (test(image_.pixelColor(x, y))) {
        sum += QPointF(x + 0.5, y + 0.5);
        ++n;
      }
  if (n == 0) return QPointF();
  return to_pixels_.inverted().map(sum / n);
}

QRectF SceneImage::extent(
    const std::function<bool(const QColor&)>& test) const {
  QRect pixels;
  for (int y = 0; y < image_.height(); ++y)
    for (int x = 0; x < image_.width(); ++x)
      if (test(image_.pixelColor(x, y))) pixels |= QRect(x, y, 1, 1);
  return to_pixels_.inverted().mapRect(QRectF(pixels));
}

bool SceneImage::blank() const {
  return count([](const QColor& c) { return c != QColor(Qt::black); }) == 0;
}

}  // namespace padscope::test
