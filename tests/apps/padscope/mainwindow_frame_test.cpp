#include "apps/padscope/mainwindow.h"
#include "support/qt_printers.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QSizeGrip>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>

#include <memory>

namespace {

using padscope::test::TempSettings;

struct ActionRow {
  const char* name;
  const char* text;
  const char* icon_text;
  const char* tool_tip;
  const char* status_tip;
  const char* whats_this;
  const char* shortcut;
  bool has_icon;
  const char* slot;
};

// The action table of the form, row by row.
const ActionRow kActions[] = {
    {"actionOpen", "Open...", "Open", "Open file", "Open file", "Open file",
     "Ctrl+N", true, SLOT(open())},
    {"actionPrevious", "Previous", "Previous", "Open previous file",
     "Open previous file", "Open previous file", "Ctrl+Left", true,
     SLOT(prev())},
    {"actionNext", "Next", "Next", "Open next file", "Open next file",
     "Open next file", "Ctrl+Right", true, SLOT(next())},
    {"actionLoose", "Loose...", "Loose",
     "<html><head/><body><p>Close application</p></body></html>", "", "",
     "Ctrl+E", true, SLOT(close())},
    {"action_scale_plus", "Zoom in (+10%)", "Zoom in (+10%)",
     "Zoom in to 10 percents", "Zoom in to 10 percents",
     "Zoom in to 10 percents", "Ctrl++", true, SLOT(scale_plus())},
    {"action_scale_munus", "Zoom out (-10%)", "Zoom out (-10%)",
     "Zoom out to 10 percents", "Zoom out to 10 percents",
     "Zoom out to 10 percents", "Ctrl+-", true, SLOT(scale_minus())},
    {"action_scale_fill", "Fit to full page", "Fill up entire canvas",
     "Fill up entire canvas", "Fill up entire canvas", "", "Ctrl+F", true,
     SLOT(scale_fill())},
    {"action_90", "+90", "+90", "Rotate clockwise to 90 degrees",
     "Rotate clockwise to 90 degrees", "Rotate clockwise to 90 degrees",
     "Alt++", true, SLOT(rotate_p90())},
    {"action_91", "-90", "-90", "Rotate anticlockwise to 90 degrees",
     "Rotate anticlockwise to 90 degrees", "Rotate anticlockwise to 90 degrees",
     "Alt+-", true, SLOT(rotate_m90())},
    {"action_180", "180", "180", "Rotate to 180 degrees",
     "Rotate to 180 degrees", "Rotate to 180 degrees", "Alt+*", true,
     SLOT(rotate_180())},
    {"actionAny", "Any...", "Any", "Rotate clockwise to any degrees",
     "Rotate clockwise to any degrees", "Rotate clockwise to any degrees", "",
     true, SLOT(rotate_any())},
    {"actionAbout", "About...", "About", "About this product",
     "About this product", "About this product", "", false, SLOT(help_about())},
    {"actionUp", "Up", "Up", "Up", "", "", "Ctrl+Up", true, SLOT(up())},
    {"actionOriginal", "Original", "Original", "Drop rotation to 0 degrees",
     "Drop rotation to 0 degrees", "Drop rotation to 0 degrees", "Alt+O", true,
     SLOT(rotate_original())},
    {"actionDown", "Down", "Down", "Down", "", "", "Ctrl+Down", true,
     SLOT(down())},
    {"actionProperty", "Show property", "Show property", "Show property", "",
     "", "", true, SLOT(show_property())},
};

class MainWindowFrame : public testing::Test {
protected:
  void SetUp() override { window = std::make_unique<MainWindow>(); }

  QAction* action(const char* name) const {
    return window->findChild<QAction*>(name);
  }

  // Text of each entry of a menu or toolbar, "-" for a separator.
  static QStringList entries(const QWidget* holder) {
    QStringList list;
    for (const QAction* entry : holder->actions())
      list << (entry->isSeparator() ? QString("-") : entry->text());
    return list;
  }

  TempSettings settings;
  std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowFrame, ActionsMatchTheTable) {
  EXPECT_EQ(
      window->findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly)
          .size(),
      static_cast<int>(std::size(kActions)));
  for (const ActionRow& row : kActions) {
    SCOPED_TRACE(row.name);
    QAction* entry = action(row.name);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->parent(), window.get());
    EXPECT_EQ(entry->text(), row.text);
    EXPECT_EQ(entry->iconText(), row.icon_text);
    EXPECT_EQ(entry->toolTip(), row.tool_tip);
    EXPECT_EQ(entry->statusTip(), row.status_tip);
    EXPECT_EQ(entry->whatsThis(), row.whats_this);
    EXPECT_EQ(entry->shortcut(), QKeySequence(row.shortcut));
    EXPECT_EQ(!entry->icon().isNull(), row.has_icon);
    if (row.has_icon) {
      EXPECT_FALSE(entry->icon().pixmap(32, 32).isNull());
    }
    const bool is_property = QString(row.name) == "actionProperty";
    EXPECT_EQ(entry->isCheckable(), is_property);
    // Disconnecting succeeds only where the form made that very connection.
    EXPECT_TRUE(QObject::disconnect(entry, SIGNAL(triggered()), window.get(),
                                    row.slot));
  }
}

TEST_F(MainWindowFrame, ShowPropertyStartsChecked) {
  EXPECT_TRUE(action("actionProperty")->isChecked());
}

TEST_F(MainWindowFrame, MenusHoldTheirActionsInOrder) {
  const QList<QAction*> bar = window->menuBar()->actions();
  ASSERT_EQ(bar.size(), 4);
  EXPECT_EQ(bar[0]->text(), "File");
  EXPECT_EQ(bar[1]->text(), "Scale");
  EXPECT_EQ(bar[2]->text(), "Rotate");
  EXPECT_EQ(bar[3]->text(), "Help");
  EXPECT_EQ(entries(bar[0]->menu()),
            QStringList({"Open...", "-", "Up", "Previous", "Next", "Down", "-",
                         "Show property", "-", "Loose..."}));
  EXPECT_EQ(
      entries(bar[1]->menu()),
      QStringList({"Zoom in (+10%)", "Zoom out (-10%)", "Fit to full page"}));
  EXPECT_EQ(entries(bar[2]->menu()), QStringList({"Original", "-", "+90", "-90",
                                                  "-", "180", "-", "Any..."}));
  EXPECT_EQ(entries(bar[3]->menu()), QStringList({"About..."}));
}

TEST_F(MainWindowFrame, ToolbarsHoldTheirActionsInOrder) {
  auto* main_bar = window->findChild<QToolBar*>("toolBar");
  auto* property_bar = window->findChild<QToolBar*>("toolBar_2");
  ASSERT_NE(main_bar, nullptr);
  ASSERT_NE(property_bar, nullptr);
  EXPECT_EQ(main_bar->windowTitle(), "toolBar");
  EXPECT_EQ(property_bar->windowTitle(), "toolBar_2");
  EXPECT_EQ(window->toolBarArea(main_bar), Qt::TopToolBarArea);
  EXPECT_EQ(window->toolBarArea(property_bar), Qt::TopToolBarArea);
  EXPECT_EQ(
      entries(main_bar),
      QStringList({"Open...", "-", "Previous", "Next", "-", "Zoom out (-10%)",
                   "Zoom in (+10%)", "Fit to full page", "-", "Original", "-90",
                   "+90", "180", "Any..."}));
  EXPECT_EQ(entries(property_bar), QStringList({"Show property"}));
}

TEST_F(MainWindowFrame, StatusBarReadsLeftToRight) {
  window->show();
  QList<QWidget*> widgets;
  for (QWidget* child : window->statusBar()->findChildren<QWidget*>(
           QString(), Qt::FindDirectChildrenOnly)) {
    if (child->isVisible() && !qobject_cast<QSizeGrip*>(child))
      widgets << child;
  }
  std::sort(widgets.begin(), widgets.end(), [](QWidget* a, QWidget* b) {
    return a->geometry().x() < b->geometry().x();
  });
  ASSERT_EQ(widgets.size(), 9);
  const QStringList captions = {"Current position:",  "", "", "",
                                "Relative position:", "", "", "",
                                "Greed position:"};
  for (int i = 0; i < widgets.size(); ++i) {
    SCOPED_TRACE(i);
    auto* label = qobject_cast<QLabel*>(widgets[i]);
    const bool is_gap = i == 3 || i == 7;
    if (is_gap) {
      EXPECT_EQ(label, nullptr);
      EXPECT_EQ(widgets[i]->width(), 10);
      continue;
    }
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), captions[i]);
    if (captions[i].isEmpty()) {
      EXPECT_EQ(label->minimumWidth(), 70);
      EXPECT_EQ(label->maximumWidth(), 70);
    }
  }
}

TEST_F(MainWindowFrame, FrameBeforeAnyFile) {
  EXPECT_EQ(window->windowTitle(), "MainWindow");
  EXPECT_EQ(window->objectName(), "MainWindow");
  EXPECT_EQ(window->minimumSize(), QSize(100, 100));
  auto* splitter = qobject_cast<QSplitter*>(window->centralWidget());
  ASSERT_NE(splitter, nullptr);
  EXPECT_EQ(splitter->orientation(), Qt::Horizontal);
}

TEST_F(MainWindowFrame, ClosingStoresTheSplitterState) {
  const QByteArray state =
      qobject_cast<QSplitter*>(window->centralWidget())->saveState();
  EXPECT_FALSE(QSettings().contains("mainwindow.splitter"));
  window.reset();
  EXPECT_EQ(QSettings().value("mainwindow.splitter").toByteArray(), state);
}

}  // namespace
