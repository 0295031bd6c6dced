#include "apps/padscope/dir_navigator.h"

#include "zwidget/zviewer/footprint_file.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

// Footprint files of a folder in the order of a folder obtained from a file
// (by name, ignoring case); no folders, no hidden files.
QStringList footprint_files(const QDir& dir, const QStringList& filters) {
  return dir.entryList(filters, QDir::Files, QDir::NoSort);
}

// A FIFO or a device named like a footprint would hang or never end the
// load, so only regular files are stepped to. Checked one at a time: a
// folder may hold 100,000 files.
bool is_footprint(const QDir& dir, const QString& name) {
  return zwidget::zcvpcb::is_regular_file(dir.filePath(name));
}

}  // namespace

QString DirNavigator::next() {
  return step(1);
}

QString DirNavigator::prev() {
  return step(-1);
}

QString DirNavigator::next_library() {
  return step_library(1);
}

QString DirNavigator::prev_library() {
  return step_library(-1);
}

QString DirNavigator::first_in(const QString& folder) const {
  const QDir dir(folder);
  for (const QString& name : footprint_files(dir, filters))
    if (is_footprint(dir, name)) return dir.filePath(name);
  return QString();
}

QString DirNavigator::step(int direction) {
  const QFileInfo current(path);
  if (current.fileName().isEmpty()) {
    path.clear();
    return QString();
  }
  const QDir dir = current.dir();
  const QStringList files = footprint_files(dir, filters);
  // The path stays when the folder holds nothing: its files may come back.
  if (files.isEmpty()) return QString();
  const int count = files.size();
  int index = files.indexOf(current.fileName());
  if (index < 0) {
    // The current file is gone: go on from where its name stood.
    const int before = static_cast<int>(
        std::count_if(files.begin(), files.end(), [&](const QString& file) {
          return file.compare(current.fileName(), Qt::CaseInsensitive) < 0;
        }));
    index = direction > 0 ? before - 1 : before;
  }
  for (int offset = 1; offset <= count; ++offset) {
    const QString& name =
        files[((index + direction * offset) % count + count) % count];
    if (!is_footprint(dir, name)) continue;
    path = dir.filePath(name);
    return path;
  }
  return QString();
}

QString DirNavigator::step_library(int direction) {
  if (path.isEmpty()) return QString();
  const QDir library = QFileInfo(path).dir();
  QDir parent = library;
  if (!parent.cdUp()) return QString();
  const QStringList siblings = parent.entryList(
      QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
  const int index = siblings.indexOf(library.dirName());
  if (index < 0) return QString();
  const int count = siblings.size();
  for (int offset = 1; offset < count; ++offset) {
    const QString first = first_in(parent.filePath(
        siblings[(index + direction * offset + count) % count]));
    if (!first.isEmpty()) {
      path = first;
      return path;
    }
  }
  return QString();
}
