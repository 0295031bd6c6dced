#include "apps/padscope-render/svg_writer.h"

#include "apps/padscope-render/batch.h"
#include "apps/padscope-render/footprint_renderer.h"
#include "apps/padscope-render/svg_text.h"
#include "support/hostile_files.h"
#include "support/test_data.h"
#include "zwidget/zviewer/footprint_formats.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <utility>

namespace padscope::render {
namespace {

// The elements of a document by name, the texts' contents and the root's
// width, height and viewBox, or the parse error.
struct Parsed {
  std::map<QString, int> elements;
  QStringList texts, size;
  QString title, error;
};

Parsed parse(const QByteArray& svg) {
  Parsed parsed;
  QXmlStreamReader xml(svg);
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    ++parsed.elements[xml.name().toString()];
    if (xml.name() == QLatin1String("svg")) {
      for (const char* key : {"width", "height", "viewBox"})
        parsed.size << xml.attributes().value(key).toString();
    } else if (xml.name() == QLatin1String("text")) {
      parsed.texts << xml.readElementText().trimmed();
    } else if (xml.name() == QLatin1String("title")) {
      parsed.title = xml.readElementText();
    }
  }
  if (xml.hasError()) parsed.error = xml.errorString();
  return parsed;
}

// Painted at 10 pixels per unit with the origin in the middle.
template <typename Paint>
QByteArray paint_svg(Paint&& paint) {
  const QTransform drawing(10, 0, 0, 10, 50, 40);
  SvgDevice device(QSize(100, 80), drawing, 6);
  device.set_title("a <title> & more\x01");
  QPainter painter(&device);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setTransform(drawing);
  paint(painter);
  painter.end();
  return device.svg();
}

// Shapes that share pen, brush and clip share a group whatever the painter
// saves and restores; numbers are short and exact to the decimals asked.
TEST(SvgWriter, OneGroupPerStyleAndCompactNumbers) {
  const QByteArray svg = paint_svg([](QPainter& painter) {
    const QPen thin(QColor(255, 0, 0), 0.25);
    painter.setPen(thin);
    painter.drawLine(QPointF(0.1234567, -0.5), QPointF(2, 0));
    painter.save();
    painter.restore();
    painter.drawLine(QPointF(-1, -1), QPointF(1, 1));
    painter.save();
    painter.setBrush(QColor(0, 0x84, 0x84));
    painter.drawRect(QRectF(-2, -1, 4, 2));
    // A clip of the whole picture is left out; a smaller one is written.
    painter.setClipRect(QRectF(-10, -10, 20, 20));
    painter.drawEllipse(QPointF(0, 0), 1.5, 1.5);
    painter.setClipRect(QRectF(-1, -1, 2, 2), Qt::IntersectClip);
    painter.drawEllipse(QPointF(0, 0), 1.5, 1.5);
    painter.restore();
    painter.drawLine(QPointF(3, 3), QPointF(4, 3));
    // A dashed pen is drawn as the outline Qt strokes.
    painter.setPen(QPen(Qt::red, 0.25, Qt::DashLine));
    painter.drawLine(QPointF(-4, 3), QPointF(4, 3));
  });
  Parsed parsed = parse(svg);
  ASSERT_EQ(parsed.error, "") << svg.toStdString();
  EXPECT_EQ(parsed.elements["g"], 1 + 5) << svg.toStdString();
  EXPECT_EQ(parsed.elements["clipPath"], 1);
  for (const char* part :
       {"<title>a &lt;title&gt; &amp; more</title>", "version=\"1.1\"",
        "<g transform=\"matrix(10 0 0 10 50 40)\">",
        "<g fill=\"none\" stroke=\"#f00\" stroke-width=\".25\"",
        "<path d=\"M.123457-.5 2 0\"/>", "<path d=\"M-1-1 1 1\"/>",
        "<circle cx=\"0\" cy=\"0\" r=\"1.5\"/>", "clip-path=\"url(#c1)\"",
        "<rect x=\"-2\" y=\"-1\" width=\"4\" height=\"2\"/>",
        "<g fill=\"#f00\">\n<path d=\"M"})
    EXPECT_TRUE(svg.contains(part)) << part << '\n' << svg.toStdString();
}

// Rounded half away from zero at the decimals asked, carrying into the whole
// part; no trailing zeros, no leading zero, no sign on a zero.
TEST(SvgNumbers, AreShortestFixedForEveryCountOfDecimals) {
  const struct {
    double value;
    int decimals;
    const char* text;
  } cases[] = {{0.1234567, 6, ".123457"},
               {-0.5, 6, "-.5"},
               {22.5, 6, "22.5"},
               {-18.095238, 6, "-18.095238"},
               {9.9999996, 6, "10"},
               {-0.0000004, 6, "0"},
               {0.000001, 6, ".000001"},
               {1234567.25, 1, "1234567.3"},
               {2.5, 0, "3"},
               {0.046, 1, "0"},
               {1e-7, 9, ".0000001"},
               {123.456, 12, "123.456"},
               {-7.25, 15, "-7.25"},
               {2e15, 6, "2e+15"}};
  for (const auto& c : cases) {
    svg::Text text;
    svg::append_number(text, c.value, c.decimals);
    EXPECT_EQ(text.view(), c.text) << c.value << " at " << c.decimals;
  }
}

// Files made to break the viewer that still draw: the SVG stays valid XML
// with finite numbers, however absurd the geometry.
TEST(SvgWriter, HostileFilesGiveValidDocuments) {
  QTemporaryDir temp;
  FootprintRenderer renderer(RenderStyle{{200, 150}});
  int drawn = 0;
  for (const test::HostileFile& hostile : test::hostile_files()) {
    if (hostile.shown == test::kShowsCover) continue;
    SCOPED_TRACE(hostile.name);
    const QString path =
        temp.filePath(QString::fromStdString(hostile.file_name));
    ASSERT_TRUE(test::write_file(path.toStdString(), hostile.bytes()));
    try {
      renderer.load(path, *zwidget::zcvpcb::format_for_path(path));
    } catch (const std::exception&) {
      continue;
    }
    const QByteArray svg = renderer.svg(renderer.footprint_name());
    EXPECT_EQ(parse(svg).error, "");
    EXPECT_FALSE(svg.contains("nan") || svg.contains("inf"));
    ++drawn;
  }
  EXPECT_GT(drawn, 5);
}

// Both writers from the command line give valid XML of the drawing, the pad
// numbers shaped as paths. A footprint named like markup, with control
// characters in its name and pad number, gives the drawing's elements alone,
// the name as the title's text.
TEST(SvgFormats, GiveValidXmlWithTheDrawingAndEscapedNames) {
  QTemporaryDir temp;
  const QString name = "<script>alert(1)</script>";
  const QString path = temp.filePath("script.kicad_mod");
  ASSERT_TRUE(test::write_file(
      path.toStdString(),
      "(footprint \"" + name.toStdString() +
          "\x02\" (layer F.Cu) (descr \"a & b\")\n"
          " (fp_line (start 0 0) (end 2 1) (layer F.SilkS) (width 0.1))\n"
          " (pad \"1\x01<b>\" smd rect (at 0 0) (size 1 1) (layers F.Cu)))\n"));
  const std::set<QString> drawing = {
      "svg",     "title", "desc",   "defs",    "g",    "path", "polyline",
      "polygon", "rect",  "circle", "ellipse", "text", "use",  "clipPath"};
  const auto svg_of = [&temp](const char* name) {
    return QByteArray::fromStdString(
        test::read_file(temp.filePath(name).toStdString()));
  };
  for (const char* format : {"svg", "qt-svg"}) {
    SCOPED_TRACE(format);
    std::ostringstream out, err;
    const QString sot =
        QString::fromStdString(test::real_file("kicad5/SOT23-5.kicad_mod"));
    ASSERT_EQ(run({"padscope-render", sot, path, "-o", temp.path(), "-f",
                   format, "-s", "400x300"},
                  out, err, false),
              0);
    Parsed drawn = parse(svg_of("SOT23-5.svg"));
    ASSERT_EQ(drawn.error, "");
    EXPECT_EQ(drawn.size, (QStringList{"400", "300", "0 0 400 300"}));
    // Five pads with their numbers, four lines and two stroke texts.
    EXPECT_EQ(drawn.texts, QStringList());
    EXPECT_GT(drawn.elements["path"] + drawn.elements["polyline"],
              5 + 5 + 4 + 2);
    const QByteArray svg = svg_of("script.svg");
    Parsed parsed = parse(svg);
    ASSERT_EQ(parsed.error, "") << svg.left(400).toStdString();
    for (const auto& [element, count] : parsed.elements)
      EXPECT_TRUE(drawing.count(element)) << element.toStdString();
    EXPECT_EQ(parsed.title, name);
  }
}

QString rsvg_convert() {
  return QStandardPaths::findExecutable("rsvg-convert");
}

// A file and the module of it to draw.
using Footprint = std::pair<const char*, const char*>;

class SvgRaster : public testing::TestWithParam<Footprint> {};

// Drawn by rsvg-convert, the SVG of a real footprint is the PNG of it but
// for antialiasing and glyph hinting: few pixels differ by more than a
// quarter of the range. A shape drawn wrongly or left out shows above that.
TEST_P(SvgRaster, MatchesThePng) {
  const auto& [name, module] = GetParam();
  const QString file = QString::fromStdString(test::real_file(name));
  if (!QFile::exists(file)) PADSCOPE_REQUIRE_SHARED_TESTDATA();
  ASSERT_FALSE(rsvg_convert().isEmpty())
      << "rsvg-convert not found: scripts/install-deps installs "
         "librsvg2-bin";
  FootprintRenderer renderer(RenderStyle{{400, 300}});
  renderer.load(file, *zwidget::zcvpcb::format_for_path(file));
  for (int i = 1; renderer.footprint_name() != module; ++i)
    renderer.show_module(i);
  const QByteArray svg = renderer.svg(renderer.footprint_name());
  ASSERT_EQ(parse(svg).error, "");

  QTemporaryDir temp;
  ASSERT_TRUE(test::write_file(temp.filePath("f.svg").toStdString(),
                               svg.toStdString()));
  ASSERT_EQ(QProcess::execute(rsvg_convert(), {"-o", temp.filePath("f.png"),
                                               temp.filePath("f.svg")}),
            0);
  const QImage drawn =
      QImage(temp.filePath("f.png")).convertToFormat(QImage::Format_ARGB32);
  const QImage expected =
      renderer.image().convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(drawn.size(), expected.size());
  int off = 0;
  for (int y = 0; y < drawn.height(); ++y)
    for (int x = 0; x < drawn.width(); ++x) {
      const QRgb a = drawn.pixel(x, y), e = expected.pixel(x, y);
      off += std::max({std::abs(qRed(a) - qRed(e)),
                       std::abs(qGreen(a) - qGreen(e)),
                       std::abs(qBlue(a) - qBlue(e))}) > 64;
    }
  EXPECT_LT(off, drawn.width() * drawn.height() / 100);
}

INSTANTIATE_TEST_SUITE_P(
    SharedFiles, SvgRaster,
    testing::Values(
        // Drilled pads and their numbers; numbers clipped to small pads; a
        // pad with thermal vias clipped around its holes; arcs whose pen is
        // wider than their bend; a logo of polygons.
        Footprint{"kicad6/DIP-8_W7.62mm.kicad_mod", "DIP-8_W7.62mm"},
        Footprint{"kicad5/SOT23-5.kicad_mod", "SOT23-5"},
        Footprint{"kicad5/"
                  "VQFN-16-1EP_3x3mm_P0.5mm_EP1.1x1.1mm_ThermalVias.kicad_mod",
                  "VQFN-16-1EP_3x3mm_P0.5mm_EP1.1x1.1mm_ThermalVias"},
        Footprint{"legacy/freetronics_kicad_pcb_lib.mod", "SJ_SHORTED"},
        Footprint{"legacy/Logo.mod", "Logo_31x31"}));

}  // namespace
}  // namespace padscope::render
