#include "apps/padscope/library_panel.h"

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
#include <QListWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// More results than a list can usefully show; the count says how many
// were found.
constexpr int kShownResults = 1000;
constexpr int kPathRole = Qt::UserRole;
constexpr int kModuleRole = Qt::UserRole + 1;

const QString kPrettySuffix = QStringLiteral(".kicad_mod");

QString display_name(const QString& file) {
  return file.endsWith(kPrettySuffix) ? file.chopped(kPrettySuffix.size())
                                      : file;
}

bool is_move_key(int key) {
  return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
         key == Qt::Key_PageDown;
}

}  // namespace

LibraryPanel::LibraryPanel(const QStringList& filters, QWidget* parent)
    : QDockWidget(tr("Library"), parent), filters(filters) {
  setObjectName("libraryPanel");
  auto* body = new QWidget(this);
  filter = new QLineEdit(body);
  filter->setObjectName("libraryFilter");
  mode = new QToolButton(body);
  mode->setObjectName("searchMode");
  mode->setText(tr("All"));
  mode->setToolTip(tr("Search every library below the search folder"));
  mode->setCheckable(true);
  root_button = new QToolButton(body);
  root_button->setText(tr("Folder..."));
  root_button->setToolTip(tr("Choose the folder to search"));
  count = new QLabel(body);
  names = new QListWidget(body);
  names->setObjectName("libraryList");
  names->setUniformItemSizes(true);
  names->setTextElideMode(Qt::ElideMiddle);
  results = new QTreeWidget(body);
  results->setObjectName("searchResults");
  results->setHeaderLabels({tr("Name"), tr("Library")});
  results->setRootIsDecorated(false);
  results->setUniformRowHeights(true);
  results->setTextElideMode(Qt::ElideMiddle);
  results->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  results->header()->setStretchLastSection(false);
  results->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  results->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  results->hide();

  auto* row = new QHBoxLayout;
  row->addWidget(filter);
  row->addWidget(mode);
  row->addWidget(root_button);
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addLayout(row);
  layout->addWidget(count);
  layout->addWidget(names);
  layout->addWidget(results);
  setWidget(body);
  set_searching(false);

  filter->installEventFilter(this);
  connect(filter, &QLineEdit::textChanged, this, [this] {
    if (searching()) {
      run_search();
    } else {
      apply_filter();
    }
  });
  connect(filter, &QLineEdit::returnPressed, this, [this] {
    if (searching()) {
      QTreeWidgetItem* item = results->currentItem();
      if (!item) item = results->topLevelItem(0);
      if (item == results->currentItem()) {
        open_result(item);
      } else {
        results->setCurrentItem(item);
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
  });
  connect(names, &QListWidget::currentItemChanged, this,
          [this](QListWidgetItem* item) {
            if (!selecting) open_item(item);
          });
  connect(names, &QListWidget::itemActivated, this, &LibraryPanel::open_item);
  connect(results, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* item) {
            if (!selecting) open_result(item);
          });
  connect(results, &QTreeWidget::itemActivated, this,
          &LibraryPanel::open_result);
  connect(mode, &QToolButton::toggled, this, &LibraryPanel::set_searching);
  connect(root_button, &QToolButton::clicked, this, &LibraryPanel::choose_root);
  connect(&index_, &BackgroundIndex::updated, this, [this] {
    if (searching()) run_search();
  });
  connect(&index_, &BackgroundIndex::progress, this, [this](int done, int all) {
    emit status(tr("Indexing footprints: %1 of %2").arg(done).arg(all));
  });
  connect(&index_, &BackgroundIndex::finished, this, [this] {
    const std::size_t size = index_.snapshot() ? index_.snapshot()->size() : 0;
    emit status(tr("%1 footprints indexed").arg(size));
  });
}

void LibraryPanel::set_current(const QString& path, const QStringList& modules,
                               int module) {
  const QFileInfo file(path);
  const QString listed =
      modules.isEmpty() ? file.absolutePath() : file.absoluteFilePath();
  default_root = QFileInfo(listed).absolutePath();
  const auto find = [&]() -> QListWidgetItem* {
    for (int i = 0; i < names->count(); ++i) {
      QListWidgetItem* item = names->item(i);
      if (item->data(kPathRole).toString() == file.absoluteFilePath() &&
          item->data(kModuleRole).toInt() == (modules.isEmpty() ? -1 : module))
        return item;
    }
    return nullptr;
  };
  selecting = true;
  QListWidgetItem* current = listed == library ? find() : nullptr;
  if (!current) {
    library = listed;
    names->clear();
    if (modules.isEmpty()) {
      const QDir dir(listed);
      for (const QString& name : dir.entryList(filters, QDir::Files)) {
        auto* item = new QListWidgetItem(display_name(name), names);
        item->setData(kPathRole, dir.absoluteFilePath(name));
        item->setData(kModuleRole, -1);
      }
    } else {
      for (int i = 0; i < modules.size(); ++i) {
        auto* item = new QListWidgetItem(modules[i], names);
        item->setData(kPathRole, listed);
        item->setData(kModuleRole, i);
      }
    }
    apply_filter();
    current = find();
  }
  names->setCurrentItem(current);
  if (current) names->scrollToItem(current);
  selecting = false;
  if (searching() && chosen_root.isEmpty() && index_.root() != default_root)
    index_.start(default_root);
}

bool LibraryPanel::searching() const {
  return mode->isChecked();
}

void LibraryPanel::set_searching(bool on) {
  if (on && search_root().isEmpty()) choose_root();
  if (on && search_root().isEmpty()) on = false;
  const QSignalBlocker blocker(mode);
  mode->setChecked(on);
  names->setVisible(!on);
  results->setVisible(on);
  filter->setPlaceholderText(
      on ? tr("Search all libraries: name, tag, description")
         : tr("Filter this library (* and ? as wildcards)"));
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
  if (searching()) set_searching(true);
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
    QWidget* list = searching() ? static_cast<QWidget*>(results) : names;
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
  if (!searching()) show_count(shown, names->count());
}

void LibraryPanel::run_search() {
  selecting = true;
  results->clear();
  selecting = false;
  const IndexSnapshot& index = index_.snapshot();
  if (!index) {
    count->setText(tr("Indexing..."));
    return;
  }
  const auto found = index->search(filter->text().toStdString());
  QList<QTreeWidgetItem*> items;
  for (const zcore::index_entry* entry : found) {
    if (items.size() == kShownResults) break;
    auto* item = new QTreeWidgetItem(
        {QString::fromStdString(entry->name),
         QString::fromStdString(zcore::library_name(*entry))});
    item->setData(0, kPathRole, QString::fromStdString(entry->path));
    const bool legacy = entry->library == entry->path;
    item->setData(0, kModuleRole,
                  legacy ? static_cast<int>(entry->module) : -1);
    const QString about = QString::fromStdString(
        entry->error.empty() ? entry->description : entry->error);
    item->setToolTip(0, about);
    item->setToolTip(1, QString::fromStdString(entry->path));
    items << item;
  }
  selecting = true;
  results->addTopLevelItems(items);
  selecting = false;
  show_count(static_cast<int>(found.size()), static_cast<int>(index->size()));
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

void LibraryPanel::open_result(QTreeWidgetItem* item) {
  if (item)
    emit open_requested(item->data(0, kPathRole).toString(),
                        item->data(0, kModuleRole).toInt());
}
