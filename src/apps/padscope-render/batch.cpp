#include "apps/padscope-render/batch.h"

#include "zwidget/zviewer/footprint_formats.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <exception>
#include <iomanip>
#include <set>
#include <sstream>
#include <vector>

namespace padscope::render {

namespace {

// Escape sequences that rewrite the progress line in place.
const char* const kClearLine = "\r\033[K";

std::string local(const QString& text) {
  return text.toLocal8Bit().toStdString();
}

QString message_of(const std::exception& error) {
  const QString text = QString::fromLocal8Bit(error.what());
  return text.isEmpty() ? QStringLiteral("Unknown error") : text;
}

// A module name as a file name: no folder separators, no control
// characters, no name that means a folder.
QString file_name_part(const QString& name, int index) {
  QString part;
  for (const QChar c : name) {
    const bool bad =
        c.unicode() < 32 || QStringLiteral("/\\:*?\"<>|").contains(c);
    part.append(bad ? QChar('_') : c);
  }
  part = part.trimmed();
  if (part.isEmpty() || part == QLatin1String(".") ||
      part == QLatin1String(".."))
    part = QStringLiteral("module-%1").arg(index + 1);
  return part;
}

// Output paths handed out in a batch, so that two footprints never share
// an image: a second "x.png" becomes "x-2.png".
class OutputNames {
public:
  QString claim(const QString& dir, const QString& base,
                const QString& suffix) {
    // Cleaned, so that "out/./x.png" and "out/x.png" are seen as one.
    const QString folder = QDir::cleanPath(dir);
    QString path = QDir(folder).filePath(base + '.' + suffix);
    for (int n = 2; used.count(path); ++n)
      path = QDir(folder).filePath(
          QStringLiteral("%1-%2.%3").arg(base).arg(n).arg(suffix));
    used.insert(path);
    return path;
  }

private:
  std::set<QString> used;
};

class Batch {
public:
  Batch(const RenderOptions& options, std::ostream& err, bool progress)
      : options(options),
        renderer(options.style),
        err(err),
        progress(progress) {}

  void render_file(const InputFile& input, int done, int total) {
    if (progress)
      err << kClearLine << '[' << done << '/' << total << "] "
          << local(input.path) << std::flush;
    ++result.files;
    const QFileInfo info(input.path);
    const QString dir = QDir(options.output_dir).filePath(input.relative_dir);

    QElapsedTimer timer;
    timer.start();
    FootprintResult first;
    first.file = input.path;
    const zwidget::zcvpcb::FootprintFormat* format =
        zwidget::zcvpcb::format_for_path(input.path);
    if (!format) {
      fail(first,
           QStringLiteral("Not a footprint file: the name ends in "
                          "neither .kicad_mod nor .mod"),
           timer);
      return;
    }
    QString problem = attempt([&] { renderer.load(input.path, *format); });
    const int modules = renderer.module_count();
    if (modules == 1) {
      if (!problem.isEmpty()) {
        fail(first, problem, timer);
        return;
      }
      first.module = renderer.footprint_name();
      write(first, names.claim(dir, info.completeBaseName(), suffix()), timer);
      return;
    }
    // A library of several modules: a folder named after it, an image per
    // module named after the module. One that cannot be drawn (the first
    // one too) fails alone.
    const QString library_dir = QDir(dir).filePath(info.completeBaseName());
    for (int index = 0; index < modules; ++index) {
      FootprintResult entry;
      entry.file = input.path;
      if (index > 0) {
        timer.start();
        problem = attempt([&] { renderer.show_module(index); });
      }
      entry.module = renderer.footprint_name();
      if (!problem.isEmpty()) {
        fail(entry, problem, timer);
        continue;
      }
      write(entry,
            names.claim(library_dir, file_name_part(entry.module, index),
                        suffix()),
            timer);
    }
  }

  BatchResult finish() {
    if (progress) err << kClearLine << std::flush;
    return std::move(result);
  }

private:
  QString suffix() const { return render::suffix(options.format); }

  // The message of what `step` throws; empty when it throws nothing.
  template <typename Step>
  static QString attempt(Step&& step) {
    try {
      step();
    } catch (const std::exception& error) {
      return message_of(error);
    } catch (...) {
      return QStringLiteral("Unknown error");
    }
    return QString();
  }

  void write(FootprintResult& entry, const QString& path,
             const QElapsedTimer& timer) {
    entry.items = renderer.items();
    entry.not_drawn = renderer.not_drawn();
    QString problem;
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
      problem = QStringLiteral("Cannot create the folder %1")
                    .arg(QFileInfo(path).absolutePath());
    } else {
      // A plain file: a save file syncs every image to the disk.
      QFile file(path);
      const QByteArray image = options.format == ImageFormat::svg
                                   ? renderer.svg(entry.module)
                               : options.format == ImageFormat::qt_svg
                                   ? renderer.qt_svg(entry.module)
                                   : renderer.png();
      if (image.isEmpty()) {
        problem = QStringLiteral("Cannot encode %1").arg(path);
      } else if (!file.open(QIODevice::WriteOnly) ||
                 file.write(image) != image.size() || !file.flush()) {
        problem =
            QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
      }
    }
    if (!problem.isEmpty()) {
      fail(entry, problem, timer);
      return;
    }
    entry.ok = true;
    entry.output = path;
    entry.milliseconds = timer.nsecsElapsed() / 1e6;
    ++result.images;
    for (const auto& [kind, count] : entry.not_drawn)
      result.not_drawn[kind] += count;
    result.results.push_back(std::move(entry));
  }

  void fail(FootprintResult& entry, const QString& message,
            const QElapsedTimer& timer) {
    entry.ok = false;
    entry.message = message;
    entry.milliseconds = timer.nsecsElapsed() / 1e6;
    ++result.failures;
    if (progress) err << kClearLine;
    err << "failed: " << local(entry.file);
    if (!entry.module.isEmpty())
      err << " (module " << local(entry.module) << ')';
    err << ": " << local(message) << std::endl;
    result.results.push_back(std::move(entry));
  }

  const RenderOptions& options;
  FootprintRenderer renderer;
  std::ostream& err;
  bool progress;
  OutputNames names;
  BatchResult result;
};

// Milliseconds per footprint: the median, the 99th percentile (nearest
// rank) and the slowest footprint.
void write_timing(const BatchResult& result, std::ostream& out) {
  if (result.results.empty()) return;
  std::vector<double> times;
  const FootprintResult* slowest = &result.results.front();
  for (const FootprintResult& entry : result.results) {
    times.push_back(entry.milliseconds);
    if (entry.milliseconds > slowest->milliseconds) slowest = &entry;
  }
  std::sort(times.begin(), times.end());
  const std::size_t n = times.size();
  const double median = (times[(n - 1) / 2] + times[n / 2]) / 2;
  const double p99 = times[(99 * n + 99) / 100 - 1];
  std::ostringstream line;
  line << std::fixed << std::setprecision(2) << "Per footprint: median "
       << median << " ms, 99th percentile " << p99 << " ms, slowest "
       << slowest->milliseconds << " ms (" << local(slowest->file);
  if (!slowest->module.isEmpty()) line << ", module " << local(slowest->module);
  out << line.str() << ')' << std::endl;
}

QJsonObject counts_object(const KindCounts& counts) {
  QJsonObject object;
  for (const auto& [kind, count] : counts)
    object.insert(QString::fromStdString(kind), count);
  return object;
}

}  // namespace

std::vector<InputFile> collect_inputs(const QStringList& inputs,
                                      QStringList& missing) {
  std::vector<InputFile> files;
  for (const QString& input : inputs) {
    const QFileInfo info(input);
    if (!info.exists()) {
      missing.append(input);
    } else if (!info.isDir()) {
      files.push_back({input, QString()});
    } else {
      std::vector<InputFile> found;
      const QDir root(info.absoluteFilePath());
      QDirIterator walk(input, QDir::Files | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
      while (walk.hasNext()) {
        const QString path = walk.next();
        if (!zwidget::zcvpcb::format_for_path(path)) continue;
        found.push_back(
            {path, root.relativeFilePath(QFileInfo(path).absolutePath())});
      }
      std::sort(found.begin(), found.end(),
                [](const InputFile& a, const InputFile& b) {
                  return a.path < b.path;
                });
      files.insert(files.end(), found.begin(), found.end());
    }
  }
  return files;
}

BatchResult render_batch(const RenderOptions& options,
                         const std::vector<InputFile>& files, std::ostream& err,
                         bool progress) {
  QElapsedTimer timer;
  timer.start();
  Batch batch(options, err, progress);
  const int total = static_cast<int>(files.size());
  for (int i = 0; i < total; ++i) batch.render_file(files[i], i + 1, total);
  BatchResult result = batch.finish();
  result.seconds = timer.nsecsElapsed() / 1e9;
  return result;
}

void write_summary(const BatchResult& result, std::ostream& out) {
  out << "Files: " << result.files << '\n'
      << "Images written: " << result.images << '\n'
      << "Failures: " << result.failures << '\n';
  for (const FootprintResult& entry : result.results) {
    if (entry.ok) continue;
    out << "  " << local(entry.file);
    if (!entry.module.isEmpty())
      out << " (module " << local(entry.module) << ')';
    out << ": " << local(entry.message) << '\n';
  }
  if (result.not_drawn.empty()) {
    out << "Not drawn: nothing\n";
  } else {
    out << "Not drawn:\n";
    for (const auto& [kind, count] : result.not_drawn)
      out << "  " << kind << ' ' << count << '\n';
  }
  const int footprints = result.images + result.failures;
  std::ostringstream time;
  time << std::fixed << std::setprecision(2) << result.seconds << " s";
  if (result.seconds > 0 && footprints > 0)
    time << " (" << std::setprecision(1) << footprints / result.seconds
         << " footprints per second)";
  out << "Time: " << time.str() << std::endl;
  write_timing(result, out);
}

QJsonDocument report(const BatchResult& result) {
  QJsonArray entries;
  for (const FootprintResult& entry : result.results) {
    QJsonObject object;
    object.insert("file", entry.file);
    object.insert("module", entry.module);
    object.insert("status", entry.ok ? "ok" : "failed");
    object.insert("message", entry.message);
    object.insert("output", entry.output);
    object.insert("items", counts_object(entry.items));
    object.insert("not_drawn", counts_object(entry.not_drawn));
    // Hundredths of a millisecond are enough and keep the file readable.
    object.insert("milliseconds", std::round(entry.milliseconds * 100) / 100);
    entries.append(object);
  }
  QJsonObject root;
  root.insert("files", result.files);
  root.insert("images", result.images);
  root.insert("failures", result.failures);
  root.insert("not_drawn", counts_object(result.not_drawn));
  root.insert("results", entries);
  return QJsonDocument(root);
}

int run(const QStringList& arguments, std::ostream& out, std::ostream& err,
        bool progress) {
  const ParsedArguments parsed = parse_arguments(arguments);
  if (parsed.help) {
    out << local(usage());
    return 0;
  }
  if (!parsed.error.isEmpty()) {
    err << "padscope-render: " << local(parsed.error) << "\n\n"
        << local(usage());
    return 2;
  }
  const RenderOptions& options = parsed.options;
  QStringList missing;
  const std::vector<InputFile> files = collect_inputs(options.inputs, missing);
  if (!missing.isEmpty()) {
    for (const QString& input : missing)
      err << "padscope-render: no such file or folder: " << local(input)
          << '\n';
    err << '\n' << local(usage());
    return 2;
  }

  const BatchResult result = render_batch(options, files, err, progress);
  write_summary(result, out);
  int status = result.failures > 0 ? 1 : 0;
  if (!options.report_file.isEmpty()) {
    const QFileInfo target(options.report_file);
    QSaveFile file(options.report_file);
    const QByteArray json = report(result).toJson(QJsonDocument::Indented);
    if (!QDir().mkpath(target.absolutePath()) ||
        !file.open(QIODevice::WriteOnly) || file.write(json) != json.size() ||
        !file.commit()) {
      err << "padscope-render: cannot write the report "
          << local(options.report_file) << ": " << local(file.errorString())
          << std::endl;
      status = 1;
    }
  }
  return status;
}

}  // namespace padscope::render
