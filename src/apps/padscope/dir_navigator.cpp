#include "apps/padscope/dir_navigator.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

// Footprint files of a folder in the order of a folder obtained from a file
// (by name, ignoring case); no folders, no hidden files.
QStringList footprint_files(const QDir& dir, const QStringList& filters) {
  return dir.entryList(filters, QDir::Files, QDir::NoSort);
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
  const QStringList files = footprint_files(dir, filters);
  return files.isEmpty() ? QString() : dir.filePath(files.first());
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
  path = dir.filePath(files[(index + direction + count) % count]);
  return path;
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
