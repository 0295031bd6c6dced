#pragma once

#include <QString>
#include <QStringList>

// Steps through the footprint files of the current file's folder, and
// through the sibling folders (libraries) of that folder. The folder is
// listed afresh at every step; only regular files (after links) are
// stepped to, never a FIFO or a device named like a footprint.
struct DirNavigator {
  // The file after the current one, wrapping around; after a current file
  // that is gone, the one after its name. Becomes the current path. Empty,
  // with the path kept, when the folder holds no regular footprint file;
  // empty when nothing is open.
  QString next();
  // The same for the file before the current one.
  QString prev();

  // The first footprint file of the next (previous) sibling folder that
  // holds any, in name order ignoring case, wrapping around. Empty, and the
  // current path unchanged, when nothing is open or no other folder
  // qualifies; otherwise the result becomes the current path.
  QString next_library();
  QString prev_library();
  // The first footprint file of `folder`, in the order steps take; empty
  // when it holds none. Leaves the current path alone.
  QString first_in(const QString& folder) const;

  QString path;
  QStringList filters;

private:
  QString step(int direction);
  QString step_library(int direction);
};
