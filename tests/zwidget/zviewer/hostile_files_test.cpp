#include "support/hostile_files.h"

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
#include <map>
#include <string>

namespace zwidget::zcvpcb {
namespace {

using padscope::test::HostileFile;
using padscope::test::kShowsCover;

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

class HostileFileShown : public testing::TestWithParam<HostileFile> {};

// Each file loads to the cover scene or a correct drawing, and the fitted
// view paints, with the memory peak growing by less than a gigabyte.
TEST_P(HostileFileShown, AsTheCoverOrACorrectDrawing) {
  const HostileFile& hostile = GetParam();
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

  if (hostile.shown == kShowsCover) {
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

// Each element carries one number of 400 digits, infinity once read. Its
// item is left out when that reaches its geometry; angles and ratios are
// clamped, and paths drop non-finite points, so those draw, finitely.
TEST(NonFiniteElements, AreLeftOutOrDrawnFinite) {
  const std::string inf(400, '9');
  const struct {
    std::string file;
    bool left_out;
  } cases[] = {
      {"(fp_line (start 0 0) (end " + inf + " 1) (width 0.1))", true},
      {"(fp_line (start 0 0) (end 1 1) (width " + inf + "))", true},
      {"(fp_circle (center 0 0) (end " + inf + " 0) (width 0.1))", true},
      {"(fp_circle (center -" + inf + " 0) (end 1 0) (width 0.1))", true},
      {"(fp_arc (start 0 0) (end 1 0) (angle " + inf + ") (width 0.1))", false},
      {"(fp_arc (start 0 0) (mid " + inf + " 1) (end 2 0) (width 0.1))", false},
      {"(fp_poly (pts (xy 0 0) (xy 1 " + inf + ") (xy 1 0)) (width 0.1))",
       true},
      {"(fp_rect (start 0 0) (end " + inf + " 1) (width 0.1))", true},
      {"(fp_curve (pts (xy 0 0) (xy 1 1) (xy " + inf + " 1) (xy 3 0)))", true},
      {"(pad 1 smd rect (at 0 " + inf + ") (size 1 1))", true},
      {"(pad 1 smd rect (at 0 0) (size " + inf + " 1))", true},
      {"(pad 1 smd roundrect (at 0 0) (size 1 1) (roundrect_rratio " + inf +
           "))",
       false},
      {"(pad 1 thru_hole circle (at 0 0) (size 1 1) (drill " + inf + "))",
       false},
      {"(pad 1 smd custom (at 0 0) (size 1 1) (primitives (gr_line (start 0 "
       "0) (end " +
           inf + " 1) (width 0.1))))",
       false},
      {"(fp_text user T (at " + inf + " 0))", true},
      {"(fp_text user T (at 0 0) (effects (font (size " + inf + " 1))))", true},
      {"(fp_text user T (at 0 0) (effects (font (size 1 1) (thickness " + inf +
           "))))",
       true},
      {"DS 0 0 " + inf + " 0 50 21", true},
      {"DS 0 0 1 1 " + inf + " 21", true},
      {"DC 0 0 " + inf + " 0 50 21", true},
      {"DA 0 0 100 0 " + inf + " 50 21", false},
      {"DA " + inf + " 0 100 0 900 50 21", true},
      {"T0 " + inf + " 0 600 600 0 120 N V 21 N \"T\"", true},
      {"T0 0 0 600 " + inf + " 0 120 N V 21 N \"T\"", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const test::Built built =
        c.file.front() == '('
            ? test::build_pretty("(footprint X " + c.file + ")")
            : test::build_legacy("PCBNEW-LibModule-V1\n$MODULE X\n" + c.file +
                                 "\n$EndMODULE X\n");
    EXPECT_EQ(built.scene->items().size(), c.left_out ? 0 : 1);
    EXPECT_EQ(built.scene->scene_loader()->not_drawn(),
              c.left_out
                  ? (std::map<std::string, int>{{ZSceneLoader::kNonFinite, 1}})
                  : (std::map<std::string, int>{}));
    const QRectF bounds = built.scene->itemsBoundingRect();
    EXPECT_TRUE(std::isfinite(bounds.width()) &&
                std::isfinite(bounds.height()));
  }
}

INSTANTIATE_TEST_SUITE_P(Files, HostileFileShown,
                         testing::ValuesIn(padscope::test::hostile_files()),
                         [](const testing::TestParamInfo<HostileFile>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace zwidget::zcvpcb
