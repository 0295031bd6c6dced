#pragma once

#include <QByteArray>
#include <QString>

#include <set>

namespace padscope::render {

// The folder the images go to. Nothing is written through a link or
// outside it: the folders below it are entered without following links,
// and each file is written as a new file renamed into place, replacing only
// a regular file.
class OutputFolder {
public:
  explicit OutputFolder(QString root);
  ~OutputFolder();
  OutputFolder(const OutputFolder&) = delete;
  OutputFolder& operator=(const OutputFolder&) = delete;

  // The path, relative to the root, for a new image `base.suffix` in the
  // folder `relative_dir`: unique in the batch (a second "x.png" becomes
  // "x-2.png"), and a name too long for a file system shortened, with a
  // short hash that keeps it unique.
  QString claim(const QString& relative_dir, const QString& base,
                const QString& suffix);
  // The root joined with a relative path.
  QString path(const QString& relative) const;
  // Writes `bytes` to a path `claim` gave, creating the folders on its way.
  // Empty on success, else the problem.
  QString write(const QString& relative, const QByteArray& bytes);

private:
  // The open folder `relative_dir`, created if missing; -1 with `problem`.
  int enter(const QString& relative_dir, QString& problem);

  QString root;
  std::set<QString> used;
  // The folder written to last, open.
  QString open_relative;
  int open_folder = -1;
};

// The output folder, created if missing, held by one batch: two batches
// writing into one folder would claim the same image names, and the first
// one's report would point at the second one's images.
class FolderLock {
public:
  explicit FolderLock(const QString& root);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  // Held by another batch: this one must not write there.
  bool busy() const { return busy_; }

private:
  int folder = -1;
  bool busy_ = false;
};

// Has SIGINT, SIGTERM, SIGHUP and SIGXFSZ remove the temporary file being
// written before they end the process, so that an interrupted batch leaves
// no hidden `.padscope-*.tmp` behind.
void remove_temporaries_on_signals();

// Writes `bytes` to the file `path` as a new file renamed into place, in a
// folder created if missing; refuses to replace anything but a regular
// file. Empty on success, else the problem.
QString write_file_in_place(const QString& path, const QByteArray& bytes);

}  // namespace padscope::render
