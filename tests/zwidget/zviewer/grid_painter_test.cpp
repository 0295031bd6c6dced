#include "zwidget/zviewer/grid_painter.h"

#include "support/qt_printers.h"
#include "zwidget/zviewer/viewer_test_support.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <cmath>
#include <cstring>

namespace zwidget::zcvpcb {
namespace {

TEST(GridPainter, AnchorsPointsAtTheOriginAndThinsThemBelowFourPixels) {
  const struct {
    QRectF rect;
    double scale;  // device pixels per unit
    const char* trace;
    std::vector<double> corners;  // x and y of some of the points drawn
  } cases[] = {
      {{-3, -3, 6, 6}, 10, "-3 -3 6 6  step=1.27 counter=25", {-2.54, 0}},
      // 8 x 1.27 = 10.16 lies inside too: columns and rows 8 to 15.
      {{10, 10, 10, 10}, 10, "10 10 10 10  step=1.27 counter=64", {10.16}},
      {{0.5, 0.5, 0.5, 0.5}, 10, "0.5 0.5 0.5 0.5  step=1.27 counter=0", {}},
      // 4.06 pixels: unchanged; 3.81 pixels: doubled once; 1.27: twice.
      {{-3, -3, 6, 6}, 3.2, "-3 -3 6 6  step=1.27 counter=25", {2.54}},
      {{-3, -3, 6, 6}, 3, "-3 -3 6 6  step=2.54 counter=9", {-2.54, 2.54}},
      {{-3, -3, 6, 6}, 1, "-3 -3 6 6  step=5.08 counter=1", {0}},
      // A legacy library in its own units: 64 x 1.27 is the first pitch of
      // 4 pixels or more; 123 columns, 99 rows.
      {{-5000, -4000, 10000, 8000},
       0.05,
       "-5000 -4000 8000 10000  step=81.28 counter=12177",
       {-3901.44, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.trace);
    // Not antialiased, so that a point is one pixel; red where not painted.
    QImage image(std::ceil(c.rect.width() * c.scale) + 2,
                 std::ceil(c.rect.height() * c.scale) + 2,
                 QImage::Format_RGB32);
    image.fill(Qt::red);
    QTransform to_pixels;
    to_pixels.translate(1, 1)
        .scale(c.scale, c.scale)
        .translate(-c.rect.left(), -c.rect.top());
    const test::DebugOutput on;
    test::CoutCapture trace;
    {
      QPainter painter(&image);
      painter.setTransform(to_pixels);
      GridPainter(&painter, c.rect).paint();
    }
    EXPECT_EQ(trace.str(), std::string(c.trace) + "\n");
    std::map<QRgb, int> pixels;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) ++pixels[image.pixel(x, y)];
    const int points = std::stoi(std::strstr(c.trace, "counter=") + 8);
    EXPECT_EQ(pixels[QColor(Qt::white).rgb()], points);
    EXPECT_EQ(pixels.size(), 3u);  // white, black and the red border only
    const QPoint middle = to_pixels.map(c.rect.center()).toPoint();
    EXPECT_NE(image.pixelColor(middle), QColor(Qt::red));  // painted
    for (double x : c.corners) {
      for (double y : c.corners) {
        const QPoint at = to_pixels.map(QPointF(x, y)).toPoint();
        bool near = false;  // within a pixel
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx)
            near |= image.pixelColor(at + QPoint(dx, dy)) == Qt::white;
        EXPECT_TRUE(near) << x << ", " << y;
      }
    }
  }
}

}  // namespace
}  // namespace zwidget::zcvpcb
