#include "apps/padscope-render/output_folder.h"

#include "zwidget/zviewer/footprint_file.h"

#include <sys/file.h>
#include <sys/stat.h>

#include <QCryptographicHash>
#include <QDir>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace padscope::render {

namespace {

using zwidget::zcvpcb::encode_file_name;

// The longest file name, in bytes, that the common file systems take.
constexpr int kMaxNameBytes = NAME_MAX;

QString system_error() {
  return QString::fromLocal8Bit(std::strerror(errno));
}

// `name` if the file system takes it, else cut and marked with a hash of
// the whole name, the suffix kept.
QString fitted_name(const QString& base, const QString& suffix) {
  const QString name = base + '.' + suffix;
  if (encode_file_name(name).size() <= kMaxNameBytes) return name;
  const QString mark =
      '~' +
      QString::fromLatin1(QCryptographicHash::hash(encode_file_name(base),
                                                   QCryptographicHash::Sha1)
                              .toHex()
                              .left(8)) +
      '.' + suffix;
  const int room = kMaxNameBytes - encode_file_name(mark).size();
  QString kept;
  for (int i = 0; i < base.size(); ++i) {
    // A surrogate pair stays whole.
    const int take = base[i].isHighSurrogate() && i + 1 < base.size() ? 2 : 1;
    const QString next = base.mid(i, take);
    if (encode_file_name(kept + next).size() > room) break;
    kept += next;
    i += take - 1;
  }
  return kept + mark;
}

// Creates the folders of `path` that are missing, following links: the
// user named them.
int open_or_create(const QByteArray& path) {
  for (int slash = path.indexOf('/', 1); slash > 0;
       slash = path.indexOf('/', slash + 1))
    mkdir(path.left(slash).constData(), 0777);
  mkdir(path.constData(), 0777);
  return open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// The temporary file being written, for a signal handler to remove: its
// folder's descriptor, -1 while the name changes, and its name.
volatile sig_atomic_t pending_folder = -1;
char pending_name[64];

void announce_pending(int dir, const QByteArray& name) {
  pending_folder = -1;
  const int size = std::min<int>(name.size(), sizeof pending_name - 1);
  std::memcpy(pending_name, name.constData(), size);
  pending_name[size] = '\0';
  pending_folder = dir;
}

// Removes the temporary file, then ends the process as the signal would
// have.
void remove_pending_and_end(int signal) {
  const int dir = pending_folder;
  if (dir >= 0) unlinkat(dir, pending_name, 0);
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  raise(signal);
}

// Writes into `dir` a new file renamed to `name` once complete; what is at
// `name` already is replaced only if it is a regular file, never followed.
QString write_new_file(int dir, const QString& name, const QByteArray& bytes,
                       const QString& shown) {
  const QByteArray target = encode_file_name(name);
  struct stat info {};
  if (fstatat(dir, target.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
      !S_ISREG(info.st_mode))
    return QStringLiteral("Cannot write %1: not a regular file").arg(shown);
  QByteArray temporary;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 16; ++attempt) {
    temporary = ".padscope-" +
                QByteArray::number(QRandomGenerator::global()->generate(), 16) +
                ".tmp";
    announce_pending(dir, temporary);
    fd = openat(dir, temporary.constData(),
                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    pending_folder = -1;
    return QStringLiteral("Cannot write %1: %2").arg(shown, system_error());
  }
  qint64 written = 0;
  while (written < bytes.size()) {
    const ssize_t count =
        ::write(fd, bytes.constData() + written, bytes.size() - written);
    if (count <= 0 && errno != EINTR) break;
    if (count > 0) written += count;
  }
  QString problem;
  if (written != bytes.size()) problem = system_error();
  if (close(fd) != 0 && problem.isEmpty()) problem = system_error();
  if (problem.isEmpty() &&
      renameat(dir, temporary.constData(), dir, target.constData()) != 0)
    problem = system_error();
  if (!problem.isEmpty()) unlinkat(dir, temporary.constData(), 0);
  pending_folder = -1;
  if (problem.isEmpty()) return QString();
  return QStringLiteral("Cannot write %1: %2").arg(shown, problem);
}

}  // namespace

OutputFolder::OutputFolder(QString root) : root(std::move(root)) {
}

OutputFolder::~OutputFolder() {
  if (open_folder >= 0) close(open_folder);
}

QString OutputFolder::claim(const QString& relative_dir, const QString& base,
                            const QString& suffix) {
  // Cleaned, so that "./x.png" and "x.png" are seen as one.
  const QString folder = QDir::cleanPath(relative_dir);
  const auto in_folder = [&](const QString& name) {
    return folder.isEmpty() || folder == QLatin1String(".")
               ? name
               : folder + '/' + name;
  };
  QString path = in_folder(fitted_name(base, suffix));
  for (int n = 2; used.count(path); ++n)
    path = in_folder(
        fitted_name(QStringLiteral("%1-%2").arg(base).arg(n), suffix));
  used.insert(path);
  return path;
}

QString OutputFolder::path(const QString& relative) const {
  return QDir(root).filePath(relative);
}

QString OutputFolder::write(const QString& relative, const QByteArray& bytes) {
  const int slash = relative.lastIndexOf('/');
  QString problem;
  const int dir = enter(slash < 0 ? QString() : relative.left(slash), problem);
  if (dir < 0) return problem;
  return write_new_file(dir, relative.mid(slash + 1), bytes, path(relative));
}

int OutputFolder::enter(const QString& relative_dir, QString& problem) {
  if (open_folder >= 0 && relative_dir == open_relative) return open_folder;
  if (open_folder >= 0) close(open_folder);
  open_relative = relative_dir;
  open_folder = open_or_create(encode_file_name(root));
  if (open_folder < 0) {
    problem = QStringLiteral("Cannot create the folder %1: %2")
                  .arg(root, system_error());
    return -1;
  }
  QString reached = root;
  for (const QString& part : relative_dir.split('/', Qt::SkipEmptyParts)) {
    reached = QDir(reached).filePath(part);
    const QByteArray name = encode_file_name(part);
    int next = -1;
    if (part == QLatin1String(".") || part == QLatin1String("..")) {
      errno = EINVAL;
    } else {
      mkdirat(open_folder, name.constData(), 0777);
      next = openat(open_folder, name.constData(),
                    O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
    const bool link = next < 0 && (errno == ELOOP || errno == ENOTDIR);
    const QString error = system_error();
    close(open_folder);
    open_folder = next;
    if (next < 0) {
      problem =
          QStringLiteral("Cannot enter the folder %1: %2")
              .arg(reached, link ? QStringLiteral("not a folder but a link "
                                                  "or a file")
                                 : error);
      return -1;
    }
  }
  return open_folder;
}

FolderLock::FolderLock(const QString& root)
    : folder(open_or_create(encode_file_name(root))) {
  // A folder that cannot be opened is no lock's business: its images fail.
  if (folder >= 0 && flock(folder, LOCK_EX | LOCK_NB) != 0)
    busy_ = errno == EWOULDBLOCK;
}

FolderLock::~FolderLock() {
  if (folder >= 0) close(folder);
}

void remove_temporaries_on_signals() {
  struct sigaction action {};
  action.sa_handler = remove_pending_and_end;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGXFSZ}) {
    struct sigaction old {};
    // A signal the caller ignores (nohup) stays ignored.
    if (sigaction(signal, nullptr, &old) == 0 && old.sa_handler != SIG_IGN)
      sigaction(signal, &action, nullptr);
  }
}

QString write_file_in_place(const QString& path, const QByteArray& bytes) {
  const int slash = path.lastIndexOf('/');
  const QString folder = slash < 0    ? QStringLiteral(".")
                         : slash == 0 ? QStringLiteral("/")
                                      : path.left(slash);
  const int dir = open_or_create(encode_file_name(folder));
  if (dir < 0)
    return QStringLiteral("Cannot create the folder %1: %2")
        .arg(folder, system_error());
  const QString problem = write_new_file(dir, path.mid(slash + 1), bytes, path);
  close(dir);
  return problem;
}

}  // namespace padscope::render
