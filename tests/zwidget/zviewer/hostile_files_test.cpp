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

INSTANTIATE_TEST_SUITE_P(Files, HostileFileShown,
                         testing::ValuesIn(padscope::test::hostile_files()),
                         [](const testing::TestParamInfo<HostileFile>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace zwidget::zcvpcb
