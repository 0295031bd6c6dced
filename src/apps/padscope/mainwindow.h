#pragma once

#include <QMainWindow>
#include <QPointF>

class QLabel;
class QSplitter;

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow {
  Q_OBJECT

public:
  MainWindow();
  ~MainWindow() override;

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
  void build_layout();
  void build_status_bar();

  double zoom_factor;
  Ui::MainWindow* ui;
  QLabel* current_x = nullptr;
  QLabel* current_y = nullptr;
  QLabel* relative_x = nullptr;
  QLabel* relative_y = nullptr;
  QSplitter* splitter = nullptr;
};
