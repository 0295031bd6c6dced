#include "zwidget/zgraph/circle_item.h"
#include "zwidget/zgraph/line_item.h"
#include "zwidget/zgraph/pad_item.h"
#include "zwidget/zgraph/polygon_item.h"
#include "zwidget/zgraph/text_item.h"
#include "zwidget/zviewer/obj_canvas.h"
#include "zwidget/zviewer/window_load.h"
#include "zwidget/zviewer/zscene.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTransform>

#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <ostream>
#include <string>

namespace zwidget::zcvpcb {
namespace {

const char* const kCover = "cover";

// A hostile file, what the window must show for it (the cover scene, or
// the items of a correct drawing by kind), and its name on disk.
struct Hostile {
  std::string name;
  std::string file_name;
  std::function<std::string()> bytes;
  // "cover", or the kinds of the items drawn, such as "line line".
  std::string shown;
  std::map<std::string, int> not_drawn = {};
};

void PrintTo(const Hostile& hostile, std::ostream* out) {
  *out << hostile.name;
}

std::string pretty(const std::string& elements) {
  return "(footprint hostile (layer F.Cu)\n  (fp_line (start 0 0) (end 2 1) "
         "(layer F.SilkS) (width 0.1))\n" +
         elements + ")\n";
}

std::string legacy(const std::string& records) {
  return "PCBNEW-LibModule-V1\n$INDEX\nhostile\n$EndINDEX\n$MODULE hostile\n"
         "Po 0 0 0 15 00000000 00000000 ~~\nLi hostile\n"
         "DS 0 0 1000 500 50 21\n" +
         records + "$EndMODULE hostile\n$EndLIBRARY\n";
}

std::string kinds(const QGraphicsScene& scene) {
  std::string text;
  // Oldest first: the order the loader added them in.
  const QList<QGraphicsItem*> items = scene.items(Qt::AscendingOrder);
  for (const QGraphicsItem* item : items) {
    if (!text.empty()) text += ' ';
    if (dynamic_cast<const zgraph::GraphicsLineItem*>(item))
      text += "line";
    else if (dynamic_cast<const zgraph::GraphicsCircleItem*>(item))
      text += "circle";
    else if (dynamic_cast<const zgraph::GraphicsPolygonItem*>(item))
      text += "polygon";
    else if (dynamic_cast<const zgraph::GraphicsPadItem*>(item))
      text += "pad";
    else if (dynamic_cast<const zgraph::GraphicsTextItem*>(item))
      text += "text";
    else
      text += "other";
  }
  return text;
}

long peak_rss_kb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

class HostileFile : public testing::TestWithParam<Hostile> {};

// Each file loads to the cover scene or a correct drawing, and the fitted
// view paints, with the memory peak growing by less than a gigabyte.
TEST_P(HostileFile, ShowsTheCoverOrACorrectDrawing) {
  const Hostile& hostile = GetParam();
  const long before = peak_rss_kb();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath(QString::fromStdString(hostile.file_name));
  {
    const std::string bytes = hostile.bytes();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes.data(), static_cast<qint64>(bytes.size())),
              static_cast<qint64>(bytes.size()));
  }

  ZObjCanvas canvas(nullptr);
  canvas.parser_name =
      hostile.file_name.size() > 4 &&
              hostile.file_name.substr(hostile.file_name.size() - 4) == ".mod"
          ? "module_legacy_parser"
          : "module_parser";
  canvas.resize(900, 700);
  canvas.show();
  const test::WindowView view = test::show_file(canvas, path);

  if (hostile.shown == kCover) {
    EXPECT_TRUE(view.cover);
    EXPECT_NE(view.failure, "");
    EXPECT_TRUE(test::shows_cross(view.image, view.image.rect().center()));
  } else {
    EXPECT_FALSE(view.cover) << view.failure;
    EXPECT_EQ(kinds(*canvas.scene()), hostile.shown);
    auto* scene = static_cast<ZScene*>(canvas.scene());
    EXPECT_EQ(scene->scene_loader()->not_drawn(), hostile.not_drawn);
    // Fitted to a finite, non-degenerate view.
    const QTransform& fitted = canvas.transform();
    EXPECT_TRUE(std::isfinite(fitted.m11()) && std::isfinite(fitted.m22()) &&
                std::isfinite(fitted.dx()) && std::isfinite(fitted.dy()));
    EXPECT_GT(canvas.current_scale, 0);
  }
  const long after = peak_rss_kb();
  RecordProperty("peak_rss_kb", static_cast<int>(after));
  std::printf("%s: peak memory %ld MB (grew by %ld MB)\n", hostile.name.c_str(),
              after / 1024, (after - before) / 1024);
  EXPECT_LT(after - before, 1024L * 1024);
}

const std::string kDigits400 = std::string(400, '9');

INSTANTIATE_TEST_SUITE_P(
    Files, HostileFile,
    testing::Values(
        Hostile{"MillionOpenParentheses", "nested.kicad_mod",
                [] { return std::string(1000000, '('); }, kCover},
        Hostile{"FiftyMegabyteAtom", "atom.kicad_mod",
                [] {
                  std::string bytes = pretty("");
                  bytes.replace(11, 7, std::string(50 << 20, 'A'));
                  return bytes;
                },
                "line"},
        Hostile{"TextOfFiftyMegabytes",
                "long_text.kicad_mod",
                [] {
                  return pretty("  (fp_text user " +
                                std::string(50 << 20, 'W') +
                                " (at 0 0) (layer F.SilkS))\n");
                },
                "line",
                {{"text too long", 1}}},
        Hostile{"LegacyLineOfOneMegabyte", "line.mod",
                [] {
                  return legacy("DS 0 0 -1000 500 50 21 " +
                                std::string(1 << 20, '7') + "\n");
                },
                kCover},
        Hostile{"PolygonCountTwoToThe31", "polygon.mod",
                [] { return legacy("DP 0 0 0 0 2147483648 50 21\n"); },
                "line polygon"},
        Hostile{"PadOf1e300", "pad.kicad_mod",
                [] {
                  return pretty(
                      "  (pad 1 smd rect (at 0 0) (size 1e300 1e300) "
                      "(layers F.Cu))\n");
                },
                "line pad"},
        Hostile{"NumbersOf400Digits",
                "digits.kicad_mod",
                [] {
                  return pretty("  (fp_line (start 0 0) (end " + kDigits400 +
                                " " + kDigits400 +
                                ") (layer F.SilkS) (width 0.1))\n");
                },
                "line",
                {{"non-finite geometry", 1}}},
        Hostile{"RectangleAcrossTheWholeRange",
                "range.kicad_mod",
                [] {
                  return pretty(
                      "  (fp_rect (start -1e308 -1e308) (end 1e308 1e308) "
                      "(layer F.SilkS) (width 0.1))\n");
                },
                "line",
                {{"non-finite geometry", 1}}},
        Hostile{"CircleOfRadius1e12", "circle.kicad_mod",
                [] {
                  return pretty(
                      "  (fp_circle (center 0 0) (end 1e12 0) "
                      "(layer F.SilkS) (width 0.1))\n");
                },
                "line circle"},
        Hostile{"TextOf100000Characters", "text.kicad_mod",
                [] {
                  return pretty("  (fp_text user \"" +
                                std::string(100000, 'W') +
                                "\" (at 0 0) (layer F.SilkS) "
                                "(effects (font (size 1 1) (thickness "
                                "0.15))))\n");
                },
                "line text"},
        Hostile{"BinaryFile", "binary.kicad_mod",
                [] {
                  std::string bytes(1 << 16, '\0');
                  std::uint32_t state = 12345;
                  for (char& byte : bytes) {
                    state = state * 1103515245 + 12345;
                    byte = static_cast<char>(state >> 24);
                  }
                  return bytes;
                },
                ""}),
    [](const testing::TestParamInfo<Hostile>& info) {
      return info.param.name;
    });

}  // namespace
}  // namespace zwidget::zcvpcb
