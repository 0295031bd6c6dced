#include "apps/padscope/mainwindow.h"

#include "apps/padscope/dialogs.h"
#include "apps/padscope/layers_panel.h"
#include "apps/padscope/library_panel.h"
#include "apps/padscope/thumbnails.h"
#include "support/modal.h"
#include "support/qt_printers.h"
#include "support/temp_settings.h"
#include "support/test_data.h"
#include "zwidget/zgraph/pad_item.h"
#include "zwidget/zviewer/canvas_variants.h"
#include "zwidget/zviewer/compare_scene.h"
#include "zwidget/zviewer/compare_view.h"
#include "zwidget/zviewer/footprint_formats.h"
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
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTest>
#include <QTextBrowser>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

#include <memory>
#include <tuple>

namespace {

using namespace padscope::test;
using namespace zwidget::zcvpcb;

const QString kPrettyFilter = "Modules Files (*.kicad_mod)";
const QString kLegacyFilter = "Legacy modules Files (*.mod)";

// A file the tests carry, such as "real/kicad6/" for a folder of them.
QString committed(const std::string& relative) {
  return QString::fromStdString(local(relative));
}

// A real footprint the tests carry, else the shared one.
QString real(const std::string& relative) {
  return QString::fromStdString(real_file(relative));
}

QString battery() {
  return committed("Battery_CR1225.kicad_mod");
}

template <typename T>
bool is(const QObject* object) {
  return dynamic_cast<const T*>(object) != nullptr;
}

class MainWindowTest : public testing::Test {
protected:
  void SetUp() override { window = std::make_unique<MainWindow>(); }
  // Typing into the search field fades its clear button in; a fade still
  // running when the window goes is never freed, so let it end first.
  void TearDown() override { QTest::qWait(300); }

  QAction* action(const char* name) const {
    return window->findChild<QAction*>(name);
  }
  void trigger(const char* name) const { action(name)->trigger(); }
  // Shown and active, so that its shortcuts work.
  void show(int width) const {
    window->resize(width, 700);
    window->show();
    QApplication::setActiveWindow(window.get());
  }
  QString title() const { return window->windowTitle(); }
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
  // A first start gives the panel 30 parts of 130, and at least the width
  // its page reads at.
  bool reads_on_first_start() const {
    return left_to_right() >= 0.3 - 0.05 &&
           panel()->width() >= panel()->reading_width() - 2;
  }
  // The four value labels of the status bar, left to right, after the
  // cursor moved to `at` in scene units; each must show its whole text.
  QStringList positions(const QPointF& at,
                        const std::vector<const char*>& names = {
                            "currentX", "currentY", "relativeX",
                            "relativeY"}) const {
    QGraphicsSceneMouseEvent move(QEvent::GraphicsSceneMouseMove);
    move.setScenePos(at);
    QApplication::sendEvent(canvas()->scene(), &move);
    QStringList texts;
    for (const char* name : names) {
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
    // Active again once the dialog is gone.
    if (window->isVisible()) QApplication::setActiveWindow(window.get());
  }
  QString put(const QString& name, const std::string& bytes) {
    EXPECT_TRUE(write_file(folder.filePath(name).toStdString(), bytes));
    return folder.filePath(name);
  }
  QString copy(const QString& from, const QString& name) {
    return put(name, read_file(from.toStdString()));
  }
  QString load_message() const {
    return window->findChild<QLabel*>("loadMessage")->text();
  }
  // The text of the label `name` as a shown window shows it: whole, or not
  // at all.
  QString shown(const char* name) const {
    const auto* label = window->findChild<QLabel*>(name);
    const bool whole =
        label && label->isVisible() &&
        label->fontMetrics().horizontalAdvance(label->text()) <=
            label->contentsRect().width() &&
        label->mapTo(window.get(), label->rect().bottomRight()).x() <
            window->width();
    return whole ? label->text() : QString();
  }
  QString shown_message() const {
    QApplication::processEvents();
    window->statusBar()->layout()->activate();
    return shown("loadMessage");
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

  TempSettings settings;
  QTemporaryDir folder;
  std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, StartsEmptyAndStaysSoOnACancelledOpenOrANext) {
  EXPECT_TRUE(is<NoObjCanvas>(canvas()) && is<NoObjProperty>(panel()));
  QStringList offered;
  answer_modal<QFileDialog>([&offered](QFileDialog* dialog) {
    offered = dialog->nameFilters() << dialog->selectedNameFilter();
    dialog->reject();
  });
  trigger("actionOpen");
  const QString all = "All footprints (*.kicad_mod *.mod)";
  EXPECT_EQ(offered, QStringList({all, kPrettyFilter, kLegacyFilter, all}));
  EXPECT_EQ(title(), "MainWindow");
  trigger("actionNext");
  EXPECT_TRUE(shows_cover() && is<NoObjProperty>(panel()));
  // Its first bytes tell it is no footprint, whatever the filter.
  open(put("board.kicad_pcb", "(kicad_pcb (version 4))"), all);
  EXPECT_TRUE(is<NoObjCanvas>(canvas()) && shows_cover());
}

TEST_F(MainWindowTest, PanelVisibilityIsStoredAndSurvivesLoads) {
  show(1000);
  const int width = panel()->width();
  ASSERT_GT(width, 100);
  const auto hidden = [] {
    return QSettings().value("mainwindow.splitter.hide");
  };
  EXPECT_TRUE(action("actionProperty")->isChecked() && !panel()->isHidden());
  EXPECT_EQ(hidden(), QVariant(false));
  trigger("actionProperty");
  EXPECT_EQ(hidden(), QVariant(true));
  open(battery());
  EXPECT_TRUE(panel()->isHidden());
  trigger("actionProperty");  // its width back after a load while hidden
  QApplication::processEvents();
  EXPECT_NEAR(panel()->width(), width, 2);
  trigger("actionProperty");
  window = std::make_unique<MainWindow>();
  EXPECT_TRUE(!action("actionProperty")->isChecked() && panel()->isHidden());
  trigger("actionProperty");
  EXPECT_FALSE(panel()->isHidden());
  EXPECT_EQ(hidden(), QVariant(false));
}

TEST_F(MainWindowTest, SplitterKeepsItsProportionAndTheClosedWindowsState) {
  show(1300);
  EXPECT_TRUE(reads_on_first_start());
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
    EXPECT_TRUE(reads_on_first_start());
    window.reset();
    QSettings().remove("mainwindow.splitter");
  }
}

TEST_F(MainWindowTest, OpensARealFootprintReportsTheCursorZoomsAndFits) {
  show(900);
  const QString path = real("kicad6/DIP-8_W7.62mm.kicad_mod");
  open(path);
  EXPECT_EQ(title(), path);
  EXPECT_TRUE(is<PrettyModuleCanvas>(canvas()) &&
              is<PrettyModuleProperty>(panel()) && !shows_cover());
  const QString page =
      panel()->findChild<QTextBrowser*>("textBrowser")->toPlainText();
  EXPECT_TRUE(page.contains("Name:DIP-8_W7.62mm")) << page.toStdString();
  // Relative to the footprint origin until Space sets another.
  EXPECT_EQ(positions({1.5, -2.25}),
            QStringList({"X=1.5000", "Y=-2.2500", "X=1.5000", "Y=-2.2500"}));

  // The load fitted the view to the viewport the canvas has in the window.
  const double fitted = canvas()->current_scale;
  const struct {
    const char* action;
    double angle, scale;
  } steps[] = {{"action_scale_plus", 0, 1.1}, {"action_scale_munus", 0, 1},
               {"action_scale_plus", 0, 1.1}, {"action_90", 90, 1.1},
               {"action_180", 270, 1.1},      {"action_91", 180, 1.1},
               {"actionOriginal", 0, 1.1},    {"action_90", 90, 1.1},
               {"action_scale_fill", 0, 1}};
  for (const auto& step : steps) {
    SCOPED_TRACE(step.action);
    trigger(step.action);
    EXPECT_DOUBLE_EQ(canvas()->angle, step.angle);
    EXPECT_NEAR(canvas()->current_scale, fitted * step.scale, fitted * 1e-9);
  }
}

TEST_F(MainWindowTest, SpaceSetsTheRelativeOriginAndUnitsSwitchEverywhere) {
  show(900);
  open(real("kicad6/DIP-8_W7.62mm.kicad_mod"));
  const std::vector<const char*> all = {"currentX",  "currentY", "relativeX",
                                        "relativeY", "gridX",    "gridY"};
  positions({1.5, -2.25});
  QSignalSpy moved(canvas(), &ZObjCanvas::zerro_position);
  // Near no pad or line end: the origin is where the cursor is.
  QTest::keyClick(canvas(), Qt::Key_Space);
  EXPECT_EQ(moved.count(), 1);
  // The grid of 1.27 mm is drawn whole at this zoom.
  EXPECT_EQ(positions({2.0, -1.0}, all),
            QStringList({"X=2.0000", "Y=-1.0000", "X=0.5000", "Y=1.2500",
                         "X=2.5400", "Y=-1.2700"}));
  QTest::keyClick(window.get(), Qt::Key_U, Qt::ControlModifier);
  EXPECT_EQ(positions({2.0, -1.0}, all),
            QStringList({"X=78.74", "Y=-39.37", "X=19.69", "Y=49.21",
                         "X=100.00", "Y=-50.00"}));
  EXPECT_EQ(window->findChild<QToolButton*>("unitButton")->text(), "mil");
  window->findChild<QToolButton*>("unitButton")->click();
  EXPECT_EQ(positions({2.0, -1.0}).mid(0, 1), QStringList({"X=0.07874"}));
  EXPECT_TRUE(action("actionUnit_in")->isChecked());
  // Remembered, and the next click goes round to millimetres.
  window = std::make_unique<MainWindow>();
  EXPECT_EQ(window->findChild<QToolButton*>("unitButton")->text(), "in");
  window->findChild<QToolButton*>("unitButton")->click();
  EXPECT_EQ(window->length_unit(), zcore::length_unit::mm);
}

TEST_F(MainWindowTest, MeasuresBetweenPadsInTheStatusBarInEveryUnit) {
  show(900);
  open(real("kicad6/LQFP-48_7x7mm_P0.5mm.kicad_mod"));
  const auto centre = [this](const QString& number) {
    for (QGraphicsItem* item : canvas()->scene()->items()) {
      const auto* pad = dynamic_cast<zwidget::zgraph::GraphicsPadItem*>(item);
      if (pad && pad->spec().number == number) return pad->spec().position;
    }
    return QPointF();
  };
  const auto click_near = [this](const QPointF& at) {
    QTest::mouseClick(canvas()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      canvas()->mapFromScene(at) + QPoint(1, 1));
  };
  QTest::keyClick(canvas(), Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_TRUE(action("actionMeasure")->isChecked());
  click_near(centre("1"));
  click_near(centre("2"));
  const QString message = window->statusBar()->currentMessage();
  EXPECT_TRUE(message.contains("dx 0.0000 mm") &&
              message.contains("distance 0.5000 mm"))
      << message.toStdString();
  QTest::keyClick(canvas(), Qt::Key_U, Qt::ControlModifier);
  EXPECT_TRUE(
      window->statusBar()->currentMessage().contains("distance 19.69 mil"));
  // The first point became the relative origin.
  window->statusBar()->clearMessage();
  EXPECT_EQ(positions(centre("2")).mid(2), QStringList({"X=0.00", "Y=19.69"}));
  QTest::keyClick(canvas(), Qt::Key_Escape);
  EXPECT_FALSE(action("actionMeasure")->isChecked());
  EXPECT_TRUE(window->statusBar()->currentMessage().isEmpty());
}

TEST_F(MainWindowTest, ShortcutsWorkWhateverHasTheFocusAndArrowsPan) {
  const QString a = copy(battery(), "lib/a.kicad_mod");
  const QString b = copy(battery(), "lib/b.kicad_mod");
  trigger("actionLibrary");
  show(900);
  window->open_path(a);
  EXPECT_TRUE(canvas()->hasFocus());
  // The arrows pan: what lay to the right comes to the middle.
  const QPoint middle = canvas()->viewport()->rect().center();
  const QPointF before = canvas()->mapToScene(middle);
  QTest::keyClick(canvas(), Qt::Key_Right);
  EXPECT_GT(canvas()->mapToScene(middle).x(), before.x());

  QLineEdit* filter = library()->filter_field();
  QTest::keyClick(canvas(), Qt::Key_Slash);
  EXPECT_TRUE(filter->hasFocus());
  // The field keeps the keys that type; the window's commands go through.
  QTest::keyClicks(filter, "b/");
  EXPECT_EQ(filter->text(), "b/");
  QTest::keyClick(filter, Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(title(), b);
  const double scale = canvas()->current_scale;
  QTest::keyClick(filter, Qt::Key_Equal, Qt::ControlModifier);
  EXPECT_NEAR(canvas()->current_scale, scale * 1.1, scale * 1e-9);
  canvas()->setFocus();
  QTest::keyClick(canvas(), Qt::Key_K, Qt::ControlModifier);
  EXPECT_TRUE(filter->hasFocus());
  bool asked = false;
  answer_modal<QFileDialog>([&asked](QFileDialog* dialog) {
    asked = true;
    dialog->reject();
  });
  QTest::keyClick(filter, Qt::Key_O, Qt::ControlModifier);
  EXPECT_TRUE(asked);
  QApplication::setActiveWindow(window.get());  // back from the dialog
  QTest::keyClick(filter, Qt::Key_E, Qt::ControlModifier);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, NextPreviousUpAndDownStepThroughFilesAndLibraries) {
  const QString a = copy(battery(), "A.pretty/a.kicad_mod");
  const QString b = put("A.pretty/b.kicad_mod", "(module broken (fp_line");
  const QString c = copy(battery(), "A.pretty/c.kicad_mod");
  const QString other = copy(battery(), "b.pretty/m.kicad_mod");
  open(a);
  // The broken file does not parse: its name stays in the title.
  for (const auto& [step, file, cover] : {std::tuple{"actionNext", b, true},
                                          {"actionNext", c, false},
                                          {"actionPrevious", b, true},
                                          {"actionDown", other, false},
                                          {"actionUp", a, false}}) {
    trigger(step);
    EXPECT_TRUE(title() == file && shows_cover() == cover) << step;
  }
}

TEST_F(MainWindowTest, LegacyLibraryOpensByItsFilterAndStepsByModule) {
  show(900);
  trigger("actionLibrary");
  const QString standard = copy(committed("real/legacy/standard.mod"), "a.mod");
  const QString after = copy(committed("real/legacy/Logo.mod"), "b.mod");
  // The file, not the filter chosen, picks the reader.
  open(standard, kPrettyFilter);
  EXPECT_TRUE(is<LegacyModuleCanvas>(canvas()) &&
              is<LegacyModuleProperty>(panel()));
  // Tenths of a mil, shown in millimetres.
  EXPECT_EQ(positions({1000, -25000}).mid(0, 2),
            QStringList({"X=2.5400", "Y=-63.5000"}));
  EXPECT_EQ(title(), standard + QString::fromUtf8(" \u2014 ") +
                         canvas()->module_name() + " (1/12)");
  // Through the modules, from the first back to the last module of the
  // previous file, and past that file's last to this one, wrapped.
  for (const auto& [step, file, place] :
       {std::tuple{"actionNext", standard, "(2/12)"},
        {"actionPrevious", standard, "(1/12)"},
        {"actionPrevious", after, "(2/2)"},
        {"actionNext", standard, "(1/12)"}}) {
    trigger(step);
    EXPECT_TRUE(title().startsWith(file) && title().endsWith(place)) << step;
  }
  // The library panel lists the modules and follows the steps, both ways.
  QStringList modules = canvas()->module_names();
  ASSERT_EQ(modules.size(), 12);
  modules[0] = "[" + modules[0] + "]";
  EXPECT_EQ(listed(), modules);
  trigger("actionNext");
  EXPECT_EQ(listed()[1], "[" + canvas()->module_name() + "]");
  library()->library_list()->setCurrentRow(5);
  EXPECT_TRUE(canvas()->module_index() == 5 && title().endsWith("(6/12)"));
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

TEST_F(MainWindowTest, OpensAFileOrAFolderAndSaysWhyALoadFailed) {
  show(900);
  const QString a = copy(battery(), "lib/a.kicad_mod");
  copy(battery(), "lib/b.kicad_mod");
  put("broken.kicad_mod", "(footprint \"x\" (fp_line");
  EXPECT_TRUE(window->open_path(folder.filePath("lib")));
  EXPECT_TRUE(title() == a && load_message().isEmpty());
  const QString broken =
      "broken.kicad_mod: Unexpected EOF at line 1, column 24";
  for (const auto& [path, message] :
       {std::pair<QString, QString>{folder.filePath("gone.kicad_mod"),
                                    "gone.kicad_mod: no such file or folder"},
        {folder.filePath("broken.kicad_mod"), broken},
        {put("empty/notes.txt", "x").section('/', 0, -2),
         "empty: no footprint file in the folder"}}) {
    EXPECT_FALSE(window->open_path(path));
    EXPECT_EQ(shown_message(), message);
  }
  EXPECT_TRUE(shows_cover());
  trigger("actionNext");  // a step onto the broken file says so too
  EXPECT_EQ(load_message(), broken);

  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(a)});
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton,
                        Qt::NoModifier);
  QApplication::sendEvent(window.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton,
                  Qt::NoModifier);
  QApplication::sendEvent(window.get(), &drop);
  EXPECT_TRUE(title() == a && load_message().isEmpty());
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

TEST_F(MainWindowTest, ComparesTheFootprintShownWithAnother) {
  const QString before = copy(committed("w_pth_resistors.mod"), "w.mod");
  const std::string converted = "converted/w_pth_resistors.pretty/";
  const QString after =
      copy(committed(converted + "RC05.kicad_mod"), "RC05.kicad_mod");
  trigger("actionCompare");
  EXPECT_EQ(load_message(), "Open a footprint first, then compare it.");
  ASSERT_TRUE(window->open_path(before));
  // RC05 is the library's second module.
  trigger("actionNext");
  answer_modal<QFileDialog>([=](QFileDialog* dialog) {
    choose_file(dialog, after, "All footprints (*.kicad_mod *.mod)");
  });
  trigger("actionCompare");
  auto* view = window->findChild<CompareView*>();
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(view->isVisible());
  EXPECT_EQ(view->windowTitle(), "Compare: w.mod and RC05.kicad_mod");
  EXPECT_TRUE(view->comparison().same());
  EXPECT_TRUE(view->heading().endsWith("identical"));

  // Against another module: the differences listed.
  const QString other =
      copy(committed(converted + "RC07.kicad_mod"), "RC07.kicad_mod");
  ASSERT_TRUE(window->compare_paths(after, other));
  EXPECT_EQ(view->windowTitle(), "Compare: RC05.kicad_mod and RC07.kicad_mod");
  EXPECT_TRUE(view->differences()
                  ->findItems("pad 1 moved", Qt::MatchStartsWith)
                  .value(0));

  EXPECT_FALSE(window->compare_paths(after, folder.filePath("none.mod")));
  EXPECT_TRUE(load_message().startsWith("none.mod: "))
      << load_message().toStdString();
}

TEST_F(MainWindowTest, RecentFilesKeepTheLastTenAndGreyMissingOnes) {
  QStringList paths;
  for (int i = 0; i < 12; ++i) {
    paths.prepend(copy(battery(), QString("f%1.kicad_mod").arg(i)));
    ASSERT_TRUE(window->open_path(paths.first()));
  }
  window->open_path(paths[3]);  // again: to the front, not twice
  QFile::remove(paths[1]);
  const QStringList expected =
      QStringList{paths[3], paths[0], paths[1] + " grey", paths[2]} +
      paths.mid(4, 6);
  EXPECT_EQ(recent_menu(*window), expected);
  MainWindow next;  // kept in the settings for the next start
  EXPECT_EQ(recent_menu(next), expected);
}

TEST_F(MainWindowTest, LibraryPanelListsFiltersOpensAndFollowsTheSteps) {
  show(900);
  EXPECT_FALSE(library()->isVisible());  // hidden until asked for
  trigger("actionLibrary");
  ASSERT_TRUE(library()->isVisible());
  const QString dir = committed("real/kicad6/");
  const QString jumper = "SolderJumper-2_P1.3mm_Open_RoundedPad1.0x1.5mm";
  window->open_path(dir + "DIP-8_W7.62mm.kicad_mod");
  EXPECT_EQ(listed().size(), 6);
  EXPECT_TRUE(listed().contains("[DIP-8_W7.62mm]"));

  QLineEdit* field = library()->filter_field();
  field->setText("s*1?5");
  EXPECT_EQ(listed(), QStringList{jumper});
  emit field->returnPressed();
  EXPECT_EQ(title(), dir + jumper + ".kicad_mod");
  EXPECT_EQ(listed(), QStringList{"[" + jumper + "]"});

  field->clear();
  trigger("actionNext");
  EXPECT_TRUE(
      listed().contains("[" + QFileInfo(title()).completeBaseName() + "]"));
  QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
  QApplication::sendEvent(field, &up);  // the arrows move and show
  EXPECT_EQ(title(), dir + jumper + ".kicad_mod");
}

// The rows of the search results: library/name and the figures asked.
QStringList result_rows(const LibraryPanel& panel, int figures = 0) {
  const QAbstractItemModel* model = panel.search_results()->model();
  QStringList rows;
  for (int row = 0; row < model->rowCount(); ++row) {
    QStringList cells{model->index(row, 1).data().toString() + "/" +
                      model->index(row, 0).data().toString()};
    for (int column = 2; column < 2 + figures; ++column)
      cells << model->index(row, column).data().toString();
    rows << cells.join(' ');
  }
  return rows;
}

TEST_F(MainWindowTest, SearchRanksEveryLibraryWithFiguresOffTheWindowsThread) {
  QStandardPaths::setTestModeEnabled(true);
  show(900);
  trigger("actionLibrary");
  window->open_path(committed("real/kicad6/MountingHole_3mm_Pad.kicad_mod"));
  EXPECT_EQ(library()->search_root(), committed("real/").chopped(1));
  QSignalSpy finished(&library()->index(), &BackgroundIndex::finished);
  // The progress shows whole beside the results, at the start width too.
  QFile::remove(BackgroundIndex::cache_file(library()->search_root()));
  QStringList progress;
  // Goes, and the connection with it, before `progress` does.
  const QObject listening;
  QObject::connect(&library()->index(), &BackgroundIndex::progress, &listening,
                   [&] { progress << shown("libraryCount"); });
  library()->set_searching(true);
  ASSERT_TRUE(finished.wait(30000));
  ASSERT_FALSE(progress.isEmpty());
  EXPECT_TRUE(progress.last().startsWith("Indexing footprints: "))
      << progress.join('|').toStdString();
  EXPECT_TRUE(library()->shown_folder().endsWith("real"));
  QSignalSpy searched(library(), &LibraryPanel::searched);
  const auto search = [&](const QString& query) {
    searched.clear();
    library()->filter_field()->setText(query);
    // The keystroke has returned; the results come from the search's
    // thread.
    EXPECT_EQ(searched.count(), 0);
    EXPECT_TRUE(searched.wait(10000)) << query.toStdString();
    return result_rows(*library());
  };
  // Both by a tag: the shorter name first.
  EXPECT_EQ(search("SPARKFUN"), (QStringList{"kicad8/C_0805_2012Metric",
                                             "kicad9/TQFP-32_7x7mm_P0.8mm"}));
  QTreeView* results = library()->search_results();
  const QModelIndex tqfp = results->model()->index(1, 0);
  EXPECT_TRUE(tqfp.data(Qt::ToolTipRole).toString().contains("SparkFun TQFP"))
      << tqfp.data(Qt::ToolTipRole).toString().toStdString();
  results->setCurrentIndex(results->model()->index(0, 0));
  EXPECT_EQ(title(), committed("real/kicad8/C_0805_2012Metric.kicad_mod"));
  EXPECT_EQ(recent_menu(*window).value(0), title());

  search("dip pitch:2.54");
  // A module of a legacy library has its figures too; a name that starts
  // with the word comes first.
  EXPECT_EQ(result_rows(*library(), 2),
            (QStringList{"kicad6/DIP-8_W7.62mm 8 2.54",
                         "Footprints/SWITCH_DIP_3 6 2.54"}));
  EXPECT_EQ(results->model()->index(1, 0).data(Qt::UserRole + 2).toList(),
            QVariantList{QPoint(7, 10)});  // "DIP" marked
  // The footprint shown stays current when it is found again.
  search("2012metric");
  EXPECT_EQ(results->currentIndex().row(), 0);

  search("fuse_20mm");  // a module of a library
  ASSERT_EQ(results->model()->rowCount(), 1);
  emit library()->filter_field()->returnPressed();
  EXPECT_EQ(canvas()->module_name(), "FUSE_20mm");
}

TEST_F(MainWindowTest, LibraryShowsItsFootprintsAsPicturesThatOpenAndMove) {
  show(1200);
  trigger("actionLibrary");
  library()->thumbnails().set_program(QString());  // drawn in their own test
  const QString dir = committed("real/kicad6/");
  window->open_path(dir + "DIP-8_W7.62mm.kicad_mod");
  library()->set_pictures(true);
  QListView* grid = library()->picture_grid();
  EXPECT_TRUE(grid->isVisible());
  EXPECT_FALSE(library()->library_list()->isVisible());
  EXPECT_EQ(grid->model()->rowCount(), 6);
  const auto path = [](const QModelIndex& at) {
    return at.data(ThumbnailModel::path_role).toString();
  };
  EXPECT_EQ(path(grid->currentIndex()), dir + "DIP-8_W7.62mm.kicad_mod");
  const int row = grid->currentIndex().row();
  QTest::keyClick(grid, Qt::Key_Right);
  EXPECT_EQ(grid->currentIndex().row(), row + 1);
  EXPECT_EQ(title(), path(grid->currentIndex()));

  library()->filter_field()->setText("ing");
  ASSERT_EQ(grid->model()->rowCount(), 2);
  const QModelIndex second = grid->model()->index(1, 0);
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                    grid->visualRect(second).center());
  EXPECT_EQ(title(), path(second));
  window.reset();
  window = std::make_unique<MainWindow>();
  EXPECT_TRUE(library()->showing_pictures());
}

// The window's place, the panel's width, its columns and its search
// folder come back at the next start; a filter goes with its library.
TEST_F(MainWindowTest, LibraryPanelKeepsItsStateAndDropsAStaleFilter) {
  show(1200);
  window->move(40, 30);
  trigger("actionLibrary");
  QApplication::processEvents();
  window->resizeDocks({library()}, {520}, Qt::Horizontal);
  QApplication::processEvents();
  const int width = library()->width();
  EXPECT_GT(width, 450);  // not the first start's third
  library()->search_results()->header()->resizeSection(1, 233);
  library()->set_search_root(committed("real/kicad9"));
  window->open_path(committed("real/kicad6/DIP-8_W7.62mm.kicad_mod"));
  EXPECT_EQ(library()->shown_folder(),
            QDir::toNativeSeparators(committed("real/kicad6")));

  QLineEdit* field = library()->filter_field();
  field->setText("dip");
  EXPECT_EQ(listed(), QStringList{"[DIP-8_W7.62mm]"});
  window->open_path(committed("real/kicad9/TQFP-32_7x7mm_P0.8mm.kicad_mod"));
  EXPECT_EQ(field->text(), "");
  EXPECT_TRUE(listed().contains("[TQFP-32_7x7mm_P0.8mm]"));
  const QRect geometry = window->geometry();

  window.reset();
  window = std::make_unique<MainWindow>();
  EXPECT_TRUE(window->restore_geometry());
  window->show();
  QApplication::processEvents();
  EXPECT_EQ(window->geometry().size(), geometry.size());
  EXPECT_NEAR(library()->width(), width, 8);
  EXPECT_EQ(library()->search_results()->header()->sectionSize(1), 233);
  EXPECT_EQ(library()->search_root(), committed("real/kicad9"));

  // Settings no header would write are left aside.
  window.reset();
  QSettings().setValue("library/columns", QByteArray("\0\0\0\xff\x7f", 5));
  window = std::make_unique<MainWindow>();
  EXPECT_EQ(library()->search_results()->header()->sectionSize(1), 150);
}

}  // namespace

// The layers panel lists a footprint's layers in KiCad's order with Pads
// and Holes rows; a row unchecked, a preset and a theme reach the canvas,
// and come back in the next window.
TEST_F(MainWindowTest, ThemeAndLayersAreChosenInTheViewMenuAndRemembered) {
  show(1000);
  trigger("actionLayers");
  open(put("pad.kicad_mod",
           "(footprint P (fp_line (end 1 0) (layer F.Fab))"
           " (fp_line (end 1 0) (layer F.SilkS))"
           " (pad 1 thru_hole circle (size 2 2) (drill 1) (layers *.Cu)))"));
  auto* panel = window->findChild<LayersPanel*>();
  QListWidget* rows = panel->rows();
  QStringList names;
  for (int i = 0; i < rows->count(); ++i) names << rows->item(i)->text();
  EXPECT_EQ(names,
            (QStringList{"F.Cu", "B.Cu", "F.SilkS", "F.Fab", "Pads", "Holes"}));
  rows->item(names.indexOf("F.SilkS"))->setCheckState(Qt::Unchecked);
  EXPECT_EQ(canvas()->picture().hidden, (QSet<QString>{"F.SilkS"}));
  trigger("actionThemeLight");
  trigger("actionFromBelow");
  EXPECT_EQ(canvas()->picture().theme, ColourTheme::light);
  EXPECT_TRUE(canvas()->picture().from_below);
  window->findChild<QPushButton*>("preset3")->click();  // Copper only
  EXPECT_TRUE(canvas()->picture().hidden.contains("F.Fab"));
  EXPECT_FALSE(canvas()->picture().hidden.contains("F.Cu"));
  EXPECT_EQ(rows->item(names.indexOf("F.SilkS"))->checkState(), Qt::Unchecked);

  window = std::make_unique<MainWindow>();
  open(battery());
  EXPECT_EQ(canvas()->picture().theme, ColourTheme::light);
  EXPECT_TRUE(canvas()->picture().hidden.contains("F.Fab"));
  EXPECT_TRUE(action("actionThemeLight")->isChecked());
}
