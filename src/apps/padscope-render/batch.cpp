#include "apps/padscope-render/batch.h"

#include "apps/padscope-render/catalogue.h"
#include "apps/padscope-render/find_command.h"
#include "apps/padscope-render/jobs.h"
#include "apps/padscope-render/library_diff.h"
#include "apps/padscope-render/output_folder.h"
#include "apps/padscope-render/pdf_pages.h"
#include "zwidget/zviewer/footprint_file.h"
#include "zwidget/zviewer/footprint_formats.h"

#include <sys/stat.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <exception>
#include <iomanip>
#include <memory>
#include <optional>
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

}  // namespace

QString file_name_part(const QString& name, const QString& fallback) {
  static const QString kBad = QStringLiteral("/\\:*?\"<>|");
  QString part = name;
  for (QChar& c : part) {
    if (c.unicode() < 32 || kBad.contains(c)) c = QChar('_');
  }
  part = part.trimmed();
  if (part.isEmpty() || part == QLatin1String(".") ||
      part == QLatin1String(".."))
    part = fallback;
  return part;
}

namespace {

class Batch {
public:
  Batch(const RenderOptions& options, std::ostream& err, bool progress,
        const BatchObserver* observer)
      : options(options),
        renderer(options.style),
        output(options.output_dir),
        err(err),
        progress(progress),
        observer(observer) {
    if (options.single_file)
      pages = std::make_unique<PdfPages>(
          QFileInfo(options.output_dir).completeBaseName());
  }

  void render_file(const InputFile& input, int done, int total) {
    current = done - 1;
    if (observer && observer->begun) observer->begun(current);
    if (progress)
      err << kClearLine << '[' << done << '/' << total << "] "
          << printable(input.path) << std::flush;
    ++result.files;
    const QFileInfo info(input.path);
    const QString& dir = input.relative_dir;

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
      write(first, output.claim(dir, info.completeBaseName(), suffix()), timer);
      return;
    }
    // A library of several modules: a folder named after it, an image per
    // module named after the module. One that cannot be drawn (the first
    // one too) fails alone.
    const QString library_dir = library_folder(input);
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
            output.claim(
                library_dir,
                file_name_part(entry.module,
                               QStringLiteral("module-%1").arg(index + 1)),
                suffix()),
            timer);
    }
  }

  BatchResult finish() {
    if (progress) err << kClearLine << std::flush;
    if (pages) write_pages();
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

  QByteArray encode(const QString& title) const {
    switch (options.format) {
      case ImageFormat::svg:
        return renderer.svg(title);
      case ImageFormat::qt_svg:
        return renderer.qt_svg(title);
      case ImageFormat::pdf:
        return renderer.pdf(title);
      case ImageFormat::png:
        break;
    }
    return renderer.png();
  }

  // The page of the single PDF.
  void add_page(FootprintResult& entry, const QElapsedTimer& timer) {
    if (!pages->add(renderer)) {
      fail(entry, QStringLiteral("Nothing shown to put on a page"), timer);
      return;
    }
    entry.ok = true;
    entry.output = options.output_dir;
    entry.milliseconds = timer.nsecsElapsed() / 1e6;
    ++result.images;
    for (const auto& [kind, count] : entry.not_drawn)
      result.not_drawn[kind] += count;
    add(std::move(entry));
  }

  void write_pages() {
    const QByteArray document = pages->finish();
    if (document.isEmpty()) return;
    const QString problem = write_file_in_place(options.output_dir, document);
    if (problem.isEmpty()) return;
    err << "padscope-render: cannot write " << printable(options.output_dir)
        << ": " << printable(problem) << std::endl;
    // Every page is lost with the file.
    for (FootprintResult& entry : result.results) {
      if (!entry.ok) continue;
      entry.ok = false;
      entry.message = problem;
      entry.output.clear();
      --result.images;
      ++result.failures;
    }
  }

  void write(FootprintResult& entry, const QString& relative,
             const QElapsedTimer& timer) {
    entry.items = renderer.items();
    entry.not_drawn = renderer.not_drawn();
    if (!options.report_file.isEmpty())
      entry.facts = facts_object(renderer.facts());
    if (pages) {
      add_page(entry, timer);
      return;
    }
    const QByteArray image = encode(entry.module);
    // Not synced to the disk: that took longer than drawing.
    const QString problem =
        image.isEmpty()
            ? QStringLiteral("Cannot encode %1").arg(output.path(relative))
            : output.write(relative, image);
    if (!problem.isEmpty()) {
      fail(entry, problem, timer);
      return;
    }
    entry.ok = true;
    entry.output = output.path(relative);
    entry.milliseconds = timer.nsecsElapsed() / 1e6;
    ++result.images;
    for (const auto& [kind, count] : entry.not_drawn)
      result.not_drawn[kind] += count;
    add(std::move(entry));
  }

  void fail(FootprintResult& entry, const QString& message,
            const QElapsedTimer& timer) {
    entry.ok = false;
    entry.message = message;
    entry.milliseconds = timer.nsecsElapsed() / 1e6;
    ++result.failures;
    write_failure(entry, err, progress);
    add(std::move(entry));
  }

  void add(FootprintResult&& entry) {
    if (observer && observer->result) observer->result(current, entry);
    result.results.push_back(std::move(entry));
  }

  const RenderOptions& options;
  FootprintRenderer renderer;
  OutputFolder output;
  std::ostream& err;
  bool progress;
  const BatchObserver* observer;
  // The index of the file being rendered.
  int current = -1;
  BatchResult result;
  // With a single file: its pages.
  std::unique_ptr<PdfPages> pages;
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
       << slowest->milliseconds << " ms (" << printable(slowest->file);
  if (!slowest->module.isEmpty())
    line << ", module " << printable(slowest->module);
  out << line.str() << ')' << std::endl;
}

// A file name in the report: JSON escapes control characters itself, but
// has no way to hold bytes that are not UTF-8.
QString json_name(const QString& name) {
  const bool raw = std::any_of(name.begin(), name.end(), [](QChar c) {
    return c.unicode() >= 0xdc80 && c.unicode() <= 0xdcff;
  });
  return raw ? QString::fromStdString(printable(name)) : name;
}

// Whether `path` is the same file as one of `files`, by any name.
bool is_one_of(const QString& path, const std::vector<InputFile>& files) {
  using zwidget::zcvpcb::encode_file_name;
  struct stat target {};
  if (stat(encode_file_name(path).constData(), &target) != 0) return false;
  return std::any_of(files.begin(), files.end(), [&](const InputFile& file) {
    struct stat input {};
    return stat(encode_file_name(file.path).constData(), &input) == 0 &&
           input.st_dev == target.st_dev && input.st_ino == target.st_ino;
  });
}

QJsonArray pair_of(double a, double b) {
  return QJsonArray{a, b};
}

QJsonValue size_value(const std::optional<zcore::dimensions>& size) {
  if (!size) return QJsonValue::Null;
  return pair_of(size->width, size->height);
}

QJsonArray strings_of(const std::vector<std::string>& texts) {
  QJsonArray array;
  for (const std::string& text : texts)
    array.append(QString::fromStdString(text));
  return array;
}

QJsonObject pad_object(const zcore::pad_facts& pad) {
  return QJsonObject{
      {"number", QString::fromStdString(pad.number)},
      {"type", QString::fromStdString(pad.type)},
      {"shape", QString::fromStdString(pad.shape)},
      {"x", pad.position.x},
      {"y", pad.position.y},
      {"rotation", pad.rotation},
      {"width", pad.size.width},
      {"height", pad.size.height},
      {"drill", pair_of(pad.drill.width, pad.drill.height)},
      {"drill_offset", pair_of(pad.drill_offset.x, pad.drill_offset.y)},
      {"layers", strings_of(pad.layers)}};
}

QJsonObject counts_object(const KindCounts& counts) {
  QJsonObject object;
  for (const auto& [kind, count] : counts)
    object.insert(QString::fromStdString(kind), count);
  return object;
}

}  // namespace

QString library_folder(const InputFile& input) {
  return QDir(input.relative_dir)
      .filePath(file_name_part(QFileInfo(input.path).completeBaseName(),
                               QStringLiteral("library")));
}

// One write: workers' messages come between writes.
void write_failure(const FootprintResult& entry, std::ostream& err,
                   bool progress) {
  std::string line = progress ? kClearLine : "";
  line += "failed: " + printable(entry.file);
  if (!entry.module.isEmpty())
    line += " (module " + printable(entry.module) + ')';
  line += ": " + printable(entry.message) + '\n';
  err << line << std::flush;
}

BatchResult render_batch(const RenderOptions& options,
                         const std::vector<InputFile>& files, std::ostream& err,
                         bool progress, const BatchObserver* observer) {
  QElapsedTimer timer;
  timer.start();
  Batch batch(options, err, progress, observer);
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
    out << "  " << printable(entry.file);
    if (!entry.module.isEmpty())
      out << " (module " << printable(entry.module) << ')';
    out << ": " << printable(entry.message) << '\n';
  }
  if (!result.skipped.empty()) {
    out << "Skipped: " << result.skipped.size() << '\n';
    for (const SkippedPath& skipped : result.skipped)
      out << "  " << printable(skipped.path) << ": "
          << printable(skipped.reason) << '\n';
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

QJsonObject facts_object(const zcore::footprint_facts& facts) {
  QJsonObject by_type;
  for (const auto& [type, count] : facts.pads_by_type)
    by_type.insert(QString::fromStdString(type), static_cast<int>(count));
  QJsonArray pads;
  for (const zcore::pad_facts& pad : facts.pads) pads.append(pad_object(pad));
  QJsonValue bbox = QJsonValue::Null;
  if (const std::optional<zcore::box>& b = facts.bounds)
    bbox = QJsonArray{b->x0, b->y0, b->x1, b->y1};
  return QJsonObject{
      {"generation", QString::fromStdString(facts.generation)},
      {"kind", zcore::kind_name(facts.kind)},
      {"pad_count", static_cast<int>(facts.pads.size())},
      {"pads_by_type", by_type},
      {"pad_numbers", static_cast<int>(facts.distinct_numbers)},
      {"pitch", facts.pitch ? QJsonValue(*facts.pitch) : QJsonValue::Null},
      {"courtyard", size_value(facts.courtyard)},
      {"fab", size_value(facts.fab)},
      {"bbox", bbox},
      {"models", strings_of(facts.models)},
      {"datasheet", QString::fromStdString(facts.datasheet)},
      {"pads", pads}};
}

QJsonDocument report(const BatchResult& result) {
  QJsonArray entries;
  for (const FootprintResult& entry : result.results) {
    QJsonObject object;
    object.insert("file", json_name(entry.file));
    object.insert("module", entry.module);
    object.insert("status", entry.ok ? "ok" : "failed");
    object.insert("message", entry.message);
    object.insert("output", json_name(entry.output));
    object.insert("items", counts_object(entry.items));
    object.insert("not_drawn", counts_object(entry.not_drawn));
    object.insert("facts", entry.facts.isEmpty() ? QJsonValue::Null
                                                 : QJsonValue(entry.facts));
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
  QJsonArray skipped;
  for (const SkippedPath& entry : result.skipped)
    skipped.append(
        QJsonObject{{"path", json_name(entry.path)}, {"reason", entry.reason}});
  root.insert("skipped", skipped);
  return QJsonDocument(root);
}

int run(const QStringList& arguments, std::ostream& out, std::ostream& err,
        bool progress, const QString& worker_program) {
  const ParsedArguments parsed = parse_arguments(arguments);
  if (parsed.help) {
    out << local(usage());
    return 0;
  }
  if (!parsed.error.isEmpty()) {
    err << "padscope-render: " << printable(parsed.error) << "\n\n"
        << local(usage());
    return 2;
  }
  const RenderOptions& options = parsed.options;
  if (options.worker) return run_worker(options);
  if (options.diff) return run_diff(options, out, err, progress);
  if (!options.find.isEmpty())
    return run_find(options.find, options.inputs, out, err);
  QStringList missing;
  std::vector<SkippedPath> skipped;
  const std::vector<InputFile> files =
      collect_inputs(options.inputs, missing, skipped);
  if (!missing.isEmpty()) {
    for (const QString& input : missing)
      err << "padscope-render: no such file or folder: " << printable(input)
          << '\n';
    err << '\n' << local(usage());
    return 2;
  }
  if (!options.report_file.isEmpty() && is_one_of(options.report_file, files)) {
    err << "padscope-render: the report " << printable(options.report_file)
        << " is an input\n\n"
        << local(usage());
    return 2;
  }
  // Images take the output folder; a PDF is one file, and a catalogue has
  // a folder of its own.
  std::optional<FolderLock> lock;
  if (!options.single_file && options.catalogue_dir.isEmpty() &&
      lock.emplace(options.output_dir).busy()) {
    err << "padscope-render: another batch is writing into "
        << printable(options.output_dir) << '\n';
    return 2;
  }
  for (const SkippedPath& path : skipped)
    err << "skipped: " << printable(path.path) << ": " << printable(path.reason)
        << '\n';
  if (!options.catalogue_dir.isEmpty()) {
    const CatalogueResult written = write_catalogue(
        options.catalogue_dir, options.style, files, err, progress);
    out << "Footprints: " << written.footprints << '\n'
        << "Failures: " << written.failures << '\n'
        << "Time: " << written.seconds << " s\n"
        << "Catalogue: " << printable(options.catalogue_dir) << "/index.html"
        << std::endl;
    return written.failures > 0 || !skipped.empty() ? 1 : 0;
  }

  // One PDF is written by one process.
  const int jobs = worker_program.isEmpty() || options.single_file
                       ? 1
                       : worker_count(options.jobs, files.size(),
                                      QThread::idealThreadCount());
  BatchResult result = jobs > 1
                           ? render_in_workers(worker_program, arguments.mid(1),
                                               files, jobs, err, progress)
                           : render_batch(options, files, err, progress);
  result.skipped = std::move(skipped);
  write_summary(result, out);
  int status = result.failures > 0 || !result.skipped.empty() ? 1 : 0;
  if (!options.report_file.isEmpty()) {
    const QString problem = write_file_in_place(
        options.report_file, report(result).toJson(QJsonDocument::Indented));
    if (!problem.isEmpty()) {
      err << "padscope-render: cannot write the report: " << printable(problem)
          << std::endl;
      status = 1;
    }
  }
  return status;
}

}  // namespace padscope::render
