#include "apps/padscope-render/footprint_renderer.h"

#include "support/test_data.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>

namespace padscope::render {
namespace {

// A coin cell: one circle of radius 6.25 with its texts inside, no pads;
// so pure white and mid grey appear only where a grid point is.
QString battery() {
  return QDir(QString::fromStdString(test::local_testdata_dir()))
      .filePath("Battery_CR1225.kicad_mod");
}

QImage render(const RenderStyle& style) {
  FootprintRenderer renderer(style);
  renderer.load(battery(), parser_for(battery()));
  return renderer.image();
}

int count_pixels(const QImage& image, QRgb colour) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x)
      count += image.pixel(x, y) == colour;
  }
  return count;
}

// The pixels that are not `background`.
QRect drawing_bounds(const QImage& image, QRgb background) {
  QRect bounds;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixel(x, y) != background) bounds |= QRect(x, y, 1, 1);
    }
  }
  return bounds;
}

TEST(ParserFor, TheViewersFileNameRules) {
  EXPECT_EQ(parser_for("/lib/R_0805.kicad_mod"), "module_parser");
  EXPECT_EQ(parser_for("old.mod"), "module_legacy_parser");
  EXPECT_EQ(parser_for("/lib/R_0805.KICAD_MOD"), "");
  EXPECT_EQ(parser_for("/lib/x.kicad_mod.bak"), "");
}

TEST(FootprintRenderer, BackgroundsAndGrid) {
  const QRgb white = qRgba(255, 255, 255, 255);
  const QRgb grey = qRgba(128, 128, 128, 255);
  const struct {
    Background background;
    bool grid;
    QRgb corner;
    // The colour of a grid point, counted in the whole picture.
    QRgb point;
  } cases[] = {
      {Background::black, false, qRgba(0, 0, 0, 255), white},
      {Background::black, true, qRgba(0, 0, 0, 255), white},
      {Background::white, false, white, grey},
      {Background::white, true, white, grey},
      {Background::transparent, false, qRgba(0, 0, 0, 0), grey},
      {Background::transparent, true, qRgba(0, 0, 0, 0), grey},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "background " << static_cast<int>(c.background) << " grid "
                 << c.grid);
    RenderStyle style;
    style.size = QSize(300, 200);
    style.background = c.background;
    style.grid = c.grid;
    const QImage image = render(style).convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(image.size(), QSize(300, 200));
    EXPECT_EQ(image.pixel(0, 0), c.corner);
    EXPECT_EQ(image.pixel(299, 199), c.corner);
    const int points = count_pixels(image, c.point);
    // 1.27 mm apart over a view some 14 mm high: dozens of points.
    if (c.grid) {
      EXPECT_GT(points, 50);
    } else {
      EXPECT_EQ(points, 0);
    }
  }
}

// Fitted as the viewer's "Fit to full page": the circle, the largest
// element, spans the height of the fitted area, and the margin stays free.
TEST(FootprintRenderer, FitsIntoTheAreaInsideTheMargin) {
  const QRgb black = qRgb(0, 0, 0);
  const struct { int margin; } cases[] = {{0}, {10}, {50}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.margin);
    RenderStyle style;
    style.size = QSize(400, 300);
    style.margin = c.margin;
    const QRect bounds = drawing_bounds(render(style), black);
    ASSERT_FALSE(bounds.isEmpty());
    // Qt's fit keeps two pixels free, and the pen's half width pokes out.
    EXPECT_NEAR(bounds.top(), c.margin, 4);
    EXPECT_NEAR(bounds.bottom(), 299 - c.margin, 4);
    EXPECT_NEAR(bounds.center().x(), 200, 2);
    EXPECT_NEAR(bounds.width(), bounds.height(), 3);
  }
}

TEST(FootprintRenderer, ItemsAndNotDrawnOfTheShownModule) {
  RenderStyle style;
  FootprintRenderer renderer(style);
  const QString library =
      QDir(QString::fromStdString(test::local_testdata_dir()))
          .filePath("w_pth_resistors.mod");
  renderer.load(library, parser_for(library));
  ASSERT_EQ(renderer.module_count(), 10);
  EXPECT_EQ(renderer.footprint_name(), "trimmer_64w");
  EXPECT_EQ(renderer.items(),
            (KindCounts{{"circle", 1}, {"line", 5}, {"text", 2}}));
  EXPECT_EQ(renderer.not_drawn(), (KindCounts{{"pad", 3}}));
  renderer.show_module(9);
  EXPECT_NE(renderer.footprint_name(), "trimmer_64w");
  EXPECT_THROW(renderer.show_module(10), std::out_of_range);

  // A later file replaces the library: one module again.
  renderer.load(battery(), parser_for(battery()));
  EXPECT_EQ(renderer.module_count(), 1);
  EXPECT_EQ(renderer.footprint_name(), "Battery_CR1225");
  EXPECT_EQ(renderer.items(), (KindCounts{{"circle", 1}, {"text", 2}}));
  EXPECT_TRUE(renderer.not_drawn().empty());
}

}  // namespace
}  // namespace padscope::render
