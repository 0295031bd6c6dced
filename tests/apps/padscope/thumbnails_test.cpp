#include "apps/padscope/thumbnails.h"

#include "apps/padscope-render/footprint_renderer.h"
#include "support/test_data.h"
#include "zwidget/zviewer/footprint_formats.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {

using padscope::render::FootprintRenderer;

QString real(const std::string& relative) {
  return QString::fromStdString(padscope::test::real_file(relative));
}

// The render tool's own picture of a footprint, at the grid's size.
QImage rendered(const Thumbnail& footprint) {
  padscope::render::RenderStyle style;
  style.size = ThumbnailModel::kSize;
  style.margin = ThumbnailModel::kMargin;
  FootprintRenderer renderer(style);
  renderer.load(footprint.path,
                *zwidget::zcvpcb::format_for_file(footprint.path));
  if (footprint.module >= 0) renderer.show_module(footprint.module);
  return renderer.image().convertToFormat(QImage::Format_RGB32);
}

bool is_blank(const QImage& image) {
  QImage blank(image.size(), image.format());
  blank.fill(image.pixel(0, 0));
  return image == blank;
}

TEST(Thumbnails, AreTheRenderToolsPicturesKeptAcrossRuns) {
  QTemporaryDir cache;
  const std::vector<Thumbnail> footprints = {
      {"DIP-8_W7.62mm", real("kicad6/DIP-8_W7.62mm.kicad_mod"), -1},
      {"TQFP-32", real("kicad9/TQFP-32_7x7mm_P0.8mm.kicad_mod"), -1},
      {"3528-21", real("legacy/standard.mod"), 1}};
  ThumbnailModel model;
  model.set_program(PADSCOPE_RENDER_EXE);
  model.set_folder(cache.path());
  QSignalSpy rendered_signal(&model, &ThumbnailModel::rendered);
  model.set_footprints(footprints);
  ASSERT_TRUE(model.rendering());
  // Blank until drawn.
  EXPECT_EQ(model.index(0).data(Qt::DecorationRole).value<QPixmap>().size(),
            ThumbnailModel::kSize);
  ASSERT_TRUE(rendered_signal.wait(60000));
  for (int row = 0; row < model.rowCount(); ++row) {
    const Thumbnail& footprint = footprints[row];
    const QImage shown = model.index(row)
                             .data(Qt::DecorationRole)
                             .value<QPixmap>()
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    const QImage expected = rendered(footprint);
    EXPECT_EQ(shown, expected) << footprint.name.toStdString();
    EXPECT_FALSE(is_blank(expected));
  }
  // The module's picture is its own, not the library's first.
  EXPECT_NE(model.index(2).data(Qt::DecorationRole).value<QPixmap>().toImage(),
            rendered({"", footprints[2].path, 0}));

  ThumbnailModel again;  // the next start draws nothing
  again.set_folder(cache.path());
  again.set_program(PADSCOPE_RENDER_EXE);
  again.set_footprints(footprints);
  EXPECT_FALSE(again.rendering());
}

}  // namespace
