#pragma once

#include "apps/padscope/background_index.h"

#include <QDockWidget>
#include <QStringList>
#include <QThreadPool>

#include <atomic>
#include <memory>

class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QListWidgetItem;
class QModelIndex;
class QToolButton;
class QTreeView;
class SearchResultsModel;
class ThumbnailModel;

// The footprints of the current library beside the canvas, narrowed by a
// filter field; in its second mode the same field searches every library
// below a root folder through a footprint index built in the background.
// Searches run on a thread of their own, a newer one stopping the older,
// so that no keystroke waits for one.
class LibraryPanel : public QDockWidget {
  Q_OBJECT

public:
  // `filters` are the name patterns of footprint files, as the navigator's.
  LibraryPanel(const QStringList& filters, QWidget* parent = nullptr);
  // Keeps the columns' widths for the next start; waits for the search.
  ~LibraryPanel() override;

  // Makes the footprint at `path` the current one: module `module` of the
  // legacy library `path` whose modules are `modules`, or, with no modules,
  // a file of its folder. Lists that library when it is another, by name
  // alone, and selects the footprint.
  void set_current(const QString& path, const QStringList& modules = {},
                   int module = 0);

  // Search mode; entering it starts indexing the search root.
  bool searching() const;
  void set_searching(bool on);
  // The folder searched: one chosen (and kept for the next start), else
  // the parent of the current library.
  QString search_root() const;
  void set_search_root(const QString& root);
  BackgroundIndex& index() { return index_; }

  QLineEdit* filter_field() const { return filter; }
  QListWidget* library_list() const { return names; }
  QTreeView* search_results() const { return results; }
  // The library, or the first results of a search, as pictures; kept for
  // the next start.
  bool showing_pictures() const;
  void set_pictures(bool on);
  QListView* picture_grid() const { return grid; }
  ThumbnailModel& thumbnails() const { return *pictures_model; }
  // The folder or library the panel shows it lists or searches.
  QString shown_folder() const;

signals:
  // A footprint chosen: a file, or module `module` of a legacy library
  // (-1 for a file).
  void open_requested(const QString& path, int module);
  // The results of the field's query are shown.
  void searched();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void build_controls(QWidget* body);
  void build_results();
  void build_grid(QWidget* body);
  void lay_out(QWidget* body);
  void connect_controls();
  void connect_index();
  void open_on_return();
  void apply_filter();
  void run_search();
  void show_hits(const IndexSnapshot& index,
                 std::shared_ptr<const zcore::footprint_query> query,
                 std::vector<zcore::search_hit> hits);
  void select_current_result();
  void select_current_picture();
  void choose_root();
  void open_item(QListWidgetItem* item);
  void open_result(const QModelIndex& index);
  void show_count(int shown, int total);
  void show_folder();
  void show_view();
  // Gives the grid what the list or the results show.
  void fill_grid();
  void open_index(const QModelIndex& index, int path_role, int module_role);

  QStringList filters;
  QLineEdit* filter;
  QToolButton* mode;
  QToolButton* root_button;
  QToolButton* pictures_button;
  QLabel* folder;
  QLabel* count;
  QListWidget* names;
  QTreeView* results;
  SearchResultsModel* found;
  QListView* grid;
  ThumbnailModel* pictures_model;
  BackgroundIndex index_;
  // One search at a time; a new one stops the one before through its flag,
  // and only the newest one's results are shown.
  QThreadPool searcher;
  std::shared_ptr<std::atomic<bool>> search_stop;
  quint64 search_number = 0;
  // The footprint shown on the canvas.
  QString current_path;
  int current_module = -1;
  // The folder or legacy file listed, and the library searched from.
  QString library;
  QString default_root;
  QString chosen_root;
  // Set while the panel moves the selection itself, which opens nothing.
  bool selecting = false;
};
