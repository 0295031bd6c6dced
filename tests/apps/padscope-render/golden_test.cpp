#include "apps/padscope-render/footprint_renderer.h"
#include "support/test_data.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFontInfo>

#include <algorithm>

// References in tests/data/golden/; scripts/update-golden renders them anew
// (PADSCOPE_UPDATE_GOLDEN=1) when a drawing change is intended.

namespace padscope::render {
namespace {

// A pixel differs when a channel is off by more than this; a few may, for
// antialiasing decided at a hair's breadth.
constexpr int kChannelTolerance = 16;
constexpr int kDifferingPixelsAllowed = 20;

struct GoldenCase {
  const char* file;
  const char* module;  // of a library of several
  const char* golden;
};

void PrintTo(const GoldenCase& c, std::ostream* out) {
  *out << c.golden;
}

class GoldenImage : public testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenImage, MatchesReference) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  // The pad item asks for Arial; the tests see DejaVu Sans only.
  ASSERT_EQ(QFontInfo(QFont("Arial", 1)).family(), "DejaVu Sans");
  const GoldenCase& c = GetParam();
  const QString path =
      QString::fromStdString(test::shared_testdata_dir() + '/' + c.file);
  RenderStyle style;
  style.size = QSize(400, 300);
  FootprintRenderer renderer(style);
  renderer.load(path, parser_for(path));
  for (int i = 1; *c.module && renderer.footprint_name() != c.module; ++i)
    renderer.show_module(i);
  const QImage actual = renderer.image().convertToFormat(QImage::Format_ARGB32);

  const QString golden = QString(PADSCOPE_GOLDEN_DIR) + '/' + c.golden;
  if (qgetenv("PADSCOPE_UPDATE_GOLDEN") == "1") {
    ASSERT_TRUE(actual.save(golden + ".png"));
    std::cout << "updated " << golden.toStdString() << ".png\n";
    return;
  }
  const QImage expected =
      QImage(golden + ".png").convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(actual.size(), expected.size())
      << golden.toStdString() << ".png missing? see scripts/update-golden";

  // Red where a pixel differs, the reference dimmed elsewhere.
  QImage diff = expected.convertToFormat(QImage::Format_RGB32);
  int over = 0;
  for (int y = 0; y < diff.height(); ++y) {
    for (int x = 0; x < diff.width(); ++x) {
      const QRgb a = actual.pixel(x, y);
      const QRgb e = expected.pixel(x, y);
      const int d = std::max(
          {std::abs(qRed(a) - qRed(e)), std::abs(qGreen(a) - qGreen(e)),
           std::abs(qBlue(a) - qBlue(e)), std::abs(qAlpha(a) - qAlpha(e))});
      over += d > kChannelTolerance;
      diff.setPixel(x, y,
                    d > kChannelTolerance
                        ? qRgb(255, 0, 0)
                        : qRgb(qRed(e) / 4, qGreen(e) / 4, qBlue(e) / 4));
    }
  }
  const QString stem = QString(PADSCOPE_GOLDEN_FAILURE_DIR) + '/' + c.golden;
  QFile::remove(stem + ".actual.png");
  QFile::remove(stem + ".diff.png");
  if (over > kDifferingPixelsAllowed) {
    QDir().mkpath(PADSCOPE_GOLDEN_FAILURE_DIR);
    actual.save(stem + ".actual.png");
    diff.save(stem + ".diff.png");
    ADD_FAILURE() << over << " pixels differ from " << golden.toStdString()
                  << ".png; see " << stem.toStdString()
                  << ".actual.png and .diff.png. If the change is intended, "
                     "run scripts/update-golden.";
  }
}

// Two files of each flavour: pads of the drawn shapes, lines, circles,
// arcs, polygons and stroke texts.
INSTANTIATE_TEST_SUITE_P(
    SharedFiles, GoldenImage,
    testing::Values(
        GoldenCase{"kicad6/DIP-8_W7.62mm.kicad_mod", "", "kicad6_DIP-8"},
        GoldenCase{"kicad6/D_SMA-SMB_Universal_Handsoldering.kicad_mod", "",
                   "kicad6_D_SMA-SMB"},
        GoldenCase{"kicad5/SOT23-5.kicad_mod", "", "kicad5_SOT23-5"},
        GoldenCase{"kicad5/Relay_SPDT_RAYEX-L90.kicad_mod", "",
                   "kicad5_Relay_SPDT"},
        GoldenCase{"legacy/Footprints.mod", "SYNAPSE_THRUHOLE",
                   "legacy_SYNAPSE_THRUHOLE"},
        GoldenCase{"legacy/Logo.mod", "Logo_31x31", "legacy_Logo_31x31"}),
    [](const testing::TestParamInfo<GoldenCase>& info) {
      std::string name = info.param.golden;
      std::replace(name.begin(), name.end(), '-', '_');
      return name;
    });

}  // namespace
}  // namespace padscope::render
