#pragma once

#include "zcore/footprint_index.h"

#include <QMetaType>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class QThread;

// A finished or partial state of an index, shared with the GUI thread and
// never changed after it is handed out.
using IndexSnapshot = std::shared_ptr<const zcore::footprint_index>;
Q_DECLARE_METATYPE(IndexSnapshot)

// Builds the footprint index of a root folder on a thread of its own,
// starting from the cache of the last run and writing it back when done.
class BackgroundIndex : public QObject {
  Q_OBJECT

public:
  explicit BackgroundIndex(QObject* parent = nullptr);
  // Stops the run and waits for its thread.
  ~BackgroundIndex() override;

  // Indexes `root`, unless a run over it is going on; a run over another
  // root is stopped first.
  void start(const QString& root);
  // True from `start` until `finished` is delivered.
  bool running() const;
  const QString& root() const { return root_; }
  // The last state handed out by `updated`; null before any.
  const IndexSnapshot& snapshot() const { return current; }

  // The cache file of a root, in the application's cache folder.
  static QString cache_file(const QString& root);

signals:
  // Files read and files to read.
  void progress(int done, int total);
  // A new state: the cache as read, the tree as listed, the finished index.
  void updated(IndexSnapshot index);
  void finished();

private:
  void stop();

  QString root_;
  QThread* thread = nullptr;
  bool active = false;
  std::shared_ptr<std::atomic<bool>> cancel;
  IndexSnapshot current;
};
