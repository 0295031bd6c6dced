#include "apps/padscope-render/library_diff.h"

#include "apps/padscope-render/batch.h"
#include "apps/padscope-render/footprint_renderer.h"
#include "apps/padscope-render/inputs.h"
#include "apps/padscope-render/output_folder.h"
#include "zcore/models.h"
#include "zwidget/zviewer/footprint_file.h"
#include "zwidget/zviewer/footprint_formats.h"
#include "zwidget/zviewer/obj_canvas.h"
#include "zwidget/zviewer/zmessage_exception.h"

#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QUrl>

#include <cmath>
#include <exception>
#include <iomanip>
#include <sstream>

namespace padscope::render {

namespace {

using zwidget::zcvpcb::FootprintFormat;

// Lines a footprint's entry on the page shows at most; the report has all.
constexpr int kMostLinesShown = 40;

const char* const kClearLine = "\r\033[K";

QString text_of(const std::string& text) {
  return QString::fromStdString(text);
}

// "Package_QFP.pretty" as "Package_QFP".
QString library_key(QString folder) {
  if (folder.endsWith(QLatin1String(".pretty")))
    folder.chop(static_cast<int>(qstrlen(".pretty")));
  return folder;
}

QString joined_key(const QString& library, const QString& name) {
  return library.isEmpty() ? name : library + '/' + name;
}

const FootprintFormat* format_of_file(const QString& path) {
  return zwidget::zcvpcb::format_for_file(path);
}

std::shared_ptr<zcore::BaseModel> read_file(const QString& path,
                                            const FootprintFormat& format) {
  QFile file;
  zwidget::zcvpcb::open_footprint_file(path, file);
  QDataStream stream(&file);
  std::shared_ptr<zcore::BaseModel> model = format.make_model();
  zwidget::zcvpcb::read_model(*model, stream);
  const std::string problem = format.footprint_problem(*model);
  if (!problem.empty())
    throw zwidget::zaux::ZMessageException(text_of(problem));
  return model;
}

// The modules of a legacy library, or the one footprint of a file.
void add_file(const QString& path, const QString& library, bool whole_input,
              std::map<QString, LibraryFootprint>& found,
              QStringList& problems) {
  const FootprintFormat* format = format_of_file(path);
  if (!format) {
    problems << path + QStringLiteral(": Not a footprint file");
    return;
  }
  const auto add = [&](const QString& key, int module) {
    if (!found.emplace(key, LibraryFootprint{key, path, module}).second)
      problems << path + QStringLiteral(": a second footprint named ") + key;
  };
  if (!format->library_file) {
    add(joined_key(library, QFileInfo(path).completeBaseName()), -1);
    return;
  }
  try {
    const std::optional<zcore::footprint_library> modules =
        format->library_of(read_file(path, *format));
    const QString own =
        whole_input ? library
                    : joined_key(library, QFileInfo(path).completeBaseName());
    const std::size_t count = modules ? modules->names.size() : 1;
    for (std::size_t i = 0; i < count; ++i)
      add(joined_key(own, modules ? text_of(modules->names[i])
                                  : QFileInfo(path).completeBaseName()),
          static_cast<int>(i));
  } catch (const std::exception& error) {
    problems << path + ": " + QString::fromLocal8Bit(error.what());
  }
}

QJsonObject difference_object(const zcore::difference& d) {
  return QJsonObject{
      {"subject", text_of(d.subject)}, {"name", text_of(d.name)},
      {"change", text_of(d.change)},   {"old", text_of(d.old_value)},
      {"new", text_of(d.new_value)},   {"summary", text_of(d.summary)}};
}

QJsonArray names_array(const QStringList& names) {
  QJsonArray array;
  for (const QString& name : names) array.append(name);
  return array;
}

// A relative path as a link: each part percent-encoded.
QString link_of(const QString& relative) {
  QStringList parts;
  for (const QString& part : relative.split('/'))
    parts << QString::fromLatin1(QUrl::toPercentEncoding(part));
  return parts.join('/');
}

QString escaped(const QString& text) {
  return text.toHtmlEscaped();
}

void write_list(QString& page, const QStringList& names) {
  page += QStringLiteral("<ul class=\"names\">\n");
  for (const QString& name : names) page += "<li>" + escaped(name) + "</li>\n";
  page += QStringLiteral("</ul>\n");
}

void write_change(QString& page, const FootprintChange& change) {
  const QString name = escaped(change.before.key);
  page += "<section class=\"change\" id=\"" +
          escaped(link_of(change.before.key)) + "\">\n<h3>" + name + "</h3>\n";
  if (!change.image.isEmpty())
    page += "<img src=\"" + escaped(link_of(change.image)) + "\" alt=\"" +
            name + "\" loading=\"lazy\">\n";
  page += QStringLiteral("<ul class=\"differences\">\n");
  QStringList lines;
  for (const zcore::layer_change& layer : change.result.layers)
    lines << text_of(layer.summary);
  for (const zcore::difference& d : change.result.differences)
    if (d.subject != "graphic") lines << text_of(d.summary);
  for (int i = 0; i < lines.size() && i < kMostLinesShown; ++i)
    page += "<li>" + escaped(lines[i]) + "</li>\n";
  if (lines.size() > kMostLinesShown)
    page +=
        QStringLiteral("<li class=\"more\">and %1 more in report.json</li>\n")
            .arg(lines.size() - kMostLinesShown);
  page += QStringLiteral("</ul>\n</section>\n");
}

const char* const kStyle =
    "body{font-family:sans-serif;margin:1em 2em;background:#fafafa}"
    "h3{margin:.2em 0;font-family:monospace}"
    ".change{display:flex;flex-wrap:wrap;gap:1em;align-items:flex-start;"
    "border-top:1px solid #ccc;padding:.8em 0}"
    ".change h3{flex-basis:100%}"
    ".change img{width:400px;max-width:100%;background:#000}"
    ".differences{margin:0;font-size:90%;font-family:monospace}"
    ".names{columns:3;font-family:monospace;font-size:90%}"
    ".key span{display:inline-block;width:1em;height:1em;margin:0 .3em "
    "0 1em;vertical-align:middle}";

class Differ {
public:
  Differ(const RenderOptions& options, std::ostream& err, bool progress)
      : options(options),
        renderer(options.style),
        output(options.output_dir),
        err(err),
        progress(progress) {}

  void compare(const std::map<QString, LibraryFootprint>& before,
               const std::map<QString, LibraryFootprint>& after) {
    auto p = before.begin();
    auto q = after.begin();
    int done = 0;
    const int total = static_cast<int>(before.size() + after.size());
    while (p != before.end() || q != after.end()) {
      if (q == after.end() || (p != before.end() && p->first < q->first)) {
        diff.removed << p->first;
        ++p;
        ++done;
      } else if (p == before.end() || q->first < p->first) {
        diff.added << q->first;
        ++q;
        ++done;
      } else {
        done += 2;
        if (progress)
          err << kClearLine << '[' << done << '/' << total << "] "
              << printable(p->first) << std::flush;
        compare_pair(p->second, q->second);
        ++p;
        ++q;
      }
    }
    if (progress) err << kClearLine << std::flush;
  }

  LibraryDiff diff;

private:
  void compare_pair(const LibraryFootprint& before,
                    const LibraryFootprint& after) {
    FootprintChange change{before, after, {}, {}};
    std::shared_ptr<zcore::BaseModel> old_model, new_model;
    try {
      old_model = read_footprint(before);
      new_model = read_footprint(after);
      change.result = zcore::compare_footprints(zcore::contents_of(*old_model),
                                                zcore::contents_of(*new_model));
    } catch (const std::exception& error) {
      fail(before.key, QString::fromLocal8Bit(error.what()));
      return;
    }
    if (change.result.same()) {
      diff.unchanged << before.key;
      return;
    }
    try {
      renderer.show_comparison(*old_model, *new_model, change.result);
      const QByteArray image = options.format == ImageFormat::png
                                   ? renderer.png()
                                   : renderer.svg(before.key);
      const int slash = before.key.lastIndexOf('/');
      const QString relative = output.claim(
          joined_key(QStringLiteral("images"),
                     slash < 0 ? QString() : before.key.left(slash)),
          file_name_part(before.key.mid(slash + 1),
                         QStringLiteral("footprint")),
          suffix(options.format == ImageFormat::png ? ImageFormat::png
                                                    : ImageFormat::svg));
      const QString problem = output.write(relative, image);
      if (problem.isEmpty())
        change.image = relative;
      else
        fail(before.key, problem);
    } catch (const std::exception& error) {
      fail(before.key, QString::fromLocal8Bit(error.what()));
    }
    diff.changed.push_back(std::move(change));
  }

  void fail(const QString& key, const QString& message) {
    if (progress) err << kClearLine;
    err << "failed: " << printable(key) << ": " << printable(message)
        << std::endl;
    diff.failures.emplace_back(key, message);
  }

  const RenderOptions& options;
  FootprintRenderer renderer;
  OutputFolder output;
  std::ostream& err;
  bool progress;
};

void write_summary(const LibraryDiff& diff, std::ostream& out) {
  out << "Old: " << printable(diff.before) << '\n'
      << "New: " << printable(diff.after) << '\n'
      << "Added: " << diff.added.size() << '\n'
      << "Removed: " << diff.removed.size() << '\n'
      << "Changed: " << diff.changed.size() << '\n'
      << "Unchanged: " << diff.unchanged.size() << '\n'
      << "Errors: " << diff.failures.size() << '\n';
  for (const auto& [key, message] : diff.failures)
    out << "  " << printable(key) << ": " << printable(message) << '\n';
  std::ostringstream time;
  time << std::fixed << std::setprecision(2) << diff.seconds << " s";
  out << "Time: " << time.str() << std::endl;
}

}  // namespace

std::map<QString, LibraryFootprint> list_footprints(const QString& input,
                                                    QStringList& problems) {
  std::map<QString, LibraryFootprint> found;
  if (!QFileInfo(input).isDir()) {
    add_file(input, QString(), true, found, problems);
    return found;
  }
  QStringList missing;
  std::vector<SkippedPath> skipped;
  for (const InputFile& file :
       collect_inputs(QStringList(input), missing, skipped))
    add_file(file.path, library_key(file.relative_dir), false, found, problems);
  for (const QString& path : missing)
    problems << path + QStringLiteral(": No such file or folder");
  for (const SkippedPath& path : skipped)
    problems << path.path + ": " + path.reason;
  return found;
}

std::shared_ptr<zcore::BaseModel> read_footprint(
    const LibraryFootprint& footprint) {
  return zwidget::zcvpcb::read_footprint(footprint.file,
                                         std::max(0, footprint.module));
}

QJsonDocument diff_report(const LibraryDiff& diff) {
  QJsonArray changes;
  for (const FootprintChange& change : diff.changed) {
    QJsonArray layers, differences;
    for (const zcore::layer_change& layer : change.result.layers)
      layers.append(QJsonObject{{"layer", text_of(layer.layer)},
                                {"summary", text_of(layer.summary)}});
    for (const zcore::difference& d : change.result.differences)
      differences.append(difference_object(d));
    QJsonObject object{{"name", change.before.key},
                       {"old_file", change.before.file},
                       {"new_file", change.after.file},
                       {"image", change.image},
                       {"layers", layers},
                       {"differences", differences}};
    if (change.before.module >= 0)
      object.insert("old_module", change.before.module);
    if (change.after.module >= 0)
      object.insert("new_module", change.after.module);
    changes.append(object);
  }
  QJsonArray errors;
  for (const auto& [key, message] : diff.failures)
    errors.append(QJsonObject{{"name", key}, {"message", message}});
  QJsonObject root{{"old", diff.before},
                   {"new", diff.after},
                   {"tolerance_mm", zcore::kCompareTolerance},
                   {"added", static_cast<int>(diff.added.size())},
                   {"removed", static_cast<int>(diff.removed.size())},
                   {"changed", static_cast<int>(diff.changed.size())},
                   {"unchanged", static_cast<int>(diff.unchanged.size())},
                   {"errors", static_cast<int>(diff.failures.size())},
                   {"added_footprints", names_array(diff.added)},
                   {"removed_footprints", names_array(diff.removed)},
                   {"unchanged_footprints", names_array(diff.unchanged)},
                   {"changes", changes},
                   {"error_list", errors},
                   {"seconds", std::round(diff.seconds * 100) / 100}};
  return QJsonDocument(root);
}

QByteArray diff_page(const LibraryDiff& diff) {
  QString page = QStringLiteral(
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<title>Footprint changes</title>\n<style>");
  page += QString::fromLatin1(kStyle);
  page +=
      QStringLiteral("</style>\n</head>\n<body>\n<h1>Footprint changes</h1>\n");
  page += "<p>Old: <code>" + escaped(diff.before) + "</code><br>New: <code>" +
          escaped(diff.after) + "</code></p>\n";
  page += QStringLiteral(
              "<p>%1 changed, %2 added, %3 removed, %4 unchanged, %5 "
              "errors.</p>\n")
              .arg(diff.changed.size())
              .arg(diff.added.size())
              .arg(diff.removed.size())
              .arg(diff.unchanged.size())
              .arg(diff.failures.size());
  page += QStringLiteral(
      "<p class=\"key\">In the pictures:<span style=\"background:#eb5050\">"
      "</span>old<span style=\"background:#46c8ff\"></span>new<span "
      "style=\"background:#8c8c8c\"></span>both</p>\n");
  page += QStringLiteral("<h2>Changed (%1)</h2>\n").arg(diff.changed.size());
  for (const FootprintChange& change : diff.changed) write_change(page, change);
  page += QStringLiteral("<h2>Added (%1)</h2>\n").arg(diff.added.size());
  write_list(page, diff.added);
  page += QStringLiteral("<h2>Removed (%1)</h2>\n").arg(diff.removed.size());
  write_list(page, diff.removed);
  if (!diff.failures.empty()) {
    page += QStringLiteral("<h2>Errors (%1)</h2>\n<ul>\n")
                .arg(diff.failures.size());
    for (const auto& [key, message] : diff.failures)
      page += "<li><code>" + escaped(key) + "</code>: " + escaped(message) +
              "</li>\n";
    page += QStringLiteral("</ul>\n");
  }
  page += QStringLiteral("<details>\n<summary>Unchanged (%1)</summary>\n")
              .arg(diff.unchanged.size());
  write_list(page, diff.unchanged);
  page += QStringLiteral("</details>\n</body>\n</html>\n");
  return page.toUtf8();
}

int run_diff(const RenderOptions& options, std::ostream& out, std::ostream& err,
             bool progress) {
  QElapsedTimer timer;
  timer.start();
  if (options.inputs.size() != 2) {
    err << "padscope-render: --diff takes two inputs, OLD and NEW\n";
    return 2;
  }
  for (const QString& input : options.inputs) {
    if (!QFileInfo::exists(input)) {
      err << "padscope-render: no such file or folder: " << printable(input)
          << '\n';
      return 2;
    }
  }
  QStringList problems;
  const std::map<QString, LibraryFootprint> before =
      list_footprints(options.inputs[0], problems);
  const std::map<QString, LibraryFootprint> after =
      list_footprints(options.inputs[1], problems);
  Differ differ(options, err, progress);
  LibraryDiff& diff = differ.diff;
  diff.before = options.inputs[0];
  diff.after = options.inputs[1];
  for (const QString& problem : problems) {
    err << "skipped: " << printable(problem) << '\n';
    diff.failures.emplace_back(problem, QStringLiteral("could not be read"));
  }
  differ.compare(before, after);
  diff.seconds = timer.nsecsElapsed() / 1e9;
  int status =
      !diff.failures.empty() ? 2
      : diff.added.isEmpty() && diff.removed.isEmpty() && diff.changed.empty()
          ? 0
          : 1;
  const QString report_path =
      QDir(options.output_dir).filePath(QStringLiteral("report.json"));
  const QString page_path =
      QDir(options.output_dir).filePath(QStringLiteral("index.html"));
  for (const auto& [path, bytes] :
       {std::make_pair(report_path,
                       diff_report(diff).toJson(QJsonDocument::Indented)),
        std::make_pair(page_path, diff_page(diff))}) {
    const QString problem = write_file_in_place(path, bytes);
    if (!problem.isEmpty()) {
      err << "padscope-render: cannot write " << printable(path) << ": "
          << printable(problem) << std::endl;
      status = 2;
    }
  }
  write_summary(diff, out);
  return status;
}

}  // namespace padscope::render
