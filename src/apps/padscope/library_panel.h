#pragma once

#include "apps/padscope/background_index.h"

#include <QDockWidget>
#include <QStringList>

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

// The footprints of the current library beside the canvas, narrowed by a
// filter field; in its second mode the same field searches every library
// below a root folder through a footprint index built in the background.
class LibraryPanel : public QDockWidget {
  Q_OBJECT

public:
  // `filters` are the name patterns of footprint files, as the navigator's.
  LibraryPanel(const QStringList& filters, QWidget* parent = nullptr);

  // Makes the footprint at `path` the current one: module `module` of the
  // legacy library `path` whose modules are `modules`, or, with no modules,
  // a file of its folder. Lists that library when it is another, by name
  // alone, and selects the footprint.
  void set_current(const QString& path, const QStringList& modules = {},
                   int module = 0);

  // Search mode; entering it starts indexing the search root.
  bool searching() const;
  void set_searching(bool on);
  // The folder searched: one chosen, else the parent of the current
  // library.
  QString search_root() const;
  void set_search_root(const QString& root);
  BackgroundIndex& index() { return index_; }

  QLineEdit* filter_field() const { return filter; }
  QListWidget* library_list() const { return names; }
  QTreeWidget* search_results() const { return results; }

signals:
  // A footprint chosen: a file, or module `module` of a legacy library
  // (-1 for a file).
  void open_requested(const QString& path, int module);
  // Progress of the index, for the status bar.
  void status(const QString& text);

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void apply_filter();
  void run_search();
  void choose_root();
  void open_item(QListWidgetItem* item);
  void open_result(QTreeWidgetItem* item);
  void show_count(int shown, int total);

  QStringList filters;
  QLineEdit* filter;
  QToolButton* mode;
  QToolButton* root_button;
  QLabel* count;
  QListWidget* names;
  QTreeWidget* results;
  BackgroundIndex index_;
  // The folder or legacy file listed, and the library searched from.
  QString library;
  QString default_root;
  QString chosen_root;
  // Set while the panel moves the selection itself, which opens nothing.
  bool selecting = false;
};
