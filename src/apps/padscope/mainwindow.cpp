#include "apps/padscope/mainwindow.h"

#include "apps/padscope/footprint_output.h"
#include "apps/padscope/layers_panel.h"
#include "apps/padscope/library_panel.h"
#include "apps/padscope/recent_files.h"
#include "apps/padscope/shortcut_keeper.h"
#include "apps/padscope/stored_state.h"
#include "apps/padscope/zintent.h"
#include "ui_resource.h"
#include "zwidget/zviewer/footprint_formats.h"
#include "zwidget/zviewer/module/html_property.h"
#include "zwidget/zviewer/obj_canvas.h"
#include "zwidget/zviewer/obj_factory.h"

#include <QAction>
#include <QActionGroup>
#include <QDebug>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <exception>

// The icons live in a static library; naming the bundle here links it in.
static void init_icon_resources() {
  Q_INIT_RESOURCE(padscope_icons);
}

namespace {

const char* const kSplitterKey = "mainwindow.splitter";
const char* const kSplitterLeftKey = "mainwindow.splitter.0";
const char* const kSplitterRightKey = "mainwindow.splitter.1";
const char* const kHideKey = "mainwindow.splitter.hide";
const char* const kLibraryShownKey = "library/shown";
const char* const kLibraryWidthKey = "library/width";
const char* const kGeometryKey = "mainwindow.geometry";
const char* const kLayersShownKey = "layers/shown";
const char* const kThemeKey = "view/theme";
const char* const kHiddenLayersKey = "view/hidden_layers";
const char* const kUnitKey = "view/unit";

using zwidget::zcvpcb::footprint_formats;
using zwidget::zcvpcb::FootprintFormat;

// A pane width from the settings; one that is no number is discarded.
int stored_width(QSettings& settings, const QString& key, int fallback) {
  bool number = false;
  const int width = settings.value(key, fallback).toInt(&number);
  if (number) return width;
  qDebug() << "Discarding the stored width" << key;
  settings.remove(key);
  return fallback;
}

}  // namespace

MainWindow::MainWindow()
    : QMainWindow(nullptr),
      zoom_factor(zwidget::zcvpcb::kZoomStep),
      ui(new Ui::MainWindow),
      factory(new zwidget::zcvpcb::ZObjFactory) {
  for (const FootprintFormat& format : footprint_formats())
    navigator.filters << tr(format.pattern);
  init_icon_resources();
  ui->setupUi(this);
  register_file_types();

  splitter = new QSplitter();
  splitter->setOrientation(Qt::Horizontal);
  create_initial_pair();
  QSettings settings;
  if (settings.contains(tr(kSplitterKey))) {
    const QVariant stored = settings.value(tr(kSplitterKey));
    if (stored.userType() == QMetaType::QByteArray &&
        is_sound_splitter_state(stored.toByteArray()) &&
        splitter->restoreState(stored.toByteArray())) {
      initial_state = stored.toByteArray();
    } else {
      qDebug() << "Discarding the stored splitter state, a"
               << stored.typeName();
      settings.remove(tr(kSplitterKey));
    }
  }
  if (initial_state.isEmpty()) {
    initial_sizes = {stored_width(settings, tr(kSplitterLeftKey), 30),
                     stored_width(settings, tr(kSplitterRightKey), 100)};
    splitter->setSizes(initial_sizes);
  }
  setCentralWidget(splitter);
  restore_property_visibility();
  build_status_bar();
  build_library_panel();
  build_view_menu();
  add_compare_action();
  new FootprintOutput(
      this, ui->menuFile, ui->actionLoose, [this] { return canvas; },
      [this](const QString& text) { statusBar()->showMessage(text, 5000); });
  build_view_actions();
  connect_inspection();
  new ShortcutKeeper(this);
  setAcceptDrops(true);
  // Else the first widget that takes the focus gets it: the library's
  // filter, which would swallow the canvas's keys.
  canvas->setFocus();
}

void MainWindow::add_compare_action() {
  auto* compare = new QAction(tr("Compare with..."), this);
  compare->setObjectName("actionCompare");
  compare->setStatusTip(
      tr("Compare the footprint shown with another footprint file"));
  // Beside Open, before the first separator.
  const QList<QAction*> file_actions = ui->menuFile->actions();
  ui->menuFile->insertAction(file_actions.value(1), compare);
  connect(compare, &QAction::triggered, this, &MainWindow::compare_with);
}

MainWindow::~MainWindow() {
  QSettings settings;
  settings.setValue(tr(kSplitterKey), splitter->saveState());
  settings.setValue(kGeometryKey, saveGeometry());
  if (library->isVisible())
    settings.setValue(kLibraryWidthKey, library->width());
  delete ui;
  // The factory lives as long as the window: the pairs it made do not
  // refer to it, so it can go last.
  delete factory;
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (initial_state.isEmpty() && initial_sizes.size() != 2) return;
  layout()->activate();
  if (!initial_state.isEmpty()) {
    splitter->restoreState(initial_state);
  } else {
    // The widths are a proportion: a splitter raises small sizes to each
    // pane's minimum first, which would lose it.
    const double left = std::max(initial_sizes[0], 0);
    const double right = std::max(initial_sizes[1], 0);
    if (left + right > 0) {
      const int total = splitter->width();
      int first = static_cast<int>(total * left / (left + right));
      // On a first start the panel reads without breaking its words, as
      // far as half the window allows.
      if (!QSettings().contains(tr(kSplitterLeftKey)))
        first = std::max(first, std::min(property->reading_width(), total / 2));
      splitter->setSizes({first, total - first});
    }
  }
  initial_state.clear();
  initial_sizes.clear();
}

void MainWindow::register_file_types() {
  factory->set_default(new NoFacItem);
  for (const FootprintFormat& format : footprint_formats())
    factory->add(tr(format.parser), format.factory_item());
}

void MainWindow::create_initial_pair() {
  const auto pair = factory->default_item()->create();
  canvas = pair.first;
  property = pair.second;
  splitter->addWidget(property);
  splitter->addWidget(canvas);
  connect(canvas, SIGNAL(loaded(std::shared_ptr<zcore::BaseModel>)), property,
          SLOT(update_model(std::shared_ptr<zcore::BaseModel>)));
}

void MainWindow::restore_property_visibility() {
  QSettings settings;
  if (settings.contains(tr(kHideKey)))
    ui->actionProperty->setChecked(!settings.value(tr(kHideKey)).toBool());
  show_property();
}

void MainWindow::build_status_bar() {
  auto value_label = [this](const char* name) {
    auto* label = new QLabel(this);
    label->setObjectName(name);
    // Room for a footprint of tens of millimetres in every unit, as the
    // unit stands once, on the right; more widens it.
    label->setMinimumWidth(
        label->fontMetrics().horizontalAdvance("X=-00.0000") + 4);
    return label;
  };
  QStatusBar* bar = ui->statusbar;
  // Why a load or a comparison failed takes the positions' place: they
  // leave it no room in a window of the start size, and the cover shows no
  // positions.
  load_message = new QLabel(this);
  load_message->setObjectName("loadMessage");
  load_message->hide();
  bar->addWidget(load_message, 0);
  const auto add = [this, bar](QWidget* widget) {
    bar->addWidget(widget, 0);
    position_widgets.push_back(widget);
  };
  // The unit of every position first: a narrow window cuts the bar short at
  // its right end.
  unit_button = new QToolButton(this);
  unit_button->setObjectName("unitButton");
  unit_button->setAutoRaise(true);
  unit_button->setToolTip(tr("The unit of lengths; click to switch (Ctrl+U)"));
  unit_button->setFocusPolicy(Qt::NoFocus);
  add(unit_button);
  add(new QLabel(tr("Current position:"), this));
  current_x = value_label("currentX");
  add(current_x);
  current_y = value_label("currentY");
  add(current_y);
  add(new zwidget::zaux::ZIntent(10));
  add(new QLabel(tr("Relative position:"), this));
  relative_x = value_label("relativeX");
  add(relative_x);
  relative_y = value_label("relativeY");
  add(relative_y);
  add(new zwidget::zaux::ZIntent(10));
  add(new QLabel(tr("Grid position:"), this));
  grid_x = value_label("gridX");
  add(grid_x);
  grid_y = value_label("gridY");
  add(grid_y);
}

void MainWindow::show_load_message(const QString& text) {
  load_message->setText(text);
  load_message->setVisible(!text.isEmpty());
  for (QWidget* widget : position_widgets) widget->setVisible(text.isEmpty());
}

QMenu* MainWindow::view_menu() {
  if (auto* menu = findChild<QMenu*>("menuView")) return menu;
  auto* menu = new QMenu(tr("View"), menuBar());
  menu->setObjectName("menuView");
  menuBar()->insertMenu(ui->menuHelp->menuAction(), menu);
  return menu;
}

void MainWindow::build_view_actions() {
  ui->actionOpen->setShortcuts(
      {QKeySequence(tr("Ctrl+N")), QKeySequence(tr("Ctrl+O"))});
  // Ctrl+= is Ctrl++ without the Shift most layouts need for +.
  ui->action_scale_plus->setShortcuts(
      {QKeySequence(tr("Ctrl++")), QKeySequence(tr("Ctrl+="))});

  QMenu* units = view_menu()->addMenu(tr("Units"));
  units->setObjectName("menuUnits");
  auto* group = new QActionGroup(this);
  const std::pair<zcore::length_unit, const char*> names[] = {
      {zcore::length_unit::mm, QT_TR_NOOP("Millimetres")},
      {zcore::length_unit::mil, QT_TR_NOOP("Mils")},
      {zcore::length_unit::inch, QT_TR_NOOP("Inches")}};
  for (const auto& [each, name] : names) {
    QAction* action = units->addAction(tr(name));
    action->setObjectName(QString("actionUnit_") + zcore::unit_symbol(each));
    action->setCheckable(true);
    group->addAction(action);
    connect(action, &QAction::triggered, this,
            [this, each = each] { set_length_unit(each); });
  }
  units->addSeparator();
  QAction* next_unit = units->addAction(tr("Switch units"));
  next_unit->setObjectName("actionSwitchUnits");
  next_unit->setShortcut(QKeySequence(tr("Ctrl+U")));
  connect(next_unit, &QAction::triggered, this,
          [this] { set_length_unit(zcore::next_unit(unit)); });
  connect(unit_button, &QToolButton::clicked, next_unit, &QAction::trigger);

  measure_action = new QAction(tr("Measure"), this);
  measure_action->setObjectName("actionMeasure");
  measure_action->setCheckable(true);
  measure_action->setShortcut(QKeySequence(tr("Ctrl+Shift+M")));
  measure_action->setIcon(QIcon(":/ico/images/ico/measure.png"));
  measure_action->setToolTip(
      tr("Measure between two points; Esc ends (Ctrl+Shift+M)"));
  connect(measure_action, &QAction::toggled, this,
          [this](bool on) { canvas->set_measuring(on); });
  view_menu()->addAction(measure_action);
  ui->toolBar->addSeparator();
  ui->toolBar->addAction(measure_action);

  auto* find = new QAction(tr("Find footprint"), this);
  find->setObjectName("actionFindFootprint");
  find->setShortcuts({QKeySequence(tr("Ctrl+K")), QKeySequence(tr("/"))});
  find->setToolTip(tr("Type into the library's filter"));
  connect(find, &QAction::triggered, this, &MainWindow::focus_library_filter);
  ui->menuFile->insertAction(ui->actionProperty, find);
  addAction(find);

  const std::optional<zcore::length_unit> stored =
      zcore::unit_named(QSettings().value(kUnitKey).toString().toStdString());
  set_length_unit(stored.value_or(zcore::length_unit::mm));
}

void MainWindow::set_length_unit(zcore::length_unit next) {
  unit = next;
  const QString symbol = zcore::unit_symbol(unit);
  QSettings().setValue(kUnitKey, symbol);
  unit_button->setText(symbol);
  if (auto* action = findChild<QAction*>("actionUnit_" + symbol))
    action->setChecked(true);
  canvas->set_unit(unit);
  property->set_unit(unit);
  show_positions();
  show_selection();
}

QString MainWindow::selection_text() const {
  return canvas->selection_text();
}

void MainWindow::connect_inspection() {
  canvas->set_unit(unit);
  property->set_unit(unit);
  connect(canvas, &zwidget::zcvpcb::ZObjCanvas::selection_changed, this,
          &MainWindow::show_selection);
  connect(canvas, &zwidget::zcvpcb::ZObjCanvas::measurement_changed, this,
          &MainWindow::show_measurement);
  connect(canvas, &zwidget::zcvpcb::ZObjCanvas::measuring_changed,
          measure_action, &QAction::setChecked);
  canvas->set_measuring(measure_action->isChecked());
  show_measurement();
}

void MainWindow::show_selection() {
  property->set_selection(canvas->selection_facts());
}

void MainWindow::show_measurement() {
  // In place of the positions while a ruler stands: the bar has no room
  // for both in the window's first width.
  const QStringList ruler = canvas->measurement_text();
  if (ruler.isEmpty()) {
    statusBar()->clearMessage();
  } else {
    statusBar()->showMessage(tr("Measured: %1").arg(ruler.join("   ")));
  }
}

void MainWindow::focus_library_filter() {
  if (!library->isVisible()) {
    library->toggleViewAction()->trigger();
  }
  library->filter_field()->setFocus(Qt::ShortcutFocusReason);
  library->filter_field()->selectAll();
}

bool MainWindow::restore_geometry() {
  const QVariant stored = QSettings().value(kGeometryKey);
  return stored.userType() == QMetaType::QByteArray &&
         restoreGeometry(stored.toByteArray());
}

void MainWindow::size_library_panel() {
  if (library_sized || !library->isVisible() || library->isFloating()) return;
  library_sized = true;
  bool number = false;
  int width = QSettings().value(kLibraryWidthKey).toInt(&number);
  if (!number || width <= 0) width = this->width() / 3;
  width = std::min(width, this->width() * 4 / 5);
  resizeDocks({library}, {width}, Qt::Horizontal);
}

void MainWindow::build_library_panel() {
  recent = new RecentFiles(new QMenu(tr("Recent files"), this));
  ui->menuFile->insertMenu(ui->menuFile->actions().value(1),
                           qobject_cast<QMenu*>(recent->parent()));
  connect(recent, &RecentFiles::open_requested, this, &MainWindow::open_path);

  library = new LibraryPanel(navigator.filters, this);
  addDockWidget(Qt::RightDockWidgetArea, library);
  QAction* toggle = library->toggleViewAction();
  toggle->setObjectName("actionLibrary");
  toggle->setText(tr("Library"));
  toggle->setShortcut(QKeySequence(tr("Ctrl+L")));
  toggle->setToolTip(tr("Show or hide the footprints of the library"));
  ui->menuFile->insertAction(ui->actionProperty, toggle);
  library->setVisible(QSettings().value(kLibraryShownKey, false).toBool());
  // The user's choice, not the window's own hiding at close, is stored.
  connect(toggle, &QAction::triggered, this, [this](bool shown) {
    QSettings().setValue(kLibraryShownKey, shown);
    if (shown) footprint_shown();
  });
  // The width waits until the panel is laid out in a shown window.
  connect(library, &QDockWidget::visibilityChanged, this, [this](bool shown) {
    if (shown && !library_sized)
      QTimer::singleShot(0, this, &MainWindow::size_library_panel);
  });
  connect(library, &LibraryPanel::open_requested, this,
          &MainWindow::open_footprint);
}

void MainWindow::build_view_menu() {
  using namespace zwidget::zcvpcb;
  QSettings settings;
  picture.theme = theme_named(settings.value(kThemeKey).toString())
                      .value_or(ColourTheme::classic);
  for (const QString& layer : settings.value(kHiddenLayersKey).toStringList())
    picture.hidden.insert(layer);

  auto* view = new QMenu(tr("View"), this);
  view->setObjectName("menuView");
  ui->menubar->insertMenu(ui->menuHelp->menuAction(), view);
  QMenu* themes = view->addMenu(tr("Theme"));
  auto* group = new QActionGroup(this);
  for (const ColourTheme theme : colour_themes()) {
    QAction* choice = themes->addAction(theme_name(theme));
    choice->setObjectName("actionTheme" + theme_name(theme));
    choice->setCheckable(true);
    choice->setChecked(theme == picture.theme);
    group->addAction(choice);
    connect(choice, &QAction::triggered, this, [this, theme] {
      PictureOptions next = picture;
      next.theme = theme;
      set_picture(next);
    });
  }
  QAction* below = view->addAction(tr("View from below"));
  below->setObjectName("actionFromBelow");
  below->setCheckable(true);
  below->setShortcut(QKeySequence(tr("Ctrl+B")));
  below->setToolTip(tr("Mirror the footprint as seen from the back"));
  connect(below, &QAction::toggled, this, [this](bool on) {
    PictureOptions next = picture;
    next.from_below = on;
    set_picture(next);
  });

  layers = new LayersPanel(this);
  addDockWidget(Qt::RightDockWidgetArea, layers);
  layers->set_hidden(picture.hidden);
  QAction* toggle = layers->toggleViewAction();
  toggle->setObjectName("actionLayers");
  toggle->setShortcut(QKeySequence(tr("Ctrl+Shift+L")));
  toggle->setToolTip(tr("Show or hide the layers panel"));
  view->addSeparator();
  view->addAction(toggle);
  layers->setVisible(settings.value(kLayersShownKey, false).toBool());
  connect(toggle, &QAction::triggered, this, [this](bool shown) {
    QSettings().setValue(kLayersShownKey, shown);
    if (shown) update_layer_rows();
  });
  connect(layers, &LayersPanel::hidden_changed, this,
          [this](const QSet<QString>& hidden) {
            PictureOptions next = picture;
            next.hidden = hidden;
            set_picture(next);
          });
  canvas->set_picture(picture);
}

void MainWindow::set_picture(const zwidget::zcvpcb::PictureOptions& options) {
  const bool recolour = options.theme != picture.theme;
  picture = options;
  canvas->set_picture(picture);
  QSettings settings;
  settings.setValue(kThemeKey, zwidget::zcvpcb::theme_name(picture.theme));
  QStringList hidden = picture.hidden.values();
  hidden.sort();
  settings.setValue(kHiddenLayersKey, hidden);
  if (layers->hidden() != picture.hidden) layers->set_hidden(picture.hidden);
  if (recolour) update_layer_rows();
}

void MainWindow::update_layer_rows() {
  if (!layers->isVisible()) return;
  layers->set_rows(zwidget::zcvpcb::layers_used(canvas->scene()->items()),
                   picture.theme);
}

bool MainWindow::load_file(const QString& path, const QString& parser) {
  disconnect(canvas, SIGNAL(loaded(std::shared_ptr<zcore::BaseModel>)),
             property, SLOT(update_model(std::shared_ptr<zcore::BaseModel>)));
  disconnect(canvas, SIGNAL(position_changed(const QPointF&, const QPointF&)),
             this, SLOT(position_changed(const QPointF&, const QPointF&)));
  setWindowTitle(path);
  // The pane widths the user chose survive the exchange of the pair; the
  // state holds a hidden panel's width too, which it gets when shown.
  const QByteArray panes = splitter->saveState();
  // The new canvas takes over the focus of the old one, which would pass
  // it on to the next widget when deleted.
  const bool canvas_focused = canvas->hasFocus() || !focusWidget();
  delete property;
  property = nullptr;
  delete canvas;
  canvas = nullptr;

  const auto pair = factory->create(parser);
  canvas = pair.first;
  property = pair.second;
  canvas->set_picture(picture);
  connect(canvas, SIGNAL(position_changed(const QPointF&, const QPointF&)),
          this, SLOT(position_changed(const QPointF&, const QPointF&)));
  connect(canvas, SIGNAL(loaded(std::shared_ptr<zcore::BaseModel>)), property,
          SLOT(update_model(std::shared_ptr<zcore::BaseModel>)));
  QString failure;
  try {
    canvas->load(path);
  } catch (const std::exception& error) {
    failure = QString::fromLocal8Bit(error.what());
  } catch (...) {
    failure = tr("unknown error");
  }
  if (!failure.isEmpty()) canvas->reset_cover();
  // Nothing to show is no failure to report.
  if (!path.isEmpty() && !failure.isEmpty()) {
    show_load_message(tr("%1: %2").arg(QFileInfo(path).fileName(), failure));
  } else {
    show_load_message(QString());
  }
  splitter->insertWidget(0, property);
  splitter->insertWidget(1, canvas);
  splitter->restoreState(panes);
  connect_inspection();
  property->setVisible(ui->actionProperty->isChecked());
  canvas->setVisible(true);
  if (canvas_focused) canvas->setFocus();
  footprint_shown();
  return failure.isEmpty();
}

void MainWindow::update_title() {
  if (canvas->module_count() > 1) {
    setWindowTitle(QString("%1 \u2014 %2 (%3/%4)")
                       .arg(fileName, canvas->module_name())
                       .arg(canvas->module_index() + 1)
                       .arg(canvas->module_count()));
  } else {
    setWindowTitle(fileName);
  }
}

bool MainWindow::show_path(const QString& path) {
  fileName = path;
  // Nothing to show keeps the folder: Previous and Next go on from there.
  if (!path.isEmpty()) navigator.path = path;
  const FootprintFormat* format = zwidget::zcvpcb::format_for_file(path);
  return load_file(path, format ? tr(format->parser) : QString());
}

void MainWindow::footprint_shown() {
  update_title();
  update_layer_rows();
  if (!library->isVisible() || fileName.isEmpty()) return;
  QStringList modules;
  if (canvas->module_count() > 1) modules = canvas->module_names();
  library->set_current(fileName, modules, canvas->module_index());
}

void MainWindow::show_property() {
  const bool shown = ui->actionProperty->isChecked();
  property->setVisible(shown);
  QSettings().setValue(tr(kHideKey), !shown);
}

void MainWindow::position_changed(const QPointF& pos, const QPointF& rel_pos) {
  cursor = std::make_pair(pos, rel_pos);
  show_positions();
}

QString MainWindow::length_text(double scene_length) const {
  return QString::fromStdString(zcore::format_number(
      scene_length * canvas->millimetres_per_unit(), unit));
}

void MainWindow::show_positions() {
  if (!cursor) return;
  const auto& [pos, rel_pos] = *cursor;
  auto show = [this](QLabel* label, const char* axis, double value) {
    label->setText(QString("%1=%2").arg(axis, length_text(value)));
  };
  show(current_x, "X", pos.x());
  show(current_y, "Y", pos.y());
  show(relative_x, "X", rel_pos.x());
  show(relative_y, "Y", rel_pos.y());
  const QPointF grid = canvas->grid_point(pos);
  show(grid_x, "X", grid.x());
  show(grid_y, "Y", grid.y());
}
