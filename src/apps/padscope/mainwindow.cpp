#include "apps/padscope/mainwindow.h"

#include "apps/padscope/zintent.h"
#include "ui_resource.h"

#include <QLabel>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>

// The icons live in a static library; naming the bundle here links it in.
static void init_icon_resources() {
  Q_INIT_RESOURCE(padscope_icons);
}

namespace {

const char* const kSplitterKey = "mainwindow.splitter";
const char* const kSplitterLeftKey = "mainwindow.splitter.0";
const char* const kSplitterRightKey = "mainwindow.splitter.1";

}  // namespace

MainWindow::MainWindow()
    : QMainWindow(nullptr), zoom_factor(1.1), ui(new Ui::MainWindow) {
  init_icon_resources();
  ui->setupUi(this);
  build_layout();
}

MainWindow::~MainWindow() {
  QSettings().setValue(tr(kSplitterKey), splitter->saveState());
  delete ui;
}

void MainWindow::build_layout() {
  splitter = new QSplitter();
  splitter->setOrientation(Qt::Horizontal);

  QSettings settings;
  if (settings.contains(tr(kSplitterKey))) {
    splitter->restoreState(settings.value(tr(kSplitterKey)).toByteArray());
  } else {
    splitter->setSizes({settings.value(tr(kSplitterLeftKey), 30).toInt(),
                        settings.value(tr(kSplitterRightKey), 100).toInt()});
  }
  setCentralWidget(splitter);
  build_status_bar();
}

void MainWindow::build_status_bar() {
  auto value_label = [this]() {
    auto* label = new QLabel(this);
    label->setFixedWidth(70);
    return label;
  };
  QStatusBar* bar = ui->statusbar;
  bar->addWidget(new QLabel(tr("Current position:"), this), 0);
  current_x = value_label();
  bar->addWidget(current_x, 0);
  current_y = value_label();
  bar->addWidget(current_y, 0);
  bar->addWidget(new zwidget::zaux::ZIntent(10), 0);
  bar->addWidget(new QLabel(tr("Relative position:"), this), 0);
  relative_x = value_label();
  bar->addWidget(relative_x, 0);
  relative_y = value_label();
  bar->addWidget(relative_y, 0);
  bar->addWidget(new zwidget::zaux::ZIntent(10), 0);
  bar->addWidget(new QLabel(tr("Greed position:"), this), 0);
}

void MainWindow::open() {
}
void MainWindow::prev() {
}
void MainWindow::next() {
}
void MainWindow::up() {
}
void MainWindow::down() {
}
void MainWindow::scale_plus() {
}
void MainWindow::scale_minus() {
}
void MainWindow::scale_fill() {
}
void MainWindow::rotate_original() {
}
void MainWindow::rotate_p90() {
}
void MainWindow::rotate_m90() {
}
void MainWindow::rotate_180() {
}
void MainWindow::rotate_any() {
}
void MainWindow::help_about() {
}
void MainWindow::show_property() {
}
void MainWindow::position_changed(const QPointF&, const QPointF&) {
}
