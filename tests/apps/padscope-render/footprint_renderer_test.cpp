#include "apps/padscope-render/footprint_renderer.h"

#include "apps/padscope-render/pdf_pages.h"
#include "support/test_data.h"
#include "zcore/footprint_facts.h"
#include "zwidget/zviewer/footprint_formats.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>

namespace padscope::render {
namespace {

// DejaVu Sans only, for the pad numbers; set before fontconfig's first read,
// and inherited by the tool the tests run.
[[maybe_unused]] const bool fonts_pinned =
    setenv("FONTCONFIG_FILE", PADSCOPE_RENDER_FONTS_CONF, 1) == 0;

QImage render(const std::string& path, const RenderStyle& style,
              const QString& module = "") {
  const QString file = QString::fromStdString(path);
  FootprintRenderer renderer(style);
  renderer.load(file, *zwidget::zcvpcb::format_for_path(file));
  for (int i = 1; !module.isEmpty() && renderer.footprint_name() != module; ++i)
    renderer.show_module(i);
  return renderer.image().convertToFormat(QImage::Format_ARGB32);
}

// The size an SVG states in millimetres.
QSizeF svg_millimetres(const QByteArray& svg) {
  static const QRegularExpression size(
      R"(<svg [^>]*width="([0-9.]+)mm" height="([0-9.]+)mm")");
  const auto match = size.match(QString::fromUtf8(svg));
  return match.hasMatch() ? QSizeF(match.captured(1).toDouble(),
                                   match.captured(2).toDouble())
                          : QSizeF();
}

// The sizes of a PDF's pages in points, in order.
std::vector<QSizeF> pdf_pages(const QByteArray& pdf) {
  static const QRegularExpression box(
      R"(/MediaBox \[0 0 ([0-9.]+) ([0-9.]+)\])");
  std::vector<QSizeF> pages;
  auto matches =
      box.globalMatch(QString::fromLatin1(pdf.constData(), pdf.size()));
  while (matches.hasNext()) {
    const auto match = matches.next();
    pages.emplace_back(match.captured(1).toDouble(),
                       match.captured(2).toDouble());
  }
  return pages;
}

// At a scale the SVG states the drawn area in millimetres, times the scale,
// and a PDF's page is that rounded up to whole points. Lines are drawn as
// wide as they are: a line of width w adds w/2 at both ends. Real files show
// only their courtyard, whose extent along its lines' centres the facts
// give, drawn 0.05 mm wide in KiCad's libraries.
TEST(FootprintRenderer, AtAScaleTheStatedSizeIsTheDrawnArea) {
  QTemporaryDir dir;
  const auto write = [&](const char* name, const char* text) {
    const QString path = dir.filePath(name);
    EXPECT_TRUE(test::write_file(path.toStdString(), text));
    return path.toStdString();
  };
  const std::string line =
      write("line.kicad_mod",
            "(footprint line (fp_line (start -5 1) (end 5 1) (layer F.SilkS) "
            "(width 0.2)))");
  // 1/10000 inch: 0.2 inch long, 0.01 inch wide.
  const std::string legacy = write("line.mod",
                                   "PCBNEW-LibModule-V1\n$INDEX\nL\n"
                                   "$EndINDEX\n$MODULE L\nPo 0 0 0 15 0 0 ~~\n"
                                   "Li L\nDS -1000 0 1000 0 100 21\n"
                                   "$EndMODULE L\n$EndLIBRARY\n");
  struct Case {
    std::string path;
    double scale;
    QSizeF expected;
  };
  std::vector<Case> cases = {{line, 1, {10.2, 0.2}},
                             {line, 2, {20.4, 0.4}},
                             {legacy, 1, {5.334, 0.254}},
                             {legacy, 0.5, {2.667, 0.127}}};
  for (const char* file :
       {"kicad5/TQFP-32_7x7mm_P0.8mm.kicad_mod",
        "kicad9/Battery_CR1225.kicad_mod", "kicad9/1x08_P2.54mm.kicad_mod"}) {
    const std::string path = test::real_file(file);
    if (!QFile::exists(QString::fromStdString(path))) continue;
    const auto model =
        zwidget::zcvpcb::read_footprint(QString::fromStdString(path));
    const auto courtyard = zcore::facts_of(*model).courtyard;
    ASSERT_TRUE(courtyard) << path;
    cases.push_back(
        {path, 1, {courtyard->width + 0.05, courtyard->height + 0.05}});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.path << " at " << c.scale);
    RenderStyle style;
    style.scale = c.scale;
    style.picture.hidden = zwidget::zcvpcb::hidden_but(
        zwidget::zcvpcb::layers_named({"F.SilkS", "F.CrtYd"}, nullptr));
    const QString file = QString::fromStdString(c.path);
    FootprintRenderer renderer(style);
    renderer.load(file, *zwidget::zcvpcb::format_for_path(file));
    const QSizeF stated = svg_millimetres(renderer.svg("x"));
    EXPECT_NEAR(stated.width(), c.expected.width(), 0.002);
    EXPECT_NEAR(stated.height(), c.expected.height(), 0.002);
    const std::vector<QSizeF> pages = pdf_pages(renderer.pdf("x"));
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].width(), std::ceil(stated.width() * 72 / 25.4));
    EXPECT_EQ(pages[0].height(), std::ceil(stated.height() * 72 / 25.4));
  }
}

// At a scale items stack as in the fitted picture, as the view stacks them:
// a silkscreen line written after a pad still lies under it. The paths'
// data are in scene units in both.
TEST(FootprintRenderer, AtAScaleItemsStackAsTheViewStacksThem) {
  QTemporaryDir dir;
  const QString path = dir.filePath("stack.kicad_mod");
  ASSERT_TRUE(test::write_file(
      path.toStdString(),
      "(footprint T (layer F.Cu)"
      " (fp_line (start -3 0) (end 3 0) (layer F.SilkS) (width 0.5))"
      " (pad 1 smd rect (at 0 0) (size 2 2) (layers F.Cu F.Mask))"
      " (fp_line (start 0 -3) (end 0 3) (layer F.SilkS) (width 0.5)))"));
  const auto drawn = [&](double scale) {
    RenderStyle style;
    style.scale = scale;
    FootprintRenderer renderer(style);
    renderer.load(path, *zwidget::zcvpcb::format_for_path(path));
    static const QRegularExpression data(R"re(<path d="([^"]*)")re");
    QStringList paths;
    auto found = data.globalMatch(QString::fromUtf8(renderer.svg("x")));
    while (found.hasNext()) paths << found.next().captured(1);
    return paths.join(" | ").toStdString();
  };
  const std::string fitted = drawn(0);
  ASSERT_NE(fitted.find("M-1-1"), std::string::npos) << fitted;
  EXPECT_EQ(drawn(10), fitted);
}

// A coin cell, a circle with its texts inside, fitted: the circle spans the
// height inside the margin, centred. Pure white or mid grey are grid points.
TEST(FootprintRenderer, BackgroundsGridAndMargin) {
  const QRgb black = qRgb(0, 0, 0), white = qRgb(255, 255, 255);
  const QRgb grey = qRgb(128, 128, 128);
  const struct {
    RenderStyle style;
    QRgb corner, point;
  } cases[] = {{{{400, 300}, Background::black, true, 50}, black, white},
               {{{400, 300}, Background::white, true, 0}, white, grey},
               {{{400, 300}, Background::transparent, false, 10}, 0, grey}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << &c - cases);
    const QImage image =
        render(test::local("Battery_CR1225.kicad_mod"), c.style);
    EXPECT_EQ(image.pixel(0, 0), c.corner);
    EXPECT_EQ(image.pixel(399, 299), c.corner);
    int points = 0;
    QRect drawn;
    for (int y = 0; y < 300; ++y)
      for (int x = 0; x < 400; ++x) {
        points += image.pixel(x, y) == c.point;
        if (image.pixel(x, y) != c.corner && image.pixel(x, y) != c.point)
          drawn |= QRect(x, y, 1, 1);
      }
    EXPECT_EQ(points > 50, c.style.grid) << points;
    const int margin = c.style.margin;
    EXPECT_NEAR(drawn.top(), margin, 4);
    EXPECT_NEAR(drawn.bottom(), 299 - margin, 4);
    EXPECT_NEAR(drawn.center().x(), 200, 2);
    EXPECT_NEAR(drawn.width(), drawn.height(), 3);
  }
}

// A front pad on the left, a back pad on the right, silkscreen above on the
// front and below on the back: drawn with only the back copper, with the
// front's preset, and from below.
TEST(FootprintRenderer, LayersAndTheViewFromBelowChooseWhatIsDrawn) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("sides.kicad_mod").toStdString();
  ASSERT_TRUE(test::write_file(
      path,
      "(footprint sides (layer F.Cu)"
      " (fp_line (start -4 -2) (end 4 -2) (layer F.SilkS) (width 0.2))"
      " (fp_line (start -4 2) (end 4 2) (layer B.SilkS) (width 0.2))"
      " (pad 1 smd rect (at -3 0) (size 1 2) (layers F.Cu F.Mask))"
      " (pad 2 smd rect (at 3 0) (size 1 2) (layers B.Cu B.Mask)))"));
  const QRgb front = qRgb(132, 0, 0), back = qRgb(0, 132, 0);
  const QRgb front_silk = qRgb(0, 132, 132), back_silk = qRgb(132, 0, 132);
  using zwidget::zcvpcb::hidden_but;
  using zwidget::zcvpcb::LayerPreset;
  using zwidget::zcvpcb::preset_layers;
  const struct {
    QSet<QString> hidden;
    bool from_below;
    // Where the colours are: on the left half, on the right, nowhere.
    std::vector<QRgb> left, right, absent;
  } cases[] = {
      {hidden_but({"B.Cu", "Pads"}),
       false,
       {},
       {back},
       {front, front_silk, back_silk}},
      {hidden_but(preset_layers(LayerPreset::front)),
       false,
       {front},
       {front_silk},
       {back, back_silk}},
      {{}, true, {back, back_silk}, {front, front_silk}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    RenderStyle style{{400, 300}};
    style.picture.hidden = c.hidden;
    style.picture.from_below = c.from_below;
    const QImage image = render(path, style);
    std::map<QRgb, int> left, right;
    for (int y = 0; y < 300; ++y)
      for (int x = 0; x < 400; ++x)
        ++(x < 200 ? left : right)[image.pixel(x, y) | 0xff000000];
    for (QRgb colour : c.left) EXPECT_GT(left[colour], 100) << colour;
    for (QRgb colour : c.right) EXPECT_GT(right[colour], 100) << colour;
    for (QRgb colour : c.absent)
      EXPECT_EQ(left[colour] + right[colour], 0) << colour;
  }
}

struct GoldenCase {
  const char *file, *module, *golden;
};

void PrintTo(const GoldenCase& c, std::ostream* out) {
  *out << c.golden;
}

class GoldenImage : public testing::TestWithParam<GoldenCase> {};

// Matches tests/data/golden/ but for a few antialiased pixels;
// scripts/update-golden renders the references anew.
TEST_P(GoldenImage, MatchesReference) {
  ASSERT_EQ(QFontInfo(QFont("Arial", 1)).family(), "DejaVu Sans");
  const GoldenCase& c = GetParam();
  const QImage actual = render(test::real_file(c.file), {{400, 300}}, c.module);
  const QString golden = QString(PADSCOPE_GOLDEN_DIR) + '/' + c.golden;
  if (qgetenv("PADSCOPE_UPDATE_GOLDEN") == "1") {
    ASSERT_TRUE(actual.save(golden + ".png"));
    std::cout << "updated " << golden.toStdString() << ".png\n";
    return;
  }
  const QImage expected =
      QImage(golden + ".png").convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(actual.size(), expected.size()) << golden.toStdString();
  // Red where a channel is off by more than 16, the reference dimmed.
  QImage diff = expected.convertToFormat(QImage::Format_RGB32);
  int over = 0;
  for (int y = 0; y < diff.height(); ++y)
    for (int x = 0; x < diff.width(); ++x) {
      const QRgb a = actual.pixel(x, y), e = expected.pixel(x, y);
      const bool differs = std::max({std::abs(qRed(a) - qRed(e)),
                                     std::abs(qGreen(a) - qGreen(e)),
                                     std::abs(qBlue(a) - qBlue(e)),
                                     std::abs(qAlpha(a) - qAlpha(e))}) > 16;
      over += differs;
      diff.setPixel(
          x, y, differs ? qRgb(255, 0, 0) : ((e >> 2) & 0x3f3f3f) | 0xff000000);
    }
  const QString stem = QString(PADSCOPE_GOLDEN_FAILURE_DIR) + '/' + c.golden;
  QFile::remove(stem + ".actual.png");
  QFile::remove(stem + ".diff.png");
  if (over > 20) {
    QDir().mkpath(PADSCOPE_GOLDEN_FAILURE_DIR);
    actual.save(stem + ".actual.png");
    diff.save(stem + ".diff.png");
    ADD_FAILURE() << over << " pixels differ from " << golden.toStdString()
                  << ".png; see " << stem.toStdString() << ".actual.png and "
                  << ".diff.png, or run scripts/update-golden if intended.";
  }
}

INSTANTIATE_TEST_SUITE_P(
    SharedFiles, GoldenImage,
    testing::Values(
        GoldenCase{"kicad6/DIP-8_W7.62mm.kicad_mod", "", "kicad6_DIP-8"},
        GoldenCase{"kicad6/D_SMA-SMB_Universal_Handsoldering.kicad_mod", "",
                   "kicad6_D_SMA-SMB"},
        GoldenCase{"kicad5/SOT23-5.kicad_mod", "", "kicad5_SOT23-5"},
        GoldenCase{"kicad5/Relay_SPDT_RAYEX-L90.kicad_mod", "",
                   "kicad5_Relay_SPDT"},
        GoldenCase{"kicad8/C_0805_2012Metric.kicad_mod", "", "kicad8_C_0805"},
        GoldenCase{"kicad9/ESP32-C5-MINI-1.kicad_mod", "",
                   "kicad9_ESP32-C5-MINI-1"},
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
