#include "apps/padscope/mainwindow.h"

#include "apps/padscope/dialogs.h"
#include "apps/padscope/library_panel.h"
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
#include <QDoubleSpinBox>
#include <QDropEvent>
#include <QGraphicsSceneMouseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QSettings>
#include <QSignalSpy>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTextBrowser>
#include <QTextEdit>
#include <QTreeWidget>

#include <memory>

namespace {

using namespace padscope::test;
using namespace zwidget::zcvpcb;

const QString kPrettyFilter = "Modules Files (*.kicad_mod)";
const QString kLegacyFilter = "Legacy modules Files (*.mod)";

QString shared(const QString& relative) {
  return QString::fromStdString(shared_testdata_dir()) + "/" + relative;
}

QString battery() {
  return QString::fromStdString(local_testdata_dir()) +
         "/Battery_CR1225.kicad_mod";
}

template <typename T>
bool is(const QObject* object) {
  return dynamic_cast<const T*>(object) != nullptr;
}

class MainWindowTest : public testing::Test {
protected:
  void SetUp() override { window = std::make_unique<MainWindow>(); }

  QAction* action(const char* name) const {
    return window->findChild<QAction*>(name);
  }
  void trigger(const char* name) const { action(name)->trigger(); }
  void show(int width) const {
    window->resize(width, 700);
    window->show();
  }
  ZObjCanvas* canvas() const { return window->findChild<ZObjCanvas*>(); }
  HtmlProperty* panel() const { return window->findChild<HtmlProperty*>(); }
  bool shows_cover() const {
    return static_cast<ZSceneBase*>(canvas()->scene())->is_cover();
  }
  double left_to_right() const {
    const QList<int> sizes =
        qobject_cast<QSplitter*>(window->centralWidget())->sizes();
    return sizes.size() == 2 ? static_cast<double>(sizes[0]) / sizes[1] : -1;
  }
  // The four value labels of the status bar, left to right, after the
  // cursor moved to `at` in scene units; each must show its whole text.
  QStringList positions(const QPointF& at) const {
    QGraphicsSceneMouseEvent move(QEvent::GraphicsSceneMouseMove);
    move.setScenePos(at);
    QApplication::sendEvent(canvas()->scene(), &move);
    QStringList texts;
    for (const char* name :
         {"currentX", "currentY", "relativeX", "relativeY"}) {
      auto* label = window->statusBar()->findChild<QLabel*>(name);
      texts << label->text();
      EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()),
                label->contentsRect().width())
          << name;
    }
    return texts;
  }

  void open(const QString& path, const QString& filter = kPrettyFilter) {
    answer_modal<QFileDialog>(
        [=](QFileDialog* dialog) { choose_file(dialog, path, filter); });
    trigger("actionOpen");
  }
  QString put(const QString& name, const std::string& bytes) {
    const QString path = QDir(folder.path()).filePath(name);
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    EXPECT_EQ(file.write(bytes.data(), bytes.size()), qint64(bytes.size()));
    return path;
  }
  QString copy(const QString& from, const QString& name) {
    return put(name, read_file(from.toStdString()));
  }
  QString load_message() const {
    return window->findChild<QLabel*>("loadMessage")->text();
  }
  LibraryPanel* library() const { return window->findChild<LibraryPanel*>(); }
  // The names the library list shows, with the current one in brackets.
  QStringList listed() const {
    QStringList names;
    QListWidget* list = library()->library_list();
    for (int i = 0; i < list->count(); ++i) {
      if (list->item(i)->isHidden()) continue;
      const QString name = list->item(i)->text();
      names << (list->item(i) == list->currentItem() ? "[" + name + "]" : name);
    }
    return names;
  }
  void type(QWidget* target, int key) const {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
  }

  TempSettings settings;
  QTemporaryDir folder;
  std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, StartsWithNothingLoadedAndNextKeepsItSo) {
  EXPECT_EQ(window->windowTitle(), "MainWindow");
  EXPECT_TRUE(is<NoObjCanvas>(canvas()) && is<NoObjProperty>(panel()));
  EXPECT_TRUE(shows_cover());

  answer_modal<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
  trigger("actionOpen");
  EXPECT_EQ(window->windowTitle(), "MainWindow");
  EXPECT_TRUE(shows_cover());

  trigger("actionNext");
  EXPECT_EQ(window->windowTitle(), "");
  EXPECT_TRUE(shows_cover());
  EXPECT_TRUE(is<NoObjProperty>(panel()));
}

TEST_F(MainWindowTest, PanelVisibilityIsStoredAndSurvivesLoads) {
  EXPECT_TRUE(action("actionProperty")->isChecked());
  EXPECT_FALSE(panel()->isHidden());
  EXPECT_EQ(QSettings().value("mainwindow.splitter.hide"), QVariant(false));

  trigger("actionProperty");
  EXPECT_TRUE(panel()->isHidden());
  EXPECT_EQ(QSettings().value("mainwindow.splitter.hide"), QVariant(true));
  trigger("actionNext");
  EXPECT_TRUE(panel()->isHidden());

  window = std::make_unique<MainWindow>();
  EXPECT_FALSE(action("actionProperty")->isChecked());
  EXPECT_TRUE(panel()->isHidden());
  trigger("actionProperty");
  EXPECT_FALSE(panel()->isHidden());
  EXPECT_EQ(QSettings().value("mainwindow.splitter.hide"), QVariant(false));
}

TEST_F(MainWindowTest, SplitterKeepsItsProportionAndTheClosedWindowsState) {
  show(1300);
  EXPECT_NEAR(left_to_right(), 0.3, 0.05);

  auto* splitter = qobject_cast<QSplitter*>(window->centralWidget());
  splitter->setSizes({500, 700});
  const double chosen = left_to_right();
  const QByteArray state = splitter->saveState();
  EXPECT_FALSE(QSettings().contains("mainwindow.splitter"));
  window.reset();
  EXPECT_EQ(QSettings().value("mainwindow.splitter").toByteArray(), state);
  // The stored state wins; the two width keys are not read.
  QSettings().setValue("mainwindow.splitter.0", 10);
  QSettings().setValue("mainwindow.splitter.1", 1000);
  window = std::make_unique<MainWindow>();
  show(1300);
  EXPECT_DOUBLE_EQ(left_to_right(), chosen);

  // Without a stored state the width keys give the proportion.
  window.reset();
  QSettings().remove("mainwindow.splitter");
  QSettings().setValue("mainwindow.splitter.0", 100);
  QSettings().setValue("mainwindow.splitter.1", 100);
  window = std::make_unique<MainWindow>();
  show(1000);
  EXPECT_NEAR(left_to_right(), 1.0, 0.05);
}

// Settings that do not restore are dropped for the defaults, never abort.
TEST_F(MainWindowTest, StoredSplitterThatDoesNotRestoreIsDiscarded) {
  const std::pair<const char*, QVariant> stored[] = {
      // A list claiming 2^31-1 sizes; two panes of 2^31-1 pixels.
      {"mainwindow.splitter", QByteArray::fromHex("000000ff000000017fffffff")},
      {"mainwindow.splitter",
       QByteArray::fromHex("000000ff00000001000000027fffffff7fffffff01ffffffff"
                           "010000000100")},
      {"mainwindow.splitter", QString("wide")},
      {"mainwindow.splitter.0", QString("wide")},
  };
  for (const auto& [key, value] : stored) {
    SCOPED_TRACE(key + (": " + value.toString().toStdString()));
    window.reset();
    QSettings().setValue(key, value);
    window = std::make_unique<MainWindow>();
    EXPECT_FALSE(QSettings().contains(key));
    show(1300);
    EXPECT_NEAR(left_to_right(), 0.3, 0.05);
    window.reset();
    QSettings().remove("mainwindow.splitter");
  }
  // The open dialog's state of 16 bytes, a list claiming 2^31-1 places.
  QSettings().setValue("dialog/load/config/state",
                       QByteArray::fromHex("000000be00000004000000007fffffff"));
  window = std::make_unique<MainWindow>();
  open(battery());
  EXPECT_EQ(window->windowTitle(), battery());
}

TEST_F(MainWindowTest, OpensARealFootprintReportsTheCursorAndFits) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  show(900);
  const QString path = shared("kicad6/DIP-8_W7.62mm.kicad_mod");
  open(path);
  EXPECT_EQ(window->windowTitle(), path);
  EXPECT_TRUE(is<PrettyModuleCanvas>(canvas()) &&
              is<PrettyModuleProperty>(panel()));
  EXPECT_FALSE(shows_cover());
  // 8 pads, 14 lines, 1 arc; the reference, the value and a user text.
  EXPECT_EQ(canvas()->scene()->items().size(), 8 + 14 + 1 + 3);
  const QString page =
      panel()->findChild<QTextBrowser*>("textBrowser")->toPlainText();
  EXPECT_TRUE(page.contains("Name:DIP-8_W7.62mm")) << page.toStdString();

  EXPECT_EQ(positions({1.5, -2.25}),
            QStringList(
                {"X=1.5000 mm", "Y=-2.2500 mm", "X=0.0000 mm", "Y=0.0000 mm"}));

  // The load fitted the view to the viewport the canvas has in the window.
  const double fitted = canvas()->current_scale;
  trigger("action_90");
  trigger("action_scale_plus");
  trigger("action_scale_fill");
  EXPECT_DOUBLE_EQ(canvas()->angle, 0);
  EXPECT_NEAR(canvas()->current_scale, fitted, fitted * 0.05);
}

TEST_F(MainWindowTest, NextPreviousUpAndDownStepThroughFilesAndLibraries) {
  const QString a = copy(battery(), "A.pretty/a.kicad_mod");
  const QString b = put("A.pretty/b.kicad_mod", "(module broken (fp_line");
  const QString c = copy(battery(), "A.pretty/c.kicad_mod");
  const QString other = copy(battery(), "b.pretty/m.kicad_mod");
  open(a);
  EXPECT_FALSE(shows_cover());
  trigger("actionNext");
  EXPECT_EQ(window->windowTitle(), b);  // it does not parse; the title stays
  EXPECT_TRUE(shows_cover());
  EXPECT_TRUE(is<PrettyModuleCanvas>(canvas()));
  trigger("actionNext");
  EXPECT_EQ(window->windowTitle(), c);
  EXPECT_FALSE(shows_cover());
  trigger("actionPrevious");
  EXPECT_EQ(window->windowTitle(), b);

  trigger("actionDown");
  EXPECT_EQ(window->windowTitle(), other);
  EXPECT_FALSE(shows_cover());
  trigger("actionUp");
  EXPECT_EQ(window->windowTitle(), a);

  // After a deletion Next goes on from the name, from an emptied folder too
  // once a file is back.
  QFile::remove(a);
  trigger("actionNext");
  EXPECT_EQ(window->windowTitle(), b);
  QFile::remove(b);
  QFile::remove(c);
  trigger("actionNext");
  EXPECT_TRUE(shows_cover());
  copy(battery(), "A.pretty/c.kicad_mod");
  trigger("actionPrevious");
  EXPECT_EQ(window->windowTitle(), c);
}

TEST_F(MainWindowTest, ShowingThePanelAfterALoadWhileHiddenGivesItsWidthBack) {
  show(1000);
  const int width = panel()->width();
  ASSERT_GT(width, 100);
  trigger("actionProperty");
  open(battery());
  trigger("actionProperty");
  QApplication::processEvents();
  EXPECT_NEAR(panel()->width(), width, 2);
}

TEST_F(MainWindowTest, OpenOffersAllFootprintsFirstAndTheFileTellsItsReader) {
  QStringList offered;
  answer_modal<QFileDialog>([&offered](QFileDialog* dialog) {
    offered = dialog->nameFilters() << dialog->selectedNameFilter();
    dialog->reject();
  });
  trigger("actionOpen");
  const QString all = "All footprints (*.kicad_mod *.mod)";
  EXPECT_EQ(offered, QStringList({all, kPrettyFilter, kLegacyFilter, all}));
  open(put("board.kicad_pcb", "(kicad_pcb (version 4))"), all);
  EXPECT_TRUE(is<NoObjCanvas>(canvas()) && shows_cover());
}

TEST_F(MainWindowTest, LegacyLibraryOpensByItsFilterAndStepsByModule) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  show(900);
  const QString library = copy(shared("legacy/standard.mod"), "a.mod");
  const QString after = copy(shared("legacy/valves.mod"), "b.mod");
  // The file, not the filter chosen, picks the reader.
  open(library, kPrettyFilter);
  EXPECT_TRUE(is<LegacyModuleCanvas>(canvas()) &&
              is<LegacyModuleProperty>(panel()));
  // Tenths of a mil, shown in millimetres.
  EXPECT_EQ(positions({1000, -25000}).mid(0, 2),
            QStringList({"X=2.5400 mm", "Y=-63.5000 mm"}));
  ASSERT_EQ(canvas()->module_count(), 12);
  const QString first_module = canvas()->module_name();
  EXPECT_EQ(window->windowTitle(),
            library + QString::fromUtf8(" \u2014 ") + first_module + " (1/12)");
  trigger("actionNext");
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

TEST_F(MainWindowTest, ZoomAndRotationReachTheCanvas) {
  ZObjCanvas* view = canvas();
  trigger("action_scale_plus");
  EXPECT_DOUBLE_EQ(view->current_scale, 1.1);
  trigger("action_scale_munus");
  EXPECT_NEAR(view->current_scale, 1.0, 1e-12);
  trigger("action_scale_plus");

  trigger("action_90");
  trigger("action_180");
  EXPECT_DOUBLE_EQ(view->angle, 270);
  trigger("action_91");
  EXPECT_DOUBLE_EQ(view->angle, 180);
  trigger("actionOriginal");
  EXPECT_DOUBLE_EQ(view->angle, 0);
  EXPECT_DOUBLE_EQ(view->current_scale, 1.1);
}

TEST_F(MainWindowTest, RotateDialogRotatesByTheAngleEntered) {
  const struct {
    double value;
    QLocale locale;
    double expected;
  } entries[] = {{-12.25, QLocale::c(), -12.25},
                 {12.5, QLocale(QLocale::German), 12},  // "12,50" ends at ,
                 {500, QLocale::c(), 360}};             // at most a turn
  double angle = 0;
  for (const auto& entry : entries) {
    SCOPED_TRACE(entry.value);
    answer_modal<RotateAnyDlg>([&entry](RotateAnyDlg* dialog) {
      auto* spin = dialog->findChild<QDoubleSpinBox*>("lineEdit");
      spin->setLocale(entry.locale);
      spin->setValue(entry.value);
      dialog->accept();
    });
    trigger("actionAny");
    EXPECT_DOUBLE_EQ(canvas()->angle, angle += entry.expected);
  }
  answer_modal<RotateAnyDlg>([](RotateAnyDlg* dialog) {
    dialog->findChild<QDoubleSpinBox*>("lineEdit")->setValue(90);
    dialog->reject();
  });
  trigger("actionAny");
  EXPECT_DOUBLE_EQ(canvas()->angle, angle);
}

TEST_F(MainWindowTest, AboutNamesTheProgram) {
  QString text;
  answer_modal<AboutDlg>([&text](AboutDlg* dialog) {
    text = dialog->findChild<QTextEdit*>("textEdit")->toPlainText();
    dialog->accept();
  });
  trigger("actionAbout");
  EXPECT_TRUE(text.contains("Padscope 1.0")) << text.toStdString();
}

}  // namespace

namespace {

TEST_F(MainWindowTest, OpensAFileOrAFolderAndSaysWhyALoadFailed) {
  const QString a = copy(battery(), "lib/a.kicad_mod");
  copy(battery(), "lib/b.kicad_mod");
  put("broken.kicad_mod", "(footprint \"x\" (fp_line");
  EXPECT_TRUE(window->open_path(folder.filePath("lib")));
  EXPECT_EQ(window->windowTitle(), a);
  EXPECT_EQ(load_message(), "");

  const struct {
    QString path;
    QString message;
  } failures[] = {
      {folder.filePath("gone.kicad_mod"),
       "gone.kicad_mod: no such file or folder"},
      {folder.filePath("broken.kicad_mod"),
       "broken.kicad_mod: Unexpected EOF: iostream error"},
      {put("empty/notes.txt", "x").section('/', 0, -2),
       "empty: no footprint file in the folder"},
  };
  for (const auto& f : failures) {
    SCOPED_TRACE(f.path.toStdString());
    EXPECT_FALSE(window->open_path(f.path));
    EXPECT_EQ(load_message(), f.message);
  }
  EXPECT_TRUE(shows_cover());
  trigger("actionNext");  // a step onto the broken file says so too
  EXPECT_EQ(load_message(), failures[1].message);

  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(a)});
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton,
                        Qt::NoModifier);
  QApplication::sendEvent(window.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton,
                  Qt::NoModifier);
  QApplication::sendEvent(window.get(), &drop);
  EXPECT_EQ(window->windowTitle(), a);
  EXPECT_EQ(load_message(), "");
}

// The recent files as a window's menu lists them.
QStringList recent_menu(MainWindow& window) {
  QStringList shown;
  for (QMenu* menu : window.findChildren<QMenu*>()) {
    if (menu->title() != "Recent files") continue;
    emit menu->aboutToShow();
    for (QAction* action : menu->actions())
      shown << action->data().toString() + (action->isEnabled() ? "" : " grey");
  }
  return shown;
}

TEST_F(MainWindowTest, RecentFilesKeepTheLastTenAndGreyMissingOnes) {
  QStringList paths;
  for (int i = 0; i < 12; ++i) {
    paths.prepend(copy(battery(), QString("f%1.kicad_mod").arg(i)));
    ASSERT_TRUE(window->open_path(paths.first()));
  }
  window->open_path(paths[3]);  // again: to the front, not twice
  QFile::remove(paths[1]);
  const QStringList expected{paths[3], paths[0], paths[1] + " grey", paths[2],
                             paths[4], paths[5], paths[6],           paths[7],
                             paths[8], paths[9]};
  EXPECT_EQ(recent_menu(*window), expected);
  MainWindow next;  // kept in the settings for the next start
  EXPECT_EQ(recent_menu(next), expected);
}

TEST_F(MainWindowTest, LibraryPanelListsFiltersOpensAndFollowsTheSteps) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  show(900);
  EXPECT_FALSE(library()->isVisible());  // hidden until asked for
  trigger("actionLibrary");
  ASSERT_TRUE(library()->isVisible());
  const QString dir = shared("kicad6/");
  window->open_path(dir + "DIP-8_W7.62mm.kicad_mod");
  EXPECT_EQ(listed().size(), 32);
  EXPECT_TRUE(listed().contains("[DIP-8_W7.62mm]"));

  QLineEdit* field = library()->filter_field();
  const struct {
    const char* pattern;
    QStringList names;
  } filters[] = {
      {"dip-8", {"[DIP-8_W7.62mm]"}},
      {"L*2?2", {"LED_WS2812B-2020_PLCC4_2.0x2.0mm"}},
  };
  for (const auto& f : filters) {
    field->setText(f.pattern);
    EXPECT_EQ(listed(), f.names) << f.pattern;
  }
  emit field->returnPressed();
  EXPECT_EQ(window->windowTitle(),
            dir + "LED_WS2812B-2020_PLCC4_2.0x2.0mm.kicad_mod");
  EXPECT_EQ(listed(), QStringList{"[LED_WS2812B-2020_PLCC4_2.0x2.0mm]"});

  field->clear();
  trigger("actionNext");
  EXPECT_TRUE(listed().contains(
      "[" + QFileInfo(window->windowTitle()).completeBaseName() + "]"));
  type(field, Qt::Key_Up);  // the arrows move and show
  EXPECT_EQ(window->windowTitle(),
            dir + "LED_WS2812B-2020_PLCC4_2.0x2.0mm.kicad_mod");
}

TEST_F(MainWindowTest, LibraryPanelStepsThroughALegacyLibrary) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  show(900);
  trigger("actionLibrary");
  window->open_path(shared("legacy/w_pth_resistors.mod"));
  QStringList modules = canvas()->module_names();
  ASSERT_EQ(modules.size(), 10);
  modules[0] = "[" + modules[0] + "]";
  EXPECT_EQ(listed(), modules);
  trigger("actionNext");
  EXPECT_EQ(listed()[1], "[" + canvas()->module_name() + "]");
  library()->library_list()->setCurrentRow(5);
  EXPECT_EQ(canvas()->module_index(), 5);
}

TEST_F(MainWindowTest, SearchFindsFootprintsOfEveryLibraryByTag) {
  PADSCOPE_REQUIRE_SHARED_TESTDATA();
  QStandardPaths::setTestModeEnabled(true);
  show(900);
  trigger("actionLibrary");
  window->open_path(shared("kicad6/Battery_CR1225.kicad_mod"));
  EXPECT_EQ(library()->search_root(),
            QString::fromStdString(shared_testdata_dir()));
  QSignalSpy finished(&library()->index(), &BackgroundIndex::finished);
  library()->set_searching(true);
  ASSERT_TRUE(finished.wait(30000));
  EXPECT_TRUE(window->findChild<QLabel*>("indexMessage")
                  ->text()
                  .endsWith("footprints indexed"));
  library()->filter_field()->setText("300MIL");
  QTreeWidget* results = library()->search_results();
  QStringList found;
  for (int i = 0; i < results->topLevelItemCount(); ++i)
    found << results->topLevelItem(i)->text(1) + "/" +
                 results->topLevelItem(i)->text(0);
  EXPECT_EQ(found, (QStringList{"kicad6/DIP-8_W7.62mm", "kicad9/SMDIP-4"}));
  results->setCurrentItem(results->topLevelItem(1));
  EXPECT_EQ(window->windowTitle(), shared("kicad9/SMDIP-4.kicad_mod"));

  library()->filter_field()->setText("rc05_vert");  // a module of a library
  ASSERT_EQ(results->topLevelItemCount(), 1);
  emit library()->filter_field()->returnPressed();
  EXPECT_EQ(canvas()->module_name(), "rc05_vert");
}

}  // namespace
