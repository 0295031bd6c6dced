#include "apps/padscope/background_index.h"

#include <QCryptographicHash>
#include <QDir>
#include <QStandardPaths>
#include <QThread>

namespace {

// Progress reports are queued to the GUI: one per this many files.
constexpr std::size_t kProgressStep = 64;

}  // namespace

BackgroundIndex::BackgroundIndex(QObject* parent) : QObject(parent) {
  qRegisterMetaType<IndexSnapshot>();
}

BackgroundIndex::~BackgroundIndex() {
  stop();
}

QString BackgroundIndex::cache_file(const QString& root) {
  const QByteArray key =
      QCryptographicHash::hash(QDir::cleanPath(root).toUtf8(),
                               QCryptographicHash::Sha1)
          .toHex()
          .left(16);
  return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
         "/footprint-index-" + QString::fromLatin1(key) + ".txt";
}

bool BackgroundIndex::running() const {
  return active;
}

void BackgroundIndex::start(const QString& root) {
  if (running() && root == root_) return;
  stop();
  root_ = root;
  active = true;
  auto stop_flag = std::make_shared<std::atomic<bool>>(false);
  cancel = stop_flag;
  const std::string path = QDir::cleanPath(root).toStdString();
  const std::string cache = cache_file(root).toStdString();
  // Results reach the GUI thread queued, and are dropped there once the
  // run was stopped, so a stopped run never overwrites a newer one.
  auto post = [this, stop_flag](auto deliver) {
    QMetaObject::invokeMethod(
        this,
        [this, stop_flag, deliver] {
          if (!*stop_flag) deliver(*this);
        },
        Qt::QueuedConnection);
  };
  auto publish = [post](const zcore::footprint_index& index) {
    auto snapshot = std::make_shared<const zcore::footprint_index>(index);
    post([snapshot](BackgroundIndex& self) {
      self.current = snapshot;
      emit self.updated(snapshot);
    });
  };
  thread = QThread::create([path, cache, stop_flag, post, publish] {
    zcore::footprint_index index(path);
    if (index.load(cache)) publish(index);
    const std::size_t waiting = index.scan();
    publish(index);
    index.read_pending([&](std::size_t done, std::size_t total,
                           const std::string&) {
      if (done % kProgressStep == 0 || done == total) {
        post([done, total](BackgroundIndex& self) {
          emit self.progress(static_cast<int>(done), static_cast<int>(total));
        });
      }
      return !*stop_flag;
    });
    if (*stop_flag) return;
    if (waiting > 0) publish(index);
    index.save(cache);
    post([](BackgroundIndex& self) {
      self.active = false;
      emit self.finished();
    });
  });
  thread->start(QThread::LowPriority);
}

void BackgroundIndex::stop() {
  active = false;
  if (!thread) return;
  *cancel = true;
  thread->wait();
  delete thread;
  thread = nullptr;
}
