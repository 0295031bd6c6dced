#include "apps/padscope-render/footprint_renderer.h"
#include "support/test_data.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontInfo>
#include <QImage>

#include <algorithm>
#include <cstdlib>
#include <cstring>

// The reference images live in tests/data/golden/. When a drawing change is
// intended, regenerate them with scripts/update-golden (it runs this test
// with PADSCOPE_UPDATE_GOLDEN=1) and look at the new pictures before
// committing them.

namespace padscope::render {
namespace {

// A pixel differs when one of its channels is off by more than this; a few
// such pixels are tolerated, for antialiasing decided at a hair's breadth.
constexpr int kChannelTolerance = 16;
constexpr int kDifferingPixelsAllowed = 20;

struct GoldenCase {
  const char* file;
  // For a library of several modules, the module drawn.
  const char* module;
  const char* golden;
};

void PrintTo(const GoldenCase& c, std::ostream* out) {
  *out << c.golden;
}

class GoldenImage : public testing::TestWithParam<GoldenCase> {};

bool updating() {
  const char* value = std::getenv("PADSCOPE_UPDATE_GOLDEN");
  return value && std::strcmp(value, "1") == 0;
}

int channel_distance(QRgb a, QRgb b) {
  return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                   std::abs(qBlue(a) - qBlue(b)),
                   std::abs(qAlpha(a) - qAlpha(b))});
}

// Red where a pixel differs beyond the tolerance, grey where it differs
// within it, the reference dimmed where it is equal.
QImage difference(const QImage& actual, const QImage& expected, int* over) {
  QImage diff(expected.size(), QImage::Format_RGB32);
  *over = 0;
  for (int y = 0; y < expected.height(); ++y) {
    for (int x = 0; x < expected.width(); ++x) {
      const QRgb want = expected.pixel(x, y);
      const int d = channel_distance(actual.pixel(x, y), want);
      if (d > kChannelTolerance) {
        ++*over;
        diff.setPixel(x, y, qRgb(255, 0, 0));
      } else if (d > 0) {
        diff.setPixel(x, y, qRgb(128, 128, 128));
      } else {
        diff.setPixel(x, y,
                      qRgb(qRed(want) / 4, qGreen(want) / 4, qBlue(want) / 4));
      }
    }
  }
  return diff;
}

TEST_P(GoldenImage, MatchesReference) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  // The pad item asks for Arial; the tests see DejaVu Sans only.
  ASSERT_EQ(QFontInfo(QFont("Arial", 1)).family(), "DejaVu Sans");
  const GoldenCase& c = GetParam();
  const QString path = QDir(QString::fromStdString(test::shared_testdata_dir()))
                           .filePath(c.file);

  RenderStyle style;
  style.size = QSize(400, 300);
  FootprintRenderer renderer(style);
  renderer.load(path, parser_for(path));
  if (*c.module) {
    for (int i = 0;
         i < renderer.module_count() && renderer.footprint_name() != c.module;
         ++i)
      renderer.show_module(i);
    ASSERT_EQ(renderer.footprint_name(), c.module);
  }
  const QImage actual = renderer.image().convertToFormat(QImage::Format_ARGB32);

  const QString golden =
      QDir(PADSCOPE_GOLDEN_DIR).filePath(QString(c.golden) + ".png");
  if (updating()) {
    ASSERT_TRUE(QDir().mkpath(PADSCOPE_GOLDEN_DIR));
    ASSERT_TRUE(actual.save(golden, "PNG"));
    std::cout << "updated " << golden.toStdString() << '\n';
    return;
  }
  const QImage expected = QImage(golden).convertToFormat(QImage::Format_ARGB32);
  ASSERT_FALSE(expected.isNull())
      << "no reference image " << golden.toStdString()
      << "; make one with scripts/update-golden";
  ASSERT_EQ(actual.size(), expected.size());

  int over = 0;
  const QImage diff = difference(actual, expected, &over);
  const QDir failures(PADSCOPE_GOLDEN_FAILURE_DIR);
  const QString stem = failures.filePath(c.golden);
  // Pictures of an earlier failure would mislead.
  QFile::remove(stem + ".actual.png");
  QFile::remove(stem + ".diff.png");
  if (over > kDifferingPixelsAllowed) {
    ASSERT_TRUE(failures.mkpath("."));
    actual.save(stem + ".actual.png", "PNG");
    diff.save(stem + ".diff.png", "PNG");
    ADD_FAILURE() << over << " pixels differ from " << golden.toStdString()
                  << " by more than " << kChannelTolerance << "; see "
                  << stem.toStdString()
                  << ".actual.png and .diff.png (red: differing pixels). If "
                     "the change is intended, run scripts/update-golden.";
  }
}

// Two footprint files of each flavour: pads of every drawn shape, lines,
// circles, arcs, polygons and stroke texts.
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
