#include "apps/padscope-render/footprint_renderer.h"

#include "support/test_data.h"

#include <gtest/gtest.h>

namespace padscope::render {
namespace {

// A coin cell: a circle of radius 6.25 with its texts inside and no pads,
// so that pure white or mid grey can only be grid points.
QImage battery(const RenderStyle& style) {
  const QString path = QString::fromStdString(test::local_testdata_dir() +
                                              "/Battery_CR1225.kicad_mod");
  FootprintRenderer renderer(style);
  renderer.load(path, parser_for(path));
  return renderer.image().convertToFormat(QImage::Format_ARGB32);
}

TEST(FootprintRenderer, BackgroundsAndGrid) {
  const QRgb white = qRgb(255, 255, 255);
  const QRgb grey = qRgb(128, 128, 128);
  const struct {
    Background background;
    QRgb corner;
    QRgb point;
  } cases[] = {{Background::black, qRgb(0, 0, 0), white},
               {Background::white, white, grey},
               {Background::transparent, qRgba(0, 0, 0, 0), grey}};
  for (const auto& c : cases)
    for (const bool grid : {false, true}) {
      SCOPED_TRACE(testing::Message()
                   << static_cast<int>(c.background) << (grid ? " grid" : ""));
      RenderStyle style;
      style.size = QSize(300, 200);
      style.background = c.background;
      style.grid = grid;
      const QImage image = battery(style);
      EXPECT_EQ(image.pixel(0, 0), c.corner);
      EXPECT_EQ(image.pixel(299, 199), c.corner);
      int points = 0;
      for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x) points += image.pixel(x, y) == c.point;
      // 1.27 mm apart over a view some 14 mm high: dozens of points.
      EXPECT_EQ(points > 50, grid) << points;
    }
}

// As "Fit to full page" fits it: the circle spans the height of the area
// inside the margin, centred.
TEST(FootprintRenderer, FitsInsideTheMargin) {
  for (const int margin : {0, 10, 50}) {
    SCOPED_TRACE(margin);
    RenderStyle style;
    style.size = QSize(400, 300);
    style.margin = margin;
    const QImage image = battery(style);
    QRect drawn;
    for (int y = 0; y < 300; ++y)
      for (int x = 0; x < 400; ++x)
        if (image.pixel(x, y) != qRgb(0, 0, 0)) drawn |= QRect(x, y, 1, 1);
    // Qt's fit keeps two pixels free; half the pen pokes out.
    EXPECT_NEAR(drawn.top(), margin, 4);
    EXPECT_NEAR(drawn.bottom(), 299 - margin, 4);
    EXPECT_NEAR(drawn.center().x(), 200, 2);
    EXPECT_NEAR(drawn.width(), drawn.height(), 3);
  }
}

}  // namespace
}  // namespace padscope::render
