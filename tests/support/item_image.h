#pragma once

#include <gtest/gtest.h>

#include <QGraphicsItem>
#include <QImage>
#include <QPainter>
#include <QStyleOptionGraphicsItem>
#include <QTransform>

#include <cmath>

namespace padscope::test {

// One item painted alone on black over `area`, `scale` pixels a unit, not
// antialiased for exact colours; painting must leave the painter as it
// found it.
class ItemImage {
public:
  ItemImage(QGraphicsItem& item, const QRectF& area, double scale)
      : to_pixels(scale, 0, 0, scale, -area.left() * scale,
                  -area.top() * scale),
        image(int(std::ceil(area.width() * scale)),
              int(std::ceil(area.height() * scale)), QImage::Format_ARGB32) {
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setTransform(to_pixels);
    painter.setBrush(Qt::magenta);
    const QPen pen = painter.pen();
    const QFont font = painter.font();
    QStyleOptionGraphicsItem option;
    item.paint(&painter, &option, nullptr);
    EXPECT_EQ(painter.transform(), to_pixels);
    EXPECT_EQ(painter.brush(), QBrush(Qt::magenta));
    EXPECT_EQ(painter.pen(), pen);
    EXPECT_EQ(painter.font(), font);
  }

  QColor at(const QPointF& scene) const {
    const QPointF p = to_pixels.map(scene);
    return image.pixelColor(std::floor(p.x()), std::floor(p.y()));
  }

  // The scene-unit bounds of the pixels passing `test`; empty if none does.
  template <typename Test>
  QRectF extent(Test test) const {
    QRect pixels;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        if (test(image.pixelColor(x, y))) pixels |= QRect(x, y, 1, 1);
    return to_pixels.inverted().mapRect(QRectF(pixels));
  }

  QRectF painted() const {
    return extent([](const QColor& c) { return c != Qt::black; });
  }

private:
  QTransform to_pixels;
  QImage image;
};

// Each side of `actual` within `tolerance` of `expected`'s.
inline void expect_near(const QRectF& actual, const QRectF& expected,
                        double tolerance) {
  EXPECT_NEAR(actual.left(), expected.left(), tolerance);
  EXPECT_NEAR(actual.top(), expected.top(), tolerance);
  EXPECT_NEAR(actual.right(), expected.right(), tolerance);
  EXPECT_NEAR(actual.bottom(), expected.bottom(), tolerance);
}

}  // namespace padscope::test
