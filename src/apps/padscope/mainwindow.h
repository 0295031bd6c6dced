#pragma once

#include "apps/padscope/dir_navigator.h"
#include "zcore/length_units.h"
#include "zwidget/zviewer/layer_stack.h"

#include <QMainWindow>
#include <QPointF>

class LayersPanel;
#include <optional>
#include <utility>
#include <vector>

class LibraryPanel;
class QLabel;
class QMenu;
class QSplitter;
class QToolButton;
class RecentFiles;

namespace Ui {
class MainWindow;
}

namespace zwidget::zcvpcb {
class CompareView;
class HtmlProperty;
class ZObjCanvas;
class ZObjFactory;
}  // namespace zwidget::zcvpcb

class MainWindow : public QMainWindow {
  Q_OBJECT

public:
  MainWindow();
  ~MainWindow() override;

  // Opens a footprint file as Open does, by its file name's parser, or the
  // first footprint file of a folder as Up and Down do; the command line,
  // a drop and the recent files come here. False, with the reason in the
  // status bar, when nothing could be shown.
  bool open_path(const QString& path);
  // Shows two footprints compared in the compare window: the file
  // `before` (the first module of a library) against `after`. False, with
  // the reason in the status bar, when either cannot be read or drawn.
  bool compare_paths(const QString& before, const QString& after);
  // Puts the window where it was when the last one closed; false when
  // nothing sound was stored.
  bool restore_geometry();

  // The unit every length in the window is shown in; remembered.
  zcore::length_unit length_unit() const { return unit; }
  void set_length_unit(zcore::length_unit next);
  // The facts of what is selected on the canvas, one "Label: value" line
  // each in the unit; empty without a selection.
  QString selection_text() const;

protected:
  void showEvent(QShowEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

private slots:
  void open();
  // Compares the footprint shown with one the user chooses.
  void compare_with();
  void prev();
  void next();
  void up();
  void down();
  void scale_plus();
  void scale_minus();
  void scale_fill();
  void rotate_original();
  void rotate_p90();
  void rotate_m90();
  void rotate_180();
  void rotate_any();
  void help_about();
  void show_property();
  void position_changed(const QPointF& pos, const QPointF& rel_pos);

private:
  void register_file_types();
  void create_initial_pair();
  void restore_property_visibility();
  void build_status_bar();
  // Says why a load or a comparison failed; empty hides the message.
  void show_load_message(const QString& text);
  // Units, the library filter's key, and the second keys of Open and Zoom
  // in.
  void build_view_actions();
  // The View menu, made here unless the form has one.
  QMenu* view_menu();
  // Shows the library panel and puts the focus into its filter.
  void focus_library_filter();
  // Gives the library panel its stored width, or a third of the window.
  void size_library_panel();
  // The status bar's positions of the last cursor report, in the unit
  // that the button after them names.
  void show_positions();
  QString length_text(double scene_length) const;
  // The canvas tells the panel what is selected and the status bar what
  // it measures.
  void connect_inspection();
  void show_selection();
  void show_measurement();
  // Every command that opens a path goes here: it becomes the current file
  // and is read by the reader its name, else its first bytes, choose.
  // False when the load failed.
  bool show_path(const QString& path);
  // Replaces the canvas and panel by a new pair for the parser and loads
  // the file into it; a failed load shows the cover scene and its reason.
  bool load_file(const QString& path, const QString& parser);
  // The file path, and for a library of several modules the shown one.
  void update_title();
  // The title and the library panel follow the footprint shown.
  void footprint_shown();
  void build_library_panel();
  // The View menu: themes, the view from below, the layers panel.
  void build_view_menu();
  // Applies theme, layers and side to the canvas and remembers them.
  void set_picture(const zwidget::zcvpcb::PictureOptions& options);
  // The layers panel lists the layers of the footprint shown.
  void update_layer_rows();
  // Shows module `module` of a legacy library, or a file for -1.
  void open_footprint(const QString& path, int module);
  void add_compare_action();
  // Module `module` of `before` against the first of `after`.
  bool compare_footprints(const QString& before, int module,
                          const QString& after);

  double zoom_factor;
  Ui::MainWindow* ui;
  zwidget::zcvpcb::ZObjCanvas* canvas = nullptr;
  zwidget::zcvpcb::HtmlProperty* property = nullptr;
  DirNavigator navigator;
  QString fileName;
  QLabel* current_x = nullptr;
  QLabel* current_y = nullptr;
  QLabel* relative_x = nullptr;
  QLabel* relative_y = nullptr;
  QLabel* grid_x = nullptr;
  QLabel* grid_y = nullptr;
  QToolButton* unit_button = nullptr;
  QAction* measure_action = nullptr;
  QSplitter* splitter = nullptr;
  // Why the last load failed; empty after one that succeeded.
  QLabel* load_message = nullptr;
  // The unit and the positions, hidden while a load message shows.
  std::vector<QWidget*> position_widgets;
  zwidget::zcvpcb::ZObjFactory* factory;
  RecentFiles* recent = nullptr;
  LibraryPanel* library = nullptr;
  // Set once the library panel has its width of the last run.
  bool library_sized = false;
  LayersPanel* layers = nullptr;
  // Kept from footprint to footprint: each new canvas starts with it.
  zwidget::zcvpcb::PictureOptions picture;
  // A window of its own, made at the first comparison.
  zwidget::zcvpcb::CompareView* compare_window = nullptr;
  // The pane layout read at construction, applied again once the window is
  // laid out: a splitter scales sizes set before that by its stretch, not
  // in their proportion.
  QByteArray initial_state;
  QList<int> initial_sizes;
  zcore::length_unit unit = zcore::length_unit::mm;
  // The last cursor report, in scene units, shown again in another unit.
  std::optional<std::pair<QPointF, QPointF>> cursor;
};
