#pragma once

#include "apps/padscope/dir_navigator.h"
#include "zwidget/zviewer/mine_enum.h"

#include <QMainWindow>
#include <QPointF>

class QLabel;
class QSplitter;

namespace Ui {
class MainWindow;
}

namespace zwidget::zcvpcb {
class HtmlProperty;
class ZObjCanvas;
class ZObjFactory;
}  // namespace zwidget::zcvpcb

class MainWindow : public QMainWindow {
  Q_OBJECT

public:
  MainWindow();
  ~MainWindow() override;

protected:
  void showEvent(QShowEvent* event) override;

private slots:
  void open();
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
  // Every command that opens a path goes here: it becomes the current file
  // and is read with `parser`, or with its file name's parser when that is
  // empty.
  void show_path(const QString& path, const QString& parser = QString());
  // Replaces the canvas and panel by a new pair for the parser and loads
  // the file into it; a failed load shows the cover scene.
  void load_file(const QString& path, const QString& parser);
  // The file path, and for a library of several modules the shown one.
  void update_title();

  double zoom_factor;
  Ui::MainWindow* ui;
  zwidget::zcvpcb::ZObjCanvas* canvas = nullptr;
  zwidget::zcvpcb::HtmlProperty* property = nullptr;
  DirNavigator navigator;
  MineEnum types;
  QString fileName;
  QLabel* current_x = nullptr;
  QLabel* current_y = nullptr;
  QLabel* relative_x = nullptr;
  QLabel* relative_y = nullptr;
  QSplitter* splitter = nullptr;
  zwidget::zcvpcb::ZObjFactory* factory;
  // The pane layout read at construction, applied again once the window is
  // laid out: a splitter scales sizes set before that by its stretch, not
  // in their proportion.
  QByteArray initial_state;
  QList<int> initial_sizes;
};
