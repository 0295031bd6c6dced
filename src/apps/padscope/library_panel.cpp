#include "apps/padscope/library_panel.h"

#include "apps/padscope/search_results.h"
#include "apps/padscope/stored_state.h"
#include "apps/padscope/thumbnails.h"
#include "zcore/name_pattern.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPainter>
#include <QSettings>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kModuleRole = Qt::UserRole + 1;

const char* const kRootKey = "library/root";
const char* const kColumnsKey = "library/columns";
const char* const kPicturesKey = "library/pictures";

// The results a grid shows at most: enough to choose among, few enough to
// draw in seconds.
constexpr int kGridResults = 300;

const QString kPrettySuffix = QStringLiteral(".kicad_mod");

QString display_name(const QString& file) {
  return file.endsWith(kPrettySuffix) ? file.chopped(kPrettySuffix.size())
                                      : file;
}

bool is_move_key(int key) {
  return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
         key == Qt::Key_PageDown;
}

// A path elided in the middle to the label's width, whole in its tooltip;
// it never widens the panel.
class PathLabel : public QLabel {
public:
  using QLabel::QLabel;
  QSize minimumSizeHint() const override {
    return QSize(0, QLabel::minimumSizeHint().height());
  }

protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(text(), Qt::ElideMiddle,
                                              contentsRect().width()));
  }
};

// Keeps the current picture in sight when a new width lays the pictures
// out anew; the layout comes after the resize.
class PictureGrid : public QListView {
public:
  using QListView::QListView;

protected:
  void resizeEvent(QResizeEvent* event) override {
    QListView::resizeEvent(event);
    recentre = true;
  }
  void updateGeometries() override {
    QListView::updateGeometries();
    if (!recentre || !currentIndex().isValid()) return;
    recentre = false;
    scrollTo(currentIndex(), QAbstractItemView::PositionAtCenter);
  }

private:
  bool recentre = false;
};

// The columns' first widths; the name's stretches to what the others
// leave.
constexpr int kColumnWidths[] = {220, 150, 45, 50, 95};

}  // namespace

LibraryPanel::LibraryPanel(const QStringList& filters, QWidget* parent)
    : QDockWidget(tr("Library"), parent), filters(filters) {
  setObjectName("libraryPanel");
  searcher.setMaxThreadCount(1);
  auto* body = new QWidget(this);
  build_controls(body);
  build_results();
  build_grid(body);
  chosen_root = QSettings().value(kRootKey).toString();
  if (!chosen_root.isEmpty() && !QFileInfo(chosen_root).isDir())
    chosen_root.clear();
  lay_out(body);
  set_searching(false);
  connect_controls();
  connect_index();
}

void LibraryPanel::build_controls(QWidget* body) {
  filter = new QLineEdit(body);
  filter->setObjectName("libraryFilter");
  filter->setClearButtonEnabled(true);
  mode = new QToolButton(body);
  mode->setObjectName("searchMode");
  mode->setText(tr("All"));
  mode->setToolTip(tr("Search every library below the search folder"));
  mode->setCheckable(true);
  root_button = new QToolButton(body);
  root_button->setText(tr("Folder..."));
  root_button->setToolTip(tr("Choose the folder to search"));
  folder = new PathLabel(body);
  folder->setObjectName("libraryFolder");
  count = new QLabel(body);
  count->setObjectName("libraryCount");
  names = new QListWidget(body);
  names->setObjectName("libraryList");
  names->setUniformItemSizes(true);
  names->setTextElideMode(Qt::ElideMiddle);
  pictures_button = new QToolButton(body);
  pictures_button->setObjectName("libraryPictures");
  pictures_button->setText(tr("Pictures"));
  pictures_button->setToolTip(tr("Show the footprints as pictures"));
  pictures_button->setCheckable(true);
  pictures_button->setChecked(QSettings().value(kPicturesKey, false).toBool());
}

void LibraryPanel::build_grid(QWidget* body) {
  grid = new PictureGrid(body);
  grid->setObjectName("libraryGrid");
  pictures_model = new ThumbnailModel(grid);
  grid->setModel(pictures_model);
  grid->setViewMode(QListView::IconMode);
  grid->setMovement(QListView::Static);
  grid->setResizeMode(QListView::Adjust);
  grid->setUniformItemSizes(true);
  // Whole names, broken where they must be: variants differ anywhere.
  grid->setWordWrap(true);
  grid->setTextElideMode(Qt::ElideMiddle);
  grid->setIconSize(ThumbnailModel::kSize);
  grid->setGridSize(ThumbnailModel::kSize +
                    QSize(12, 3 * fontMetrics().height() + 8));
  grid->setSpacing(4);
}

void LibraryPanel::lay_out(QWidget* body) {
  auto* row = new QHBoxLayout;
  row->addWidget(filter);
  row->addWidget(mode);
  row->addWidget(root_button);
  row->addWidget(pictures_button);
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addLayout(row);
  layout->addWidget(folder);
  layout->addWidget(count);
  layout->addWidget(names);
  layout->addWidget(results);
  layout->addWidget(grid);
  setWidget(body);
}

void LibraryPanel::connect_controls() {
  filter->installEventFilter(this);
  connect(filter, &QLineEdit::textChanged, this, [this] {
    if (searching()) {
      run_search();
    } else {
      apply_filter();
    }
  });
  connect(filter, &QLineEdit::returnPressed, this,
          &LibraryPanel::open_on_return);
  connect(names, &QListWidget::currentItemChanged, this,
          [this](QListWidgetItem* item) {
            if (!selecting) open_item(item);
          });
  connect(names, &QListWidget::itemActivated, this, &LibraryPanel::open_item);
  connect(mode, &QToolButton::toggled, this, &LibraryPanel::set_searching);
  connect(pictures_button, &QToolButton::toggled, this,
          &LibraryPanel::set_pictures);
  connect(grid->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            if (!selecting)
              open_index(current, ThumbnailModel::path_role,
                         ThumbnailModel::module_role);
          });
  connect(grid, &QListView::activated, this, [this](const QModelIndex& at) {
    open_index(at, ThumbnailModel::path_role, ThumbnailModel::module_role);
  });
  connect(root_button, &QToolButton::clicked, this, &LibraryPanel::choose_root);
}

void LibraryPanel::connect_index() {
  connect(&index_, &BackgroundIndex::updated, this, [this] {
    if (searching()) run_search();
  });
  // Progress takes the count's place until the last results come: the
  // status bar of a window of the start size has no room beside the
  // positions.
  connect(&index_, &BackgroundIndex::progress, this, [this](int done, int all) {
    if (searching())
      count->setText(tr("Indexing footprints: %1 of %2").arg(done).arg(all));
  });
}

// Return opens what is current in the view shown, or makes its first row
// current.
void LibraryPanel::open_on_return() {
  if (showing_pictures()) {
    const QModelIndex current = grid->currentIndex();
    if (current.isValid()) {
      open_index(current, ThumbnailModel::path_role,
                 ThumbnailModel::module_role);
    } else if (pictures_model->rowCount() > 0) {
      grid->setCurrentIndex(pictures_model->index(0));
    }
    return;
  }
  if (searching()) {
    const QModelIndex current = results->currentIndex();
    if (current.isValid()) {
      open_result(current);
    } else if (found->rowCount() > 0) {
      results->setCurrentIndex(found->index(0, 0));
    }
    return;
  }
  QListWidgetItem* item = names->currentItem();
  for (int i = 0; (!item || item->isHidden()) && i < names->count(); ++i)
    item = names->item(i);
  if (!item || item->isHidden()) return;
  if (item == names->currentItem()) {
    open_item(item);
  } else {
    names->setCurrentItem(item);
  }
}

LibraryPanel::~LibraryPanel() {
  if (search_stop) *search_stop = true;
  searcher.waitForDone();
  QSettings().setValue(kColumnsKey, results->header()->saveState());
}

void LibraryPanel::build_results() {
  results = new QTreeView(widget());
  results->setObjectName("searchResults");
  found = new SearchResultsModel(results);
  results->setModel(found);
  results->setItemDelegateForColumn(SearchResultsModel::name,
                                    new MatchDelegate(results));
  results->setRootIsDecorated(false);
  results->setUniformRowHeights(true);
  results->setAllColumnsShowFocus(true);
  results->setTextElideMode(Qt::ElideMiddle);
  QHeaderView* header = results->header();
  header->setStretchLastSection(false);
  header->setSectionsMovable(false);
  for (int column = 0; column < SearchResultsModel::columns; ++column)
    header->resizeSection(column, kColumnWidths[column]);
  header->setSectionResizeMode(SearchResultsModel::name, QHeaderView::Stretch);
  header->setMinimumSectionSize(30);
  const QVariant stored = QSettings().value(kColumnsKey);
  if (stored.userType() == QMetaType::QByteArray &&
      is_sound_header_state(stored.toByteArray()))
    header->restoreState(stored.toByteArray());
  results->hide();
  connect(results->selectionModel(), &QItemSelectionModel::currentRowChanged,
          this, [this](const QModelIndex& current) {
            if (!selecting) open_result(current);
          });
  connect(results, &QTreeView::activated, this, &LibraryPanel::open_result);
}

void LibraryPanel::set_current(const QString& path, const QStringList& modules,
                               int module) {
  const QFileInfo file(path);
  current_path = file.absoluteFilePath();
  current_module = modules.isEmpty() ? -1 : module;
  const QString listed =
      modules.isEmpty() ? file.absolutePath() : file.absoluteFilePath();
  default_root = QFileInfo(listed).absolutePath();
  const auto find = [&]() -> QListWidgetItem* {
    for (int i = 0; i < names->count(); ++i) {
      QListWidgetItem* item = names->item(i);
      if (item->data(kPathRole).toString() == current_path &&
          item->data(kModuleRole).toInt() == current_module)
        return item;
    }
    return nullptr;
  };
  selecting = true;
  QListWidgetItem* current = listed == library ? find() : nullptr;
  if (!current) {
    // A filter typed for another library would hide this one's names.
    if (listed != library && !searching()) filter->clear();
    library = listed;
    names->clear();
    // Items are made apart and then added: one made in the list looks
    // itself up in it for each of its roles, which made listing quadratic
    // (200,000 files took 7.5 s).
    const auto add = [this](const QString& text, const QString& item_path,
                            int item_module) {
      auto* item = new QListWidgetItem(text);
      item->setData(kPathRole, item_path);
      item->setData(kModuleRole, item_module);
      names->addItem(item);
    };
    if (modules.isEmpty()) {
      const QDir dir(listed);
      for (const QString& name : dir.entryList(filters, QDir::Files))
        add(display_name(name), dir.absoluteFilePath(name), -1);
    } else {
      for (int i = 0; i < modules.size(); ++i) add(modules[i], listed, i);
    }
    apply_filter();
    current = find();
  }
  names->setCurrentItem(current);
  if (current) names->scrollToItem(current);
  select_current_result();
  select_current_picture();
  selecting = false;
  show_folder();
  if (searching() && chosen_root.isEmpty() && index_.root() != default_root)
    index_.start(default_root);
}

bool LibraryPanel::showing_pictures() const {
  return pictures_button->isChecked();
}

void LibraryPanel::set_pictures(bool on) {
  const QSignalBlocker blocker(pictures_button);
  pictures_button->setChecked(on);
  QSettings().setValue(kPicturesKey, on);
  show_view();
  fill_grid();
}

void LibraryPanel::show_view() {
  names->setVisible(!searching() && !showing_pictures());
  results->setVisible(searching() && !showing_pictures());
  grid->setVisible(showing_pictures());
}

void LibraryPanel::fill_grid() {
  if (!showing_pictures()) return;
  std::vector<Thumbnail> shown;
  if (searching()) {
    const int rows = std::min(found->rowCount(), kGridResults);
    for (int row = 0; row < rows; ++row) {
      const QModelIndex at = found->index(row, 0);
      shown.push_back({at.data().toString(),
                       at.data(SearchResultsModel::path_role).toString(),
                       at.data(SearchResultsModel::module_role).toInt()});
    }
  } else {
    for (int i = 0; i < names->count(); ++i) {
      const QListWidgetItem* item = names->item(i);
      if (!item->isHidden())
        shown.push_back({item->text(), item->data(kPathRole).toString(),
                         item->data(kModuleRole).toInt()});
    }
  }
  const bool was_selecting = selecting;
  selecting = true;
  pictures_model->set_footprints(std::move(shown));
  select_current_picture();
  selecting = was_selecting;
}

bool LibraryPanel::searching() const {
  return mode->isChecked();
}

void LibraryPanel::set_searching(bool on) {
  if (on && search_root().isEmpty()) choose_root();
  if (on && search_root().isEmpty()) on = false;
  const QSignalBlocker blocker(mode);
  mode->setChecked(on);
  show_view();
  filter->setPlaceholderText(
      on ? tr("Search all: words, \"phrases\", -not, pads:48, pitch:0.5, "
              "size:7x7, smd, lib:NAME")
         : tr("Filter this library (* and ? as wildcards)"));
  show_folder();
  if (on) {
    index_.start(search_root());
    run_search();
  } else {
    apply_filter();
  }
}

QString LibraryPanel::search_root() const {
  return chosen_root.isEmpty() ? default_root : chosen_root;
}

void LibraryPanel::set_search_root(const QString& root) {
  chosen_root = root;
  QSettings().setValue(kRootKey, root);
  show_folder();
  if (searching()) set_searching(true);
}

QString LibraryPanel::shown_folder() const {
  return QDir::toNativeSeparators(searching() ? search_root() : library);
}

void LibraryPanel::show_folder() {
  const QString shown = shown_folder();
  folder->setText(shown.isEmpty() ? QString()
                  : searching()   ? tr("Searching %1").arg(shown)
                                  : tr("Listing %1").arg(shown));
  folder->setToolTip(shown);
}

void LibraryPanel::choose_root() {
  const QString root = QFileDialog::getExistingDirectory(
      this, tr("Folder to search"), search_root());
  if (!root.isEmpty()) set_search_root(root);
}

bool LibraryPanel::eventFilter(QObject* watched, QEvent* event) {
  // The arrow keys in the field move through the list, as in a combo box.
  if (watched == filter && event->type() == QEvent::KeyPress &&
      is_move_key(static_cast<QKeyEvent*>(event)->key())) {
    QWidget* list = showing_pictures() ? static_cast<QWidget*>(grid)
                    : searching()      ? static_cast<QWidget*>(results)
                                       : names;
    QKeyEvent copy(*static_cast<QKeyEvent*>(event));
    QCoreApplication::sendEvent(list, &copy);
    return true;
  }
  return QDockWidget::eventFilter(watched, event);
}

void LibraryPanel::apply_filter() {
  const zcore::name_pattern pattern(filter->text().toStdString());
  int shown = 0;
  for (int i = 0; i < names->count(); ++i) {
    QListWidgetItem* item = names->item(i);
    const bool match = pattern.matches(item->text().toStdString());
    item->setHidden(!match);
    shown += match;
  }
  if (!searching()) {
    show_count(shown, names->count());
    fill_grid();
  }
}

void LibraryPanel::run_search() {
  if (search_stop) *search_stop = true;
  const IndexSnapshot index = index_.snapshot();
  if (!index) {
    count->setText(tr("Indexing..."));
    return;
  }
  auto stop = std::make_shared<std::atomic<bool>>(false);
  search_stop = stop;
  const quint64 number = ++search_number;
  const std::string text = filter->text().toStdString();
  searcher.start([this, index, text, stop, number] {
    auto query = std::make_shared<const zcore::footprint_query>(text);
    auto hits = std::make_shared<std::vector<zcore::search_hit>>(
        index->search(*query, [&stop] { return stop->load(); }));
    if (*stop) return;
    QMetaObject::invokeMethod(
        this,
        [this, index, query, hits, number] {
          if (number == search_number) show_hits(index, query, *hits);
        },
        Qt::QueuedConnection);
  });
}

void LibraryPanel::show_hits(
    const IndexSnapshot& index,
    std::shared_ptr<const zcore::footprint_query> query,
    std::vector<zcore::search_hit> hits) {
  const int shown = static_cast<int>(hits.size());
  selecting = true;
  found->set_hits(index, query->empty() ? nullptr : std::move(query),
                  std::move(hits));
  select_current_result();
  selecting = false;
  show_count(shown, static_cast<int>(index->size()));
  fill_grid();
  emit searched();
}

void LibraryPanel::select_current_result() {
  const int row = found->row_of(current_path, current_module);
  if (row < 0) return;
  const QModelIndex at = found->index(row, 0);
  results->setCurrentIndex(at);
  results->scrollTo(at);
}

void LibraryPanel::show_count(int shown, int total) {
  count->setText(shown == total
                     ? tr("%1 footprints").arg(total)
                     : tr("%1 of %2 footprints").arg(shown).arg(total));
}

void LibraryPanel::open_item(QListWidgetItem* item) {
  if (item && !item->isHidden())
    emit open_requested(item->data(kPathRole).toString(),
                        item->data(kModuleRole).toInt());
}

void LibraryPanel::open_result(const QModelIndex& index) {
  open_index(index.siblingAtColumn(0), SearchResultsModel::path_role,
             SearchResultsModel::module_role);
}

void LibraryPanel::open_index(const QModelIndex& index, int path_role,
                              int module_role) {
  if (index.isValid())
    emit open_requested(index.data(path_role).toString(),
                        index.data(module_role).toInt());
}

void LibraryPanel::select_current_picture() {
  for (int row = 0; row < pictures_model->rowCount(); ++row) {
    const QModelIndex at = pictures_model->index(row);
    if (at.data(ThumbnailModel::path_role).toString() == current_path &&
        at.data(ThumbnailModel::module_role).toInt() == current_module) {
      grid->setCurrentIndex(at);
      grid->scrollTo(at, QAbstractItemView::PositionAtCenter);
      return;
    }
  }
}
