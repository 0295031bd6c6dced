#include "hersheyfont/hershey_font_exception.h"
#include "support/hostile_files.h"
#include "support/test_data.h"
#include "zcore/model_exception.h"
#include "zwidget/zviewer/obj_canvas.h"
#include "zwidget/zviewer/viewer_test_support.h"
#include "zwidget/zviewer/zmessage_exception.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDataStream>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace zwidget::zcvpcb {
namespace {

using padscope::test::HostileFile;

const char* parser_of(const std::string& path) {
  return path.size() > 4 && path.compare(path.size() - 4, 4, ".mod") == 0
             ? "module_legacy_parser"
             : "module_parser";
}

// What the main window shows after a load: the canvas reads, a documented
// failure leaves the cover scene (any other exception fails the test), and
// the view is painted.
struct WindowView {
  std::string failure;  // empty when the file was read and drawn
  bool cover = false;
  QImage image;

  // The cover's blue cross in the middle, thinned by the old zoom perhaps.
  bool shows_cross() const {
    const QColor middle = image.pixelColor(image.rect().center());
    return middle.red() == 0 && middle.green() == 0 && middle.blue() > 0;
  }
};

template <typename Load>
WindowView show_as_window(ZObjCanvas& canvas, Load&& load) {
  WindowView view;
  test::CoutCapture quiet;
  const auto fail = [&](const char* what) {
    view.failure = std::string("failed: ") + what;
    canvas.reset_cover();
  };
  try {
    load();
  } catch (const zcore::ModelException& e) {
    fail(e.what());
  } catch (const zaux::ZMessageException& e) {
    fail(e.what());
  } catch (const hersheyfont::HersheyFontException& e) {
    fail(e.what());
  } catch (const std::runtime_error& e) {  // std::ios_base::failure too
    fail(e.what());
  }
  view.cover = static_cast<ZSceneBase*>(canvas.scene())->is_cover();
  view.image = QImage(canvas.viewport()->size(), QImage::Format_RGB32);
  view.image.fill(Qt::magenta);
  QPainter painter(&view.image);
  canvas.render(&painter);
  return view;
}

WindowView show_bytes(ZObjCanvas& canvas, const std::string& bytes) {
  const QByteArray data(bytes.data(), static_cast<int>(bytes.size()));
  QDataStream stream(data);
  return show_as_window(canvas, [&] { canvas.load(stream); });
}

class CrashSweep : public testing::TestWithParam<const char*> {};

// Every prefix and suffix at 64 cut points reads or throws a documented
// exception, and the window shows the footprint or the cover scene; a
// library is also stepped to its last module.
TEST_P(CrashSweep, EveryPrefixAndSuffixReadsOrShowsTheCover) {
  const std::string name = GetParam();
  const bool committed = name.rfind("committed/", 0) == 0;
  if (!committed) PADSCOPE_REQUIRE_SHARED_TESTDATA();
  const std::string bytes = padscope::test::read_file(
      committed ? padscope::test::local_testdata_dir() + name.substr(9)
                : padscope::test::shared_testdata_dir() + "/" + name);
  ZObjCanvas canvas(nullptr);
  canvas.parser_name = parser_of(name);
  canvas.resize(160, 120);
  canvas.show();
  for (int i = 0; i <= 64; ++i) {
    const std::size_t cut = bytes.size() * i / 64;
    for (const std::string& part : {bytes.substr(0, cut), bytes.substr(cut)}) {
      SCOPED_TRACE(testing::Message()
                   << "cut " << cut << ", part of " << part.size() << " bytes");
      const WindowView view = show_bytes(canvas, part);
      EXPECT_EQ(view.cover, !view.failure.empty()) << view.failure;
      if (view.cover) {
        EXPECT_TRUE(view.shows_cross());
      } else if (canvas.module_count() > 1) {
        const bool shown = canvas.show_module(canvas.module_count() - 1);
        EXPECT_EQ(static_cast<ZSceneBase*>(canvas.scene())->is_cover(), !shown);
      }
    }
  }
  EXPECT_EQ(show_bytes(canvas, bytes).failure, "");
  EXPECT_FALSE(canvas.scene()->items().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, CrashSweep,
    testing::Values(
        "committed/Battery_CR1225.kicad_mod", "kicad6/DIP-8_W7.62mm.kicad_mod",
        "kicad6/SolderJumper-2_P1.3mm_Open_RoundedPad1.0x1.5mm.kicad_mod",
        "kicad6/USB_C_Receptacle_CNCTech_C-ARA1-AK51X.kicad_mod",
        "kicad6/ESP32-WROOM-32.kicad_mod",
        "kicad6/LQFP-48_7x7mm_P0.5mm.kicad_mod", "kicad5/SOT23-5.kicad_mod",
        "kicad5/SHUNT_THT.kicad_mod", "kicad5/SW_Digitast.kicad_mod",
        "kicad5/BUS_PCIexpress_x1.kicad_mod",
        "kicad5/Relay_SPDT_RAYEX-L90.kicad_mod",
        "kicad5/VQFN-16-1EP_3x3mm_P0.5mm_EP1.1x1.1mm_ThermalVias.kicad_mod",
        "committed/w_pth_resistors.mod", "legacy/standard.mod",
        "legacy/valves.mod", "legacy/ds_footprints.mod",
        "legacy/WirePads_RevA.mod", "legacy/divers.mod"),
    [](const testing::TestParamInfo<const char*>& info) {
      const std::string path = info.param;
      return path.substr(0, path.find('/')) + "_" + test::param_name(path);
    });

long peak_rss_kb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

class HostileFileShown : public testing::TestWithParam<HostileFile> {};

// Each file loads to the cover scene or a correct drawing, and the fitted
// view paints, with the memory peak growing by less than a gigabyte.
TEST_P(HostileFileShown, AsTheCoverOrACorrectDrawing) {
  const HostileFile& hostile = GetParam();
  const long before = peak_rss_kb();
  QTemporaryDir dir;
  const QString path = dir.filePath(QString::fromStdString(hostile.file_name));
  {
    const std::string bytes = hostile.bytes();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes.data(), static_cast<qint64>(bytes.size())),
              static_cast<qint64>(bytes.size()));
  }
  ZObjCanvas canvas(nullptr);
  canvas.parser_name = parser_of(hostile.file_name);
  canvas.resize(900, 700);
  canvas.show();
  const WindowView view = show_as_window(canvas, [&] { canvas.load(path); });
  if (hostile.shown == padscope::test::kShowsCover) {
    EXPECT_TRUE(view.cover);
    EXPECT_TRUE(view.shows_cross());
  } else {
    EXPECT_FALSE(view.cover) << view.failure;
    std::string kinds;  // oldest first: the order the loader added them in
    for (const QGraphicsItem* item : canvas.scene()->items(Qt::AscendingOrder))
      kinds += (kinds.empty() ? "" : " ") + test::kind_of(item);
    EXPECT_EQ(kinds, hostile.shown);
    EXPECT_EQ(static_cast<ZScene*>(canvas.scene())->scene_loader()->not_drawn(),
              hostile.not_drawn);
    const QTransform& fitted = canvas.transform();
    EXPECT_TRUE(std::isfinite(fitted.m11()) && std::isfinite(fitted.dx()) &&
                std::isfinite(fitted.dy()));
    EXPECT_GT(canvas.current_scale, 0);
  }
  const long after = peak_rss_kb();
  RecordProperty("peak_rss_kb", static_cast<int>(after));
  std::printf("%s: peak memory %ld MB (grew by %ld MB)\n", hostile.name.c_str(),
              after / 1024, (after - before) / 1024);
  EXPECT_LT(after - before, 1024L * 1024);
}

INSTANTIATE_TEST_SUITE_P(Files, HostileFileShown,
                         testing::ValuesIn(padscope::test::hostile_files()),
                         [](const testing::TestParamInfo<HostileFile>& info) {
                           return info.param.name;
                         });

// A number of 400 digits reads as infinity. Its element is left out when
// that reaches its geometry; angles and ratios are clamped, and paths drop
// non-finite points, so those draw, finitely. So do numbers whose geometry
// overflows only on the way.
TEST(NonFiniteElements, AreLeftOutOrDrawnFinite) {
  const std::string inf(400, '9');
  const struct {
    std::string element;
    bool left_out;
  } cases[] = {
      {"(fp_line (start 0 0) (end " + inf + " 1) (width 0.1))", true},
      {"(fp_line (start 0 0) (end 1 1) (width " + inf + "))", true},
      {"(fp_circle (center 0 0) (end " + inf + " 0) (width 0.1))", true},
      {"(fp_arc (start 0 0) (end 1 0) (angle " + inf + ") (width 0.1))", false},
      {"(fp_arc (start 0 0) (mid " + inf + " 1) (end 2 0) (width 0.1))", false},
      {"(fp_poly (pts (xy 0 0) (xy 1 " + inf + ") (xy 1 0)) (width 0.1))",
       true},
      {"(fp_rect (start -1e308 0) (end 1e308 1) (fill solid))", true},
      {"(fp_curve (pts (xy 0 0) (xy 1 1) (xy " + inf + " 1) (xy 3 0)))", true},
      {"(pad 1 smd rect (at 0 " + inf + ") (size 1 1))", true},
      {"(pad 1 smd roundrect (size 1 1) (roundrect_rratio " + inf + "))",
       false},
      {"(pad 2 smd roundrect (size 1e308 1e308) (chamfer_ratio 1e308)"
       " (chamfer top_left) (roundrect_rratio 1e308))",
       false},
      {"(pad 1 thru_hole circle (at 0 0) (size 1 1) (drill " + inf + "))",
       false},
      {"(pad 1 smd custom (size 1 1) (primitives (gr_line (start 0 0) (end " +
           inf + " 1) (width 0.1))))",
       false},
      {"(pad 1 thru_hole custom (at 0 0 45) (size 1e300 1e300) (drill 1e300)"
       " (primitives (gr_poly (pts (xy 0 0) (xy 1e300 1e300)) (width 1e300))"
       " (gr_arc (start 0 0) (mid 1e300 1e300) (end 1 -1e300) (width 1e300))"
       " (gr_arc (start 0 0) (end 0 0) (angle 90) (width 0.2))"
       " (gr_line (start 0 0) (end 1e308 1e308) (width 1e308))))",
       false},
      {"(fp_text user T (at " + inf + " 0))", true},
      {"(fp_text user T (at 0 0) (effects (font (size 1 1) (thickness " + inf +
           "))))",
       true},
      {"DS 0 0 " + inf + " 0 50 21", true},
      {"DA 0 0 100 0 " + inf + " 50 21", false},
      {"T0 0 0 600 " + inf + " 0 120 N V 21 N \"T\"", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.element);
    const test::Built built =
        test::build(c.element.front() == '('
                        ? "(footprint X " + c.element + ")"
                        : "$MODULE X\n" + c.element + "\n$EndMODULE X\n");
    EXPECT_EQ(built.added.size(), c.left_out ? 0u : 1u);
    EXPECT_EQ(built.not_drawn(),
              c.left_out
                  ? (std::map<std::string, int>{{ZSceneLoader::kNonFinite, 1}})
                  : (std::map<std::string, int>{}));
    const QRectF bounds = built.scene->itemsBoundingRect();
    EXPECT_TRUE(std::isfinite(bounds.width()) &&
                std::isfinite(bounds.height()));
    QImage image(40, 40, QImage::Format_RGB32);
    QPainter painter(&image);
    test::CoutCapture quiet;
    built.scene->render(&painter, image.rect(), QRectF(-2, -2, 4, 4));
  }
}

}  // namespace
}  // namespace zwidget::zcvpcb
