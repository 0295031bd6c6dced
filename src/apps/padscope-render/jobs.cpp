#include "apps/padscope-render/jobs.h"

#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <map>
#include <memory>
#include <numeric>
#include <set>
#include <streambuf>
#include <unistd.h>

namespace padscope::render {

namespace {

// What a worker tells, each record a tag and its fields.
constexpr quint8 kBegun = 'B';   // the index of the file begun
constexpr quint8 kResult = 'R';  // the file's index and a footprint's result
constexpr quint8 kEnd = 'E';     // the share is done

// For tests: a worker dies on beginning a file whose path ends so.
const char* const kCrashVariable = "PADSCOPE_RENDER_CRASH_ON";

const char* const kClearLine = "\r\033[K";

// A worker takes about as long to start as a few footprints take to
// render: with fewer files than this each, fewer workers finish sooner.
constexpr std::size_t kFilesPerWorker = 16;

class DiscardBuffer : public std::streambuf {
protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize count) override {
    return count;
  }
};

void write_counts(QDataStream& out, const KindCounts& counts) {
  out << static_cast<qint32>(counts.size());
  for (const auto& [kind, count] : counts)
    out << QByteArray::fromStdString(kind) << static_cast<qint32>(count);
}

void read_counts(QDataStream& in, KindCounts& counts) {
  qint32 size = 0;
  in >> size;
  for (qint32 i = 0; i < size && in.status() == QDataStream::Ok; ++i) {
    QByteArray kind;
    qint32 count = 0;
    in >> kind >> count;
    counts[kind.toStdString()] = count;
  }
}

void write_result(QDataStream& out, const FootprintResult& result) {
  out << result.file << result.module << result.ok << result.message
      << result.output;
  write_counts(out, result.items);
  write_counts(out, result.not_drawn);
  out << QJsonDocument(result.facts).toJson(QJsonDocument::Compact)
      << result.milliseconds;
}

void read_result(QDataStream& in, FootprintResult& result) {
  in >> result.file >> result.module >> result.ok >> result.message >>
      result.output;
  read_counts(in, result.items);
  read_counts(in, result.not_drawn);
  QByteArray facts;
  in >> facts >> result.milliseconds;
  result.facts = QJsonDocument::fromJson(facts).object();
}

// The name an image of `base` is claimed under, less "-N" endings: a
// second "x" becomes "x-2", which a footprint named "x-2" would claim.
QString claim_key(const QString& folder, const QString& base) {
  static const QRegularExpression endings(QStringLiteral("(-[0-9]+)+$"));
  QString stem = base;
  stem.remove(endings);
  return QDir::cleanPath(folder) + QChar(0) + stem;
}

// Any name in the folder of a library of several modules.
QString folder_key(const QString& folder) {
  return QDir::cleanPath(folder) + QChar(0) + QChar(1);
}

class UnionFind {
public:
  int add() {
    parent.push_back(static_cast<int>(parent.size()));
    return parent.back();
  }
  int root(int x) {
    while (parent[x] != x) x = parent[x] = parent[parent[x]];
    return x;
  }
  void join(int a, int b) { parent[root(a)] = root(b); }

private:
  std::vector<int> parent;
};

// Whether kDescriptorsToStart descriptors can be opened now.
bool room_to_start() {
  int opened[kDescriptorsToStart];
  int count = 0;
  while (count < kDescriptorsToStart &&
         (opened[count] = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0)
    ++count;
  for (int i = 0; i < count; ++i) close(opened[i]);
  return count == kDescriptorsToStart;
}

// One worker process and the part of its share it was given.
struct Worker {
  std::unique_ptr<QProcess> process;
  // Indexes into the batch's files, in order; this process was given those
  // from `first` on.
  std::vector<int> share;
  std::size_t first = 0;
  // How many of them it has begun; the last begun is the one it is on.
  std::size_t begun = 0;
  QByteArray buffer;
  // Its standard error not yet passed on: the start of a line.
  QByteArray messages;
  bool ended = false;
  bool running = false;
};

class Workers {
public:
  Workers(const QString& program, const QStringList& arguments,
          const std::vector<InputFile>& files, std::ostream& err, bool progress)
      : program(program),
        arguments(arguments + QStringList{"--worker"}),
        files(files),
        err(err),
        progress(progress),
        results(files.size()) {}

  BatchResult run(const std::vector<std::vector<int>>& shares) {
    starting = true;
    for (const std::vector<int>& share : shares) {
      if (share.empty()) continue;
      workers.push_back(std::make_unique<Worker>());
      workers.back()->share = share;
      start(*workers.back());
    }
    starting = false;
    if (running == 0) finish_waiting();
    if (running > 0) loop.exec();
    if (progress) err << kClearLine << std::flush;
    BatchResult merged;
    merged.files = static_cast<int>(files.size());
    for (std::vector<FootprintResult>& file : results) {
      for (FootprintResult& entry : file) {
        if (entry.ok) {
          ++merged.images;
          for (const auto& [kind, count] : entry.not_drawn)
            merged.not_drawn[kind] += count;
        } else {
          ++merged.failures;
        }
        merged.results.push_back(std::move(entry));
      }
    }
    return merged;
  }

private:
  void start(Worker& worker) {
    worker.process = std::make_unique<QProcess>();
    QProcess* process = worker.process.get();
    QObject::connect(process, &QProcess::readyReadStandardOutput,
                     [this, &worker] { read(worker); });
    QObject::connect(process, &QProcess::readyReadStandardError,
                     [this, &worker] { relay(worker, false); });
    QObject::connect(
        process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished),
        [this, &worker](int code, QProcess::ExitStatus status) {
          stopped(worker,
                  status == QProcess::CrashExit
                      ? QStringLiteral("it crashed")
                      : QStringLiteral("it ended with status %1").arg(code));
        });
    QObject::connect(process, &QProcess::errorOccurred,
                     [this, &worker](QProcess::ProcessError error) {
                       if (error == QProcess::FailedToStart)
                         stopped(worker, worker.process->errorString());
                     });
    worker.begun = 0;
    worker.ended = false;
    worker.buffer.clear();
    worker.messages.clear();
    worker.running = true;
    ++running;
    if (!room_to_start()) {
      stopped(worker, QString::fromLocal8Bit(std::strerror(EMFILE)));
      return;
    }
    process->start(program, arguments);
    QByteArray share;
    QDataStream out(&share, QIODevice::WriteOnly);
    out << static_cast<qint32>(worker.share.size() - worker.first);
    for (std::size_t i = worker.first; i < worker.share.size(); ++i) {
      const InputFile& file = files[worker.share[i]];
      out << static_cast<qint32>(worker.share[i]) << file.path
          << file.relative_dir;
    }
    process->write(share);
    process->closeWriteChannel();
  }

  void read(Worker& worker) {
    worker.buffer += worker.process->readAllStandardOutput();
    QDataStream in(worker.buffer);
    int used = 0;
    while (!in.atEnd()) {
      in.startTransaction();
      quint8 tag = 0;
      qint32 index = -1;
      FootprintResult entry;
      in >> tag;
      if (tag == kBegun || tag == kResult) in >> index;
      if (tag == kResult) read_result(in, entry);
      if (!in.commitTransaction()) break;
      used = static_cast<int>(in.device()->pos());
      if (index < 0 || index >= static_cast<qint32>(files.size())) {
        if (tag == kEnd) worker.ended = true;
        continue;
      }
      if (tag == kBegun) {
        ++worker.begun;
        ++begun;
        if (progress)
          err << kClearLine << '[' << begun << '/' << files.size() << "] "
              << printable(files[index].path) << std::flush;
      } else {
        if (!entry.ok) write_failure(entry, err, progress);
        results[index].push_back(std::move(entry));
      }
    }
    worker.buffer.remove(0, used);
  }

  // What a worker prints (Qt's warnings) goes on by whole lines, so that
  // no line of one runs into a line of another or of this process.
  void relay(Worker& worker, bool all) {
    worker.messages += worker.process->readAllStandardError();
    const int end =
        all ? worker.messages.size() : worker.messages.lastIndexOf('\n') + 1;
    if (end <= 0) return;
    if (progress) err << kClearLine;
    err << worker.messages.left(end).toStdString() << std::flush;
    worker.messages.remove(0, end);
  }

  // The worker is gone: cleanly at the end of its share, or on a file,
  // which then fails; another takes the rest. One that began nothing (it
  // could not start: no descriptors or processes left) leaves its share to
  // the next worker that ends its own, and fails it only when none runs.
  void stopped(Worker& worker, const QString& reason) {
    if (!worker.running) return;
    // One that never started has nothing to read.
    if (worker.process->isOpen()) {
      read(worker);
      relay(worker, true);
    }
    worker.running = false;
    --running;
    gone.push_back(std::move(worker.process));
    const std::size_t on = worker.first + worker.begun;
    if (!worker.ended && worker.begun == 0) {
      waiting.emplace_back(worker.share.begin() + worker.first,
                           worker.share.end());
      start_failure = reason;
      if (running == 0 && !starting) finish_waiting();
      return;
    }
    if (!worker.ended) {
      fail(worker.share[on - 1], reason);
      if (on < worker.share.size()) {
        worker.first = on;
        start(worker);
        return;
      }
    }
    if (!waiting.empty()) {
      worker.share = std::move(waiting.front());
      waiting.pop_front();
      worker.first = 0;
      start(worker);
      return;
    }
    if (running == 0) loop.quit();
  }

  void fail(int file, const QString& reason) {
    FootprintResult entry;
    entry.file = files[file].path;
    entry.message =
        QStringLiteral("The renderer stopped on this file: %1").arg(reason);
    write_failure(entry, err, progress);
    results[file].push_back(std::move(entry));
  }

  // No worker is left to take the waiting shares: they fail.
  void finish_waiting() {
    for (const std::vector<int>& share : waiting)
      for (const int file : share) fail(file, start_failure);
    waiting.clear();
    loop.quit();
  }

  QString program;
  QStringList arguments;
  const std::vector<InputFile>& files;
  std::ostream& err;
  bool progress;
  std::vector<std::vector<FootprintResult>> results;
  std::vector<std::unique_ptr<Worker>> workers;
  // Shares of workers that could not start, for the next that ends, and
  // why the last could not.
  std::deque<std::vector<int>> waiting;
  QString start_failure;
  // While the first workers are started.
  bool starting = false;
  // Processes that ended, kept until the batch is over: a process cannot
  // be deleted in its own signal.
  std::vector<std::unique_ptr<QProcess>> gone;
  int running = 0;
  int begun = 0;
  QEventLoop loop;
};

}  // namespace

int worker_count(int requested, std::size_t files, int cores) {
  const int machine = std::max(1, cores);
  const std::size_t busy = files / kFilesPerWorker;
  const int work = static_cast<int>(std::min<std::size_t>(busy, machine));
  return std::max(
      1, std::min({requested > 0 ? requested : machine, machine, work}));
}

std::vector<std::vector<int>> shares_of(const std::vector<InputFile>& files,
                                        int jobs) {
  std::vector<QString> library_keys;
  for (const InputFile& file : files)
    library_keys.push_back(folder_key(library_folder(file)));
  const std::set<QString> libraries(library_keys.begin(), library_keys.end());
  std::map<QString, int> ids;
  UnionFind groups;
  const auto id = [&](const QString& key) {
    auto [found, added] = ids.try_emplace(key, 0);
    if (added) found->second = groups.add();
    return found->second;
  };
  std::vector<int> group_of;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const QString& folder = files[i].relative_dir;
    const QString whole = folder_key(folder);
    const int own = id(
        libraries.count(whole)
            ? whole
            : claim_key(folder, QFileInfo(files[i].path).completeBaseName()));
    groups.join(own, id(library_keys[i]));
    group_of.push_back(own);
  }
  // Whole groups, the heaviest first, each to the share with least work so
  // far. The bytes of its files tell a group's work far better than their
  // number: by number, one of two shares took 53 % of the library's time.
  struct Group {
    std::vector<int> files;
    qint64 work = 0;
  };
  std::map<int, Group> members;
  for (std::size_t i = 0; i < files.size(); ++i) {
    Group& group = members[groups.root(group_of[i])];
    group.files.push_back(static_cast<int>(i));
    group.work += std::max<qint64>(files[i].bytes, 1);
  }
  std::vector<Group> ordered;
  for (auto& [root, group] : members) ordered.push_back(std::move(group));
  std::stable_sort(
      ordered.begin(), ordered.end(),
      [](const Group& a, const Group& b) { return a.work > b.work; });
  std::vector<Group> shares(
      std::max(1, std::min<int>(jobs, static_cast<int>(ordered.size()))));
  for (const Group& group : ordered) {
    Group& least = *std::min_element(
        shares.begin(), shares.end(),
        [](const Group& a, const Group& b) { return a.work < b.work; });
    least.files.insert(least.files.end(), group.files.begin(),
                       group.files.end());
    least.work += group.work;
  }
  std::vector<std::vector<int>> result;
  for (Group& share : shares) {
    std::sort(share.files.begin(), share.files.end());
    result.push_back(std::move(share.files));
  }
  return result;
}

BatchResult render_in_workers(const QString& program,
                              const QStringList& arguments,
                              const std::vector<InputFile>& files, int jobs,
                              std::ostream& err, bool progress) {
  QElapsedTimer timer;
  timer.start();
  Workers workers(program, arguments, files, err, progress);
  BatchResult result = workers.run(shares_of(files, jobs));
  result.seconds = timer.nsecsElapsed() / 1e9;
  return result;
}

int run_worker(const RenderOptions& options) {
  // The records go to the standard output as it was; whatever else this
  // process prints goes to the standard error.
  const int channel = dup(STDOUT_FILENO);
  if (channel < 0 || dup2(STDERR_FILENO, STDOUT_FILENO) < 0) return 3;
  QFile input;
  if (!input.open(STDIN_FILENO, QIODevice::ReadOnly)) return 3;
  const QByteArray share = input.readAll();
  QDataStream in(share);
  qint32 count = 0;
  in >> count;
  std::vector<InputFile> files;
  std::vector<qint32> indexes;
  for (qint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
    qint32 index = 0;
    InputFile file;
    in >> index >> file.path >> file.relative_dir;
    indexes.push_back(index);
    files.push_back(file);
  }
  if (in.status() != QDataStream::Ok) return 3;

  QFile output;
  if (!output.open(channel, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle))
    return 3;
  QDataStream out(&output);
  const QString crash_on = qEnvironmentVariable(kCrashVariable);
  BatchObserver observer;
  observer.begun = [&](int file) {
    out << kBegun << indexes[file];
    output.flush();
    if (!crash_on.isEmpty() && files[file].path.endsWith(crash_on))
      std::abort();
  };
  observer.result = [&](int file, const FootprintResult& entry) {
    out << kResult << indexes[file];
    write_result(out, entry);
    output.flush();
  };
  DiscardBuffer discard;
  std::ostream quiet(&discard);
  render_batch(options, files, quiet, false, &observer);
  out << kEnd;
  output.flush();
  return out.status() == QDataStream::Ok ? 0 : 3;
}

}  // namespace padscope::render
