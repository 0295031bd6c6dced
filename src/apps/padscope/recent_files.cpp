#include "apps/padscope/recent_files.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>

namespace {

const char* const kGroup = "recent";
const char* const kFilesKey = "files";

}  // namespace

RecentFiles::RecentFiles(QMenu* menu) : QObject(menu), menu(menu) {
  connect(menu, &QMenu::aboutToShow, this, &RecentFiles::fill);
  fill();
}

QStringList RecentFiles::files() const {
  QSettings settings;
  settings.beginGroup(kGroup);
  return settings.value(kFilesKey).toStringList().mid(0, kLimit);
}

void RecentFiles::add(const QString& path) {
  const QString absolute = QFileInfo(path).absoluteFilePath();
  QStringList list = files();
  list.removeAll(absolute);
  list.prepend(absolute);
  QSettings settings;
  settings.beginGroup(kGroup);
  settings.setValue(kFilesKey, QStringList(list.mid(0, kLimit)));
  fill();
}

void RecentFiles::fill() {
  menu->clear();
  const QStringList list = files();
  for (int i = 0; i < list.size(); ++i) {
    const QString& path = list[i];
    // The shortcut digit: 1 to 9, then 0 for the tenth.
    QAction* action = menu->addAction(
        QString("&%1 %2")
            .arg((i + 1) % 10)
            .arg(QDir::toNativeSeparators(path).replace("&", "&&")));
    action->setData(path);
    action->setEnabled(QFileInfo::exists(path));
    connect(action, &QAction::triggered, this,
            [this, path] { emit open_requested(path); });
  }
  menu->setEnabled(!list.isEmpty());
}
