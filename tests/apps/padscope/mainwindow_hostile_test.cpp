#include "apps/padscope/mainwindow.h"
#include "support/hostile_files.h"
#include "support/modal.h"
#include "support/temp_settings.h"
#include "support/test_data.h"
#include "zwidget/zviewer/obj_canvas.h"
#include "zwidget/zviewer/zscene.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPixmap>
#include <QTemporaryDir>

#include <cstdio>
#include <string>

namespace {

using padscope::test::HostileFile;
using zwidget::zcvpcb::ZObjCanvas;
using zwidget::zcvpcb::ZSceneBase;

long peak_rss_kb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

class HostileFileInTheWindow : public testing::TestWithParam<HostileFile> {};

// The window steps from a good footprint to the hostile file with Next, as
// a user leafing through a folder would: the canvas and the panel take it,
// and the window, panel included, paints.
TEST_P(HostileFileInTheWindow, ShowsTheCoverOrTheFootprint) {
  const HostileFile& hostile = GetParam();
  const long before = peak_rss_kb();
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QString good = QDir(folder.path()).filePath("a.kicad_mod");
  ASSERT_TRUE(
      QFile::copy(QString::fromStdString(padscope::test::local_testdata_dir() +
                                         "/Battery_CR1225.kicad_mod"),
                  good));
  const QString path =
      QDir(folder.path())
          .filePath(QString::fromStdString("b_" + hostile.file_name));
  {
    const std::string bytes = hostile.bytes();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes.data(), static_cast<qint64>(bytes.size())),
              static_cast<qint64>(bytes.size()));
  }

  padscope::test::TempSettings settings;
  MainWindow window;
  window.resize(900, 700);
  window.show();
  padscope::test::answer_modal<QFileDialog>([good](QFileDialog* dialog) {
    dialog->selectNameFilter("Modules Files (*.kicad_mod)");
    dialog->setDirectory(QFileInfo(good).path());
    padscope::test::choose_file(dialog, good);
    static_cast<QDialog*>(dialog)->accept();
  });
  window.findChild<QAction*>("actionOpen")->trigger();
  ASSERT_EQ(window.windowTitle(), good);

  window.findChild<QAction*>("actionNext")->trigger();
  EXPECT_EQ(window.windowTitle(), path);
  auto* canvas = window.findChild<ZObjCanvas*>();
  ASSERT_NE(canvas, nullptr);
  const bool cover = static_cast<ZSceneBase*>(canvas->scene())->is_cover();
  EXPECT_EQ(cover, hostile.shown == padscope::test::kShowsCover);
  const QPixmap picture = window.grab();
  EXPECT_EQ(picture.size(), window.size());

  const long after = peak_rss_kb();
  std::printf("%s: peak memory %ld MB (grew by %ld MB)\n", hostile.name.c_str(),
              after / 1024, (after - before) / 1024);
  EXPECT_LT(after - before, 1024L * 1024);
}

INSTANTIATE_TEST_SUITE_P(Files, HostileFileInTheWindow,
                         testing::ValuesIn(padscope::test::hostile_files()),
                         [](const testing::TestParamInfo<HostileFile>& info) {
                           return info.param.name;
                         });

}  // namespace
