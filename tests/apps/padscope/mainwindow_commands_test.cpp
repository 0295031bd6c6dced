#include "apps/padscope/dialogs.h"
#include "apps/padscope/mainwindow.h"
#include "support/modal.h"
#include "support/qt_printers.h"
#include "support/temp_settings.h"
#include "support/test_data.h"
#include "zwidget/zviewer/canvas_variants.h"
#include "zwidget/zviewer/module/legacy_module_property.h"
#include "zwidget/zviewer/module/no_obj_property.h"
#include "zwidget/zviewer/module/pretty_module_property.h"
#include "zwidget/zviewer/zscene.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QGraphicsSceneMouseEvent>
#include <QLabel>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

using padscope::test::TempSettings;
using zwidget::zcvpcb::HtmlProperty;
using zwidget::zcvpcb::ZObjCanvas;
using zwidget::zcvpcb::ZSceneBase;

QString shared(const QString& relative) {
  return QDir(QString::fromStdString(padscope::test::shared_testdata_dir()))
      .filePath(relative);
}

template <typename T>
void when_shown(std::function<void(T*)> act) {
  padscope::test::answer_modal<T>(std::move(act));
}

class MainWindowCommands : public testing::Test {
protected:
  void SetUp() override { window = std::make_unique<MainWindow>(); }

  QAction* action(const char* name) const {
    return window->findChild<QAction*>(name);
  }
  void trigger(const char* name) const { action(name)->trigger(); }

  ZObjCanvas* canvas() const { return window->findChild<ZObjCanvas*>(); }
  HtmlProperty* panel() const { return window->findChild<HtmlProperty*>(); }
  bool shows_cover() const {
    return static_cast<ZSceneBase*>(canvas()->scene())->is_cover();
  }
  QString page() const {
    return panel()->findChild<QTextBrowser*>("textBrowser")->toPlainText();
  }
  QString status(int index) const {
    QList<QLabel*> labels;
    for (QLabel* label : window->statusBar()->findChildren<QLabel*>()) {
      if (label->minimumWidth() == 70 && label->maximumWidth() == 70)
        labels << label;
    }
    return labels.value(index) ? labels[index]->text() : QString("<none>");
  }

  // Opens a file through the open command, its dialog answered with the
  // given filter selected.
  void open(const QString& path,
            const QString& filter = "Modules Files (*.kicad_mod)") {
    when_shown<QFileDialog>([path, filter](QFileDialog* dialog) {
      dialog->selectNameFilter(filter);
      dialog->setDirectory(QFileInfo(path).path());
      padscope::test::choose_file(dialog, path);
      static_cast<QDialog*>(dialog)->accept();
    });
    trigger("actionOpen");
  }

  TempSettings settings;
  std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowCommands, FirstStartShowsThePanelAndStoresTheChoice) {
  EXPECT_TRUE(action("actionProperty")->isChecked());
  EXPECT_FALSE(panel()->isHidden());
  EXPECT_EQ(QSettings().value("mainwindow.splitter.hide"), QVariant(false));
  EXPECT_EQ(window->windowTitle(), "MainWindow");
  EXPECT_NE(dynamic_cast<zwidget::zcvpcb::NoObjProperty*>(panel()), nullptr);
  EXPECT_NE(dynamic_cast<zwidget::zcvpcb::NoObjCanvas*>(canvas()), nullptr);
  EXPECT_TRUE(shows_cover());
}

TEST_F(MainWindowCommands, StoredHideStartsWithThePanelHidden) {
  window.reset();
  QSettings().setValue("mainwindow.splitter.hide", true);
  window = std::make_unique<MainWindow>();
  EXPECT_FALSE(action("actionProperty")->isChecked());
  EXPECT_TRUE(panel()->isHidden());
  trigger("actionProperty");  // checks it again
  EXPECT_FALSE(panel()->isHidden());
  EXPECT_EQ(QSettings().value("mainwindow.splitter.hide"), QVariant(false));
}

TEST_F(MainWindowCommands, SplitterSizesStartInProportionAndComeBack) {
  window->resize(1300, 700);
  window->show();
  auto* splitter = qobject_cast<QSplitter*>(window->centralWidget());
  const QList<int> sizes = splitter->sizes();
  ASSERT_EQ(sizes.size(), 2);
  // 30:100, as Qt scales the stored proportion to the width at hand.
  EXPECT_NEAR(static_cast<double>(sizes[0]) / sizes[1], 0.3, 0.05);

  splitter->setSizes({500, 700});
  const QList<int> chosen = splitter->sizes();
  window.reset();
  // The stored state wins; the two width keys are not consulted.
  QSettings().setValue("mainwindow.splitter.0", 10);
  QSettings().setValue("mainwindow.splitter.1", 1000);
  window = std::make_unique<MainWindow>();
  window->resize(1300, 700);
  window->show();
  EXPECT_EQ(qobject_cast<QSplitter*>(window->centralWidget())->sizes(), chosen);
}

TEST_F(MainWindowCommands, WidthKeysApplyWithoutAStoredState) {
  window.reset();  // stores its state on the way out
  QSettings().remove("mainwindow.splitter");
  QSettings().setValue("mainwindow.splitter.0", 100);
  QSettings().setValue("mainwindow.splitter.1", 100);
  window = std::make_unique<MainWindow>();
  window->resize(1000, 700);
  window->show();
  const QList<int> sizes =
      qobject_cast<QSplitter*>(window->centralWidget())->sizes();
  ASSERT_EQ(sizes.size(), 2);
  EXPECT_NEAR(static_cast<double>(sizes[0]) / sizes[1], 1.0, 0.05);
}

TEST_F(MainWindowCommands, NextBeforeAnyFileShowsTheCoverWithAnEmptyTitle) {
  trigger("actionNext");
  EXPECT_EQ(window->windowTitle(), "");
  EXPECT_TRUE(shows_cover());
  EXPECT_NE(dynamic_cast<zwidget::zcvpcb::NoObjProperty*>(panel()), nullptr);
  trigger("actionPrevious");
  EXPECT_TRUE(shows_cover());
}

TEST_F(MainWindowCommands, OpensARealFootprintAndShowsItsPage) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  const QString path = shared("kicad6/DIP-8_W7.62mm.kicad_mod");
  open(path);
  EXPECT_EQ(window->windowTitle(), path);
  EXPECT_NE(dynamic_cast<zwidget::zcvpcb::PrettyModuleCanvas*>(canvas()),
            nullptr);
  EXPECT_NE(dynamic_cast<zwidget::zcvpcb::PrettyModuleProperty*>(panel()),
            nullptr);
  EXPECT_FALSE(shows_cover());
  // 8 pads, 14 lines, 1 arc; the reference, the value and a user text.
  EXPECT_EQ(canvas()->scene()->items().size(), 8 + 14 + 1 + 3);
  EXPECT_TRUE(page().contains("Name:DIP-8_W7.62mm")) << page().toStdString();
}

TEST_F(MainWindowCommands, SelectedFilterChoosesTheParser) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  // A legacy file read as a `.kicad_mod` file fails: the cover scene.
  const QString path = shared("legacy/standard.mod");
  open(path);
  EXPECT_NE(dynamic_cast<zwidget::zcvpcb::PrettyModuleCanvas*>(canvas()),
            nullptr);
  EXPECT_TRUE(shows_cover());
  EXPECT_EQ(window->windowTitle(), path);

  open(path, "Legacy modules Files (*.mod)");
  EXPECT_NE(dynamic_cast<zwidget::zcvpcb::LegacyModuleCanvas*>(canvas()),
            nullptr);
  EXPECT_NE(dynamic_cast<zwidget::zcvpcb::LegacyModuleProperty*>(panel()),
            nullptr);
  EXPECT_FALSE(shows_cover());
}

TEST_F(MainWindowCommands, CancelledOpenChangesNothing) {
  when_shown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
  trigger("actionOpen");
  EXPECT_EQ(window->windowTitle(), "MainWindow");
  EXPECT_TRUE(shows_cover());
}

class MainWindowInFolder : public MainWindowCommands {
protected:
  void SetUp() override {
    MainWindowCommands::SetUp();
    ASSERT_TRUE(folder.isValid());
  }

  QString add(const QString& source, const QString& name) {
    const QString target = QDir(folder.path()).filePath(name);
    QDir().mkpath(QFileInfo(target).path());
    EXPECT_TRUE(QFile::copy(source, target)) << name.toStdString();
    return target;
  }

  QString write(const QString& name, const QByteArray& bytes) {
    const QString target = QDir(folder.path()).filePath(name);
    QDir().mkpath(QFileInfo(target).path());
    QFile file(target);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return target;
  }

  QTemporaryDir folder;
};

TEST_F(MainWindowInFolder, NextAndPreviousStepThroughTheFolder) {
  const QString local =
      QString::fromStdString(padscope::test::local_testdata_dir());
  const QString a = add(local + "/Battery_CR1225.kicad_mod", "a.kicad_mod");
  const QString b = write("b.kicad_mod", "(module broken (fp_line");
  const QString c = add(local + "/Battery_CR1225.kicad_mod", "c.kicad_mod");
  open(a);
  EXPECT_FALSE(shows_cover());

  trigger("actionNext");
  EXPECT_EQ(window->windowTitle(), b);
  EXPECT_TRUE(shows_cover());  // it does not parse; the title stays
  EXPECT_NE(dynamic_cast<zwidget::zcvpcb::PrettyModuleCanvas*>(canvas()),
            nullptr);

  trigger("actionNext");
  EXPECT_EQ(window->windowTitle(), c);
  EXPECT_FALSE(shows_cover());
  trigger("actionNext");
  EXPECT_EQ(window->windowTitle(), a);
  trigger("actionPrevious");
  EXPECT_EQ(window->windowTitle(), c);
}

TEST_F(MainWindowInFolder, UpAndDownStepBetweenLibraries) {
  const QString local =
      QString::fromStdString(padscope::test::local_testdata_dir());
  const QString first =
      add(local + "/Battery_CR1225.kicad_mod", "A.pretty/z.kicad_mod");
  const QString second =
      add(local + "/Battery_CR1225.kicad_mod", "b.pretty/m.kicad_mod");
  add(local + "/Battery_CR1225.kicad_mod", "A.pretty/b.kicad_mod");
  open(first);
  trigger("actionDown");
  EXPECT_EQ(window->windowTitle(), second);
  EXPECT_FALSE(shows_cover());
  trigger("actionDown");  // wraps around to the first file of A.pretty
  EXPECT_EQ(window->windowTitle(),
            QDir(folder.path()).filePath("A.pretty/b.kicad_mod"));
  trigger("actionUp");
  EXPECT_EQ(window->windowTitle(), second);
}

TEST_F(MainWindowInFolder, NextWalksTheModulesOfALibraryThenTheNextFile) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  const QString library = add(shared("legacy/standard.mod"), "a.mod");
  const QString after = add(shared("legacy/valves.mod"), "b.mod");
  open(library, "Legacy modules Files (*.mod)");
  ASSERT_EQ(canvas()->module_count(), 12);
  EXPECT_EQ(window->windowTitle(), library + QString::fromUtf8(" \u2014 ") +
                                       canvas()->module_name() + " (1/12)");
  const QString first_module = canvas()->module_name();
  trigger("actionNext");
  EXPECT_EQ(canvas()->module_index(), 1);
  EXPECT_TRUE(window->windowTitle().endsWith("(2/12)"));
  trigger("actionPrevious");
  EXPECT_EQ(canvas()->module_name(), first_module);
  // From the first module back to the last module of the previous file.
  trigger("actionPrevious");
  EXPECT_TRUE(window->windowTitle().startsWith(after));
  EXPECT_TRUE(window->windowTitle().endsWith("(9/9)"));
  trigger("actionNext");  // past the last module: the next file, wrapped
  EXPECT_TRUE(window->windowTitle().startsWith(library));
  EXPECT_TRUE(window->windowTitle().endsWith("(1/12)"));
}

TEST_F(MainWindowCommands, ZoomAndRotationReachTheCanvas) {
  ZObjCanvas* view = canvas();
  trigger("action_scale_plus");
  EXPECT_DOUBLE_EQ(view->current_scale, 1.1);
  trigger("action_scale_plus");
  EXPECT_DOUBLE_EQ(view->current_scale, 1.1 * 1.1);
  trigger("action_scale_munus");
  trigger("action_scale_munus");
  EXPECT_NEAR(view->current_scale, 1.0, 1e-12);

  trigger("action_90");
  trigger("action_90");
  trigger("action_90");
  EXPECT_DOUBLE_EQ(view->angle, 270);
  trigger("action_91");
  EXPECT_DOUBLE_EQ(view->angle, 180);
  trigger("action_180");
  EXPECT_DOUBLE_EQ(view->angle, 360);
  trigger("action_scale_plus");
  trigger("actionOriginal");
  EXPECT_DOUBLE_EQ(view->angle, 0);
  EXPECT_DOUBLE_EQ(view->current_scale, 1.1);
}

TEST_F(MainWindowCommands, FitUnrotatesTheLoadedView) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  window->resize(900, 700);
  window->show();
  open(shared("kicad6/DIP-8_W7.62mm.kicad_mod"));
  trigger("action_90");
  trigger("action_scale_plus");
  const double zoomed = canvas()->current_scale;
  trigger("action_scale_fill");
  EXPECT_DOUBLE_EQ(canvas()->angle, 0);
  EXPECT_NEAR(canvas()->current_scale * 1.1, zoomed, zoomed * 0.05);
}

TEST_F(MainWindowCommands, RotateDialogRotatesByTheAngleEntered) {
  struct Entry {
    double value;
    QLocale locale;
    double expected;
  };
  const Entry entries[] = {{45, QLocale::c(), 45},
                           {-30, QLocale::c(), -30},
                           {12.25, QLocale::c(), 12.25},
                           // The number ends at the comma.
                           {12.5, QLocale(QLocale::German), 12}};
  double expected_angle = 0;
  for (const Entry& entry : entries) {
    SCOPED_TRACE(entry.value);
    when_shown<RotateAnyDlg>([entry](RotateAnyDlg* dialog) {
      auto* spin = dialog->findChild<QDoubleSpinBox*>("lineEdit");
      spin->setLocale(entry.locale);
      spin->setValue(entry.value);
      dialog->accept();
    });
    trigger("actionAny");
    expected_angle += entry.expected;
    EXPECT_DOUBLE_EQ(canvas()->angle, expected_angle);
  }
  when_shown<RotateAnyDlg>([](RotateAnyDlg* dialog) {
    dialog->findChild<QDoubleSpinBox*>("lineEdit")->setValue(90);
    dialog->reject();
  });
  trigger("actionAny");
  EXPECT_DOUBLE_EQ(canvas()->angle, expected_angle);
}

TEST_F(MainWindowCommands, RotateDialogClampsToAFullTurn) {
  RotateAnyDlg dialog;
  auto* spin = dialog.findChild<QDoubleSpinBox*>("lineEdit");
  spin->setValue(500);
  EXPECT_DOUBLE_EQ(dialog.angle(), 360);
  EXPECT_EQ(dialog.windowTitle(), "Rotate");
}

TEST_F(MainWindowCommands, MouseMoveReportsThePositionInTheStatusBar) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  open(shared("kicad6/DIP-8_W7.62mm.kicad_mod"));
  QGraphicsSceneMouseEvent move(QEvent::GraphicsSceneMouseMove);
  move.setScenePos(QPointF(1.5, -2.25));
  QApplication::sendEvent(canvas()->scene(), &move);
  EXPECT_EQ(status(0), "X=1.50000");
  EXPECT_EQ(status(1), "Y=-2.25000");
  EXPECT_EQ(status(2), "X=0.00000");
  EXPECT_EQ(status(3), "Y=0.00000");
}

TEST_F(MainWindowCommands, HiddenPanelStaysHiddenAcrossLoads) {
  trigger("actionProperty");
  EXPECT_TRUE(panel()->isHidden());
  EXPECT_EQ(QSettings().value("mainwindow.splitter.hide"), QVariant(true));
  trigger("actionNext");
  EXPECT_TRUE(panel()->isHidden());
  trigger("actionProperty");
  EXPECT_FALSE(panel()->isHidden());
}

TEST_F(MainWindowCommands, AboutNamesTheProgramAndTheFonts) {
  AboutDlg about;
  const QString text = about.findChild<QTextEdit*>("textEdit")->toPlainText();
  EXPECT_TRUE(text.contains("Padscope"));
  EXPECT_TRUE(text.contains("Dr. A. V. Hershey"));
  EXPECT_TRUE(text.contains("James Hurt"));
}

}  // namespace
