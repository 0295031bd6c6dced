#include "hersheyfont/hershey_font_exception.h"
#include "support/hostile_files.h"
#include "support/test_data.h"
#include "zcore/model_exception.h"
#include "zwidget/zviewer/footprint_formats.h"
#include "zwidget/zviewer/obj_canvas.h"
#include "zwidget/zviewer/viewer_test_support.h"
#include "zwidget/zviewer/zmessage_exception.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <atomic>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace zwidget::zcvpcb {
namespace {

using padscope::test::HostileFile;

// A canvas of `size` that reads the file `name` as the main window would.
struct Window : test::ShownCanvas {
  Window(const std::string& name, const QSize& size)
      : ShownCanvas(format_for_path(QString::fromStdString(name))->parser,
                    size) {}

  // Loads, showing the cover on a documented failure, and paints the view.
  template <typename Load>
  void show(Load&& load) {
    test::CoutCapture quiet;
    failure.clear();
    const auto fail = [&](const char* what) {
      failure = std::string("failed: ") + what;
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
    image = QImage(canvas.viewport()->size(), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    painter.setRenderHints(canvas.renderHints() & hints);
    canvas.render(&painter);
  }
  void show_bytes(const std::string& bytes) {
    show([&] { load_bytes(bytes); });
  }
  // The cover's blue cross in the middle, thinned by the old zoom perhaps.
  bool shows_cross() const {
    const QColor middle = image.pixelColor(image.rect().center());
    return middle.red() == 0 && middle.green() == 0 && middle.blue() > 0;
  }

  // Of the view's own, antialiased as shown; slow for some files.
  QPainter::RenderHints hints;
  std::string failure;  // empty when the file was read and drawn
  QImage image;
};

class CrashSweep : public testing::TestWithParam<const char*> {};

// Every prefix and suffix at 64 cut points shows the footprint or the cover;
// a library is also stepped to its last module.
TEST_P(CrashSweep, EveryPrefixAndSuffixReadsOrShowsTheCover) {
  const std::string name = GetParam();
  const bool committed = name.rfind("committed/", 0) == 0;
  const std::string path =
      committed ? padscope::test::local_testdata_dir() + name.substr(9)
                : padscope::test::real_file(name);
  if (!std::filesystem::exists(path)) PADSCOPE_REQUIRE_SHARED_TESTDATA();
  const std::string bytes = padscope::test::read_file(path);
  Window window(name, {160, 120});
  for (int i = 0; i <= 64; ++i) {
    const std::size_t cut = bytes.size() * i / 64;
    for (const std::string& part : {bytes.substr(0, cut), bytes.substr(cut)}) {
      SCOPED_TRACE(testing::Message()
                   << "cut " << cut << ", part of " << part.size() << " bytes");
      window.show_bytes(part);
      EXPECT_EQ(window.is_cover(), !window.failure.empty()) << window.failure;
      if (window.is_cover()) {
        EXPECT_TRUE(window.shows_cross());
      } else if (window.canvas.module_count() > 1) {
        const bool shown =
            window.canvas.show_module(window.canvas.module_count() - 1);
        EXPECT_EQ(window.is_cover(), !shown);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, CrashSweep,
    testing::Values(
        "committed/Battery_CR1225.kicad_mod",
        "kicad6/SolderJumper-2_P1.3mm_Open_RoundedPad1.0x1.5mm.kicad_mod",
        "kicad6/USB_C_Receptacle_CNCTech_C-ARA1-AK51X.kicad_mod",
        "kicad5/SOT23-5.kicad_mod",
        "kicad5/VQFN-16-1EP_3x3mm_P0.5mm_EP1.1x1.1mm_ThermalVias.kicad_mod",
        "committed/w_pth_resistors.mod", "legacy/standard.mod",
        "legacy/Footprints.mod"),
    [](const testing::TestParamInfo<const char*>& info) {
      const std::string path = info.param;
      std::string name;
      for (char c : path.substr(0, path.rfind('.')))
        if (std::isalnum(static_cast<unsigned char>(c))) name += c;
      return name;
    });

// The present resident size of this process, in KiB.
long resident_kib() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

class HostileFileShown : public testing::TestWithParam<HostileFile> {};

// Each file loads to the cover scene or a correct drawing, fitted finitely.
TEST_P(HostileFileShown, AsTheCoverOrACorrectDrawing) {
  const HostileFile& hostile = GetParam();
  const long before = padscope::test::peak_kib();
  QTemporaryDir dir;
  const QString path = dir.filePath(QString::fromStdString(hostile.file_name));
  ASSERT_TRUE(padscope::test::write_file(path.toStdString(), hostile.bytes()));
  Window window(hostile.file_name, {900, 700});
  const auto start = std::chrono::steady_clock::now();
  window.show([&] { window.canvas.load(path); });
  const std::chrono::duration<double> took =
      std::chrono::steady_clock::now() - start;
  if (hostile.seconds > 0) {
    EXPECT_LT(took.count(), hostile.seconds);
  }
  if (hostile.shown == padscope::test::kShowsCover) {
    EXPECT_TRUE(window.is_cover());
    EXPECT_TRUE(window.shows_cross());
  } else {
    ASSERT_FALSE(window.is_cover()) << window.failure;
    // Oldest first: the order the loader added them in.
    EXPECT_EQ(test::kinds(window.canvas.scene()->items(Qt::AscendingOrder)),
              hostile.shown);
    EXPECT_EQ(static_cast<ZScene*>(window.canvas.scene())
                  ->scene_loader()
                  ->not_drawn(),
              hostile.not_drawn);
    const QTransform& fit = window.canvas.transform();
    EXPECT_TRUE(std::isfinite(fit.m11() + fit.dx() + fit.dy()));
    EXPECT_GT(window.canvas.current_scale, 0);
  }
  EXPECT_LT(padscope::test::peak_kib() - before, 1024L * 1024) << "KiB";
}

// A FIFO would block the load, a device never end it, so neither is opened;
// should a FIFO be opened after all, the guard ends the wait with an EOF.
TEST(UnreadableFiles, FailTheLoadBeforeAnyRead) {
  QTemporaryDir dir;
  // The second has no name that tells its format: its bytes would.
  const QStringList fifos{dir.filePath("fifo.kicad_mod"), dir.filePath("fifo")};
  for (const QString& fifo : fifos)
    ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
  ASSERT_TRUE(QFile::link("/dev/zero", dir.filePath("zero.mod")));
  QFile huge(dir.filePath("huge.kicad_mod"));  // sparse: made at once
  ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(257 << 20));
  const std::pair<const char*, const char*> cases[] = {
      {"fifo.kicad_mod", "Not a regular file"},
      {"zero.mod", "Not a regular file"},
      {"huge.kicad_mod", "File too large (more than 256 MiB)"},
  };
  std::atomic<bool> done{false}, blocked{false};
  std::thread guard([&] {
    for (int i = 0; !done; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      for (const QString& fifo : fifos) {
        // Opening for writing succeeds only while a reader waits.
        const int writer = i < 100 ? -1
                                   : ::open(fifo.toLocal8Bit().constData(),
                                            O_WRONLY | O_NONBLOCK);
        if (writer < 0) continue;
        blocked = true;
        ::close(writer);
      }
    }
  });
  EXPECT_EQ(format_for_file(fifos[1]), nullptr);
  for (const auto& [name, reason] : cases) {
    Window window(name, {160, 120});
    const QString path = dir.filePath(name);
    window.show([&] { window.canvas.load(path); });
    EXPECT_EQ(window.failure,
              ("failed: Cannot open " + path + ": " + reason).toStdString());
    EXPECT_TRUE(window.is_cover());
  }
  done = true;
  guard.join();
  EXPECT_FALSE(blocked);
}

// The reader does not keep the 64 MiB it grew for the atom once the event
// loop has turned after the next load.
TEST(BigAtom, ItsMemoryIsGivenBackAfterTheLoad) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "AddressSanitizer keeps freed memory in quarantine";
#endif
  Window window("atom.kicad_mod", {160, 120});
  const long before = resident_kib();
  window.show_bytes("(footprint " + std::string(40 << 20, 'A') + ")");
  window.show_bytes("(footprint small)");
  QApplication::processEvents();
  EXPECT_LT(resident_kib() - before, 24L * 1024) << "KiB";
}

INSTANTIATE_TEST_SUITE_P(Files, HostileFileShown,
                         testing::ValuesIn(padscope::test::hostile_files()),
                         [](const testing::TestParamInfo<HostileFile>& info) {
                           return info.param.name;
                         });

// Qt fills a polygon of a million corners in bands with seams between.
TEST(HugePolygon, KeepsItsWholeFill) {
  std::string corners;
  char corner[64];
  for (int i = 0; i < 1000000; ++i) {
    const double turn = 2 * M_PI * i / 1000000;
    std::snprintf(corner, sizeof corner, "(xy %g %g)", 10 * std::cos(turn),
                  10 * std::sin(turn));
    corners += corner;
  }
  Window window("poly.kicad_mod", {800, 600});
  window.hints = QPainter::Antialiasing;
  window.show_bytes("(footprint P (fp_poly (pts " + corners +
                    ") (layer F.SilkS) (width 0.1) (fill solid)))");
  ASSERT_EQ(window.failure, "");
  const QPoint centre = window.image.rect().center();
  const int radius = window.image.height() / 2;
  int unfilled = 0;
  for (int y = centre.y() - radius * 9 / 10; y < centre.y() + radius * 9 / 10;
       ++y)
    unfilled += window.image.pixel(centre.x(), y) != window.image.pixel(centre);
  EXPECT_EQ(unfilled, 0);
}

// INF, a number of 400 digits, reads as infinity: an element whose geometry
// it reaches is left out, as one beyond a billion units is; clamped angles
// and ratios draw finitely.
TEST(NonFiniteElements, AreLeftOutOrDrawnFinite) {
  const char* const inf = ZSceneLoader::kNonFinite;
  const char* const big = ZSceneLoader::kTooLarge;
  const struct {
    std::string element;
    const char* left_out;  // the kind counted, or null for drawn
  } cases[] = {
      {"(fp_line (start 0 0) (end 1 1) (width INF))", inf},
      {"(fp_circle (center 0 0) (end INF 0) (width 0.1))", inf},
      {"(fp_arc (start 0 0) (end 1 0) (angle INF) (width 0.1))", nullptr},
      {"(fp_arc (start 0 0) (mid INF 1) (end 2 0) (width 0.1))", nullptr},
      {"(fp_poly (pts (xy 0 0) (xy 1 INF) (xy 1 0)) (width 0.1))", inf},
      {"(fp_curve (pts (xy 0 0) (xy 1 1) (xy INF 1) (xy 3 0)))", inf},
      {"(pad 1 smd rect (at 0 INF) (size 1 1))", inf},
      {"(pad 1 smd roundrect (size 1 1) (roundrect_rratio INF))", nullptr},
      {"(pad 1 thru_hole circle (at 0 0) (size 1 1) (drill INF))", nullptr},
      {"(pad 1 thru_hole custom (at 0 0 45) (size 1e300 1e300) (drill 1e300)"
       " (primitives (gr_poly (pts (xy 0 0) (xy 1e300 1e300)) (width 1e300))"
       " (gr_arc (start 0 0) (mid 1e300 1e300) (end 1 -1e300) (width 1e300))"
       " (gr_arc (start 0 0) (end 0 0) (angle 90) (width 0.2))"
       " (gr_line (start 0 0) (end 1e308 1e308) (width 1e308))))",
       big},
      {"(zone (layer F.Cu) (hatch full 0.1) (polygon (pts (xy 0 0) (xy INF 0)"
       " (xy 0 1))))",
       inf},
      {"(fp_text user T (at INF 0))", inf},
      {"(fp_text user T (at 0 0) (effects (font (size 1 1) (thickness INF))))",
       inf},
      {"DS 0 0 INF 0 50 21", inf},
      {"DA 0 0 100 0 INF 50 21", nullptr},
      {"T0 0 0 600 INF 0 120 N V 21 N \"T\"", inf},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.element);
    std::string element = c.element;
    if (element.find("INF") != std::string::npos)
      element.replace(element.find("INF"), 3, std::string(400, '9'));
    const test::Built built(test::footprint_of(element));
    EXPECT_EQ(built.added.size(), c.left_out ? 0u : 1u);
    EXPECT_EQ(built.not_drawn(),
              c.left_out ? (std::map<std::string, int>{{c.left_out, 1}})
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
