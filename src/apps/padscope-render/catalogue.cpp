#include "apps/padscope-render/catalogue.h"

#include "apps/padscope-render/batch.h"
#include "apps/padscope-render/footprint_renderer.h"
#include "apps/padscope-render/output_folder.h"
#include "zcore/footprint_facts.h"
#include "zcore/footprint_format.h"
#include "zcore/index_entry.h"
#include "zwidget/zviewer/footprint_formats.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>

#include <cmath>
#include <exception>

// Resources of a static library are brought in by name, outside any
// namespace.
static void init_catalogue_resources() {
  Q_INIT_RESOURCE(catalogue);
}

namespace padscope::render {

namespace {

const char* const kPictures = "footprints";
// The grid's pictures.
const QSize kThumbnailSize(240, 180);
constexpr int kThumbnailMargin = 6;

QString escaped(const std::string& text) {
  return QString::fromStdString(text).toHtmlEscaped();
}

// Millimetres as a person reads them: no more decimals than needed.
QString millimetres(double value) {
  return QString::number(std::round(value * 1e4) / 1e4, 'g', 10);
}

QString size_text(const std::optional<zcore::dimensions>& size) {
  if (!size) return QString();
  return millimetres(size->width) + QString::fromUtf8(" \u00d7 ") +
         millimetres(size->height) + QStringLiteral(" mm");
}

QJsonValue size_value(const std::optional<zcore::dimensions>& size) {
  if (!size) return QJsonValue();
  return QJsonArray{size->width, size->height};
}

// A relative path as a URL: each part percent-encoded, so that "#", "%"
// or a blank in a name stays part of it.
QString url_of(const QString& relative) {
  QStringList parts = relative.split('/');
  for (QString& part : parts)
    part = QString::fromLatin1(QUrl::toPercentEncoding(part));
  return parts.join('/');
}

// The search's word for the kind: smd and tht, as the viewer's query has
// them; others match neither.
QString kind_word(zcore::footprint_kind kind) {
  switch (kind) {
    case zcore::footprint_kind::smd:
      return QStringLiteral("smd");
    case zcore::footprint_kind::through_hole:
      return QStringLiteral("tht");
    default:
      break;
  }
  return QString();
}

// The library as a person knows it: the folder of a .kicad_mod file, a
// legacy .mod file itself, without its extension.
std::string library_of(const InputFile& input,
                       const zcore::footprint_format& format) {
  const QFileInfo info(input.path);
  zcore::index_entry entry;
  entry.library =
      (format.library_file ? info.filePath() : info.path()).toStdString();
  return zcore::library_name(entry);
}

struct Footprint {
  QString name;
  std::string library;
  zcore::footprint_facts facts;
  zcore::footprint_figures figures;
  QString description;
  QString tags;
  // Relative to the catalogue, without a suffix.
  QString base;
  QSizeF drawn_millimetres;
};

class Catalogue {
public:
  Catalogue(const QString& folder, const RenderStyle& style, std::ostream& err)
      : folder(folder),
        renderer(thumbnail_style(style)),
        output(folder),
        err(err) {}

  void add_file(const InputFile& input) {
    const zwidget::zcvpcb::FootprintFormat* format =
        zwidget::zcvpcb::format_for_path(input.path);
    if (!format) return fail(input.path, "not a footprint file");
    QString problem = attempt([&] { renderer.load(input.path, *format); });
    const int modules = renderer.module_count();
    const QString dir = QDir(kPictures).filePath(
        modules > 1 ? library_folder(input) : input.relative_dir);
    for (int index = 0; index < std::max(modules, 1); ++index) {
      if (index > 0) problem = attempt([&] { renderer.show_module(index); });
      if (!problem.isEmpty()) {
        fail(input.path, problem);
        continue;
      }
      const QString name = renderer.footprint_name();
      const QString base =
          modules > 1
              ? file_name_part(name, QStringLiteral("module-%1").arg(index + 1))
              : QFileInfo(input.path).completeBaseName();
      add_footprint(input, *format, name, output.claim(dir, base, "html"));
    }
  }

  int count() const { return static_cast<int>(data.size()); }
  int failures() const { return failed; }

  // The grid and its data; false when they cannot be written.
  bool write_index() {
    QByteArray script = "window.CATALOGUE = ";
    // Within a script "<" is written escaped, so that no text closes it.
    script += QJsonDocument(data)
                  .toJson(QJsonDocument::Compact)
                  .replace("<", "\\u003c");
    script += ";\n";
    bool ok = write_file("catalogue-data.js", script);
    for (const char* name : {"index.html", "catalogue.js", "catalogue.css"}) {
      QFile resource(QStringLiteral(":/catalogue/") + name);
      ok = resource.open(QIODevice::ReadOnly) &&
           write_file(name, resource.readAll()) && ok;
    }
    return ok;
  }

private:
  static RenderStyle thumbnail_style(RenderStyle style) {
    style.size = kThumbnailSize;
    style.margin = kThumbnailMargin;
    style.scale = 0;
    return style;
  }

  template <typename Step>
  static QString attempt(Step&& step) {
    try {
      step();
    } catch (const std::exception& error) {
      const QString message = QString::fromLocal8Bit(error.what());
      return message.isEmpty() ? QStringLiteral("Unknown error") : message;
    }
    return QString();
  }

  void fail(const QString& path, const QString& problem) {
    ++failed;
    err << "failed: " << printable(path) << ": " << printable(problem) << '\n';
  }

  bool write_file(const QString& relative, const QByteArray& bytes) {
    const QString problem =
        write_file_in_place(QDir(folder).filePath(relative), bytes);
    if (problem.isEmpty()) return true;
    err << "padscope-render: " << printable(problem) << '\n';
    return false;
  }

  void add_footprint(const InputFile& input,
                     const zcore::footprint_format& format, const QString& name,
                     const QString& page) {
    Footprint footprint;
    footprint.name = name;
    footprint.library = library_of(input, format);
    footprint.base = page.chopped(5);
    if (const auto model = renderer.model()) {
      footprint.facts = zcore::facts_of(*model);
      footprint.description =
          QString::fromStdString(format.description(*model));
      footprint.tags = QString::fromStdString(format.tags(*model));
    }
    footprint.figures = zcore::figures_of(footprint.facts);
    const QByteArray svg = renderer.svg_at_scale(name, 1);
    footprint.drawn_millimetres = renderer.drawn_millimetres(1);
    QString problem = output.write(footprint.base + ".png", renderer.png());
    if (problem.isEmpty()) problem = output.write(footprint.base + ".svg", svg);
    if (problem.isEmpty())
      problem = output.write(page, page_of(footprint, input).toUtf8());
    if (!problem.isEmpty()) return fail(input.path, problem);
    data.append(entry_of(footprint));
  }

  static QJsonArray entry_of(const Footprint& f) {
    const auto& figures = f.figures;
    return QJsonArray{f.name,
                      QString::fromStdString(f.library),
                      f.description,
                      f.tags,
                      static_cast<int>(figures.pads),
                      figures.pitch ? QJsonValue(*figures.pitch) : QJsonValue(),
                      kind_word(figures.kind),
                      size_value(figures.courtyard),
                      size_value(figures.body),
                      url_of(f.base)};
  }

  static QString page_of(const Footprint& f, const InputFile& input);

  QString folder;
  FootprintRenderer renderer;
  OutputFolder output;
  std::ostream& err;
  QJsonArray data;
  int failed = 0;
};

// A row of the facts' table, left out when it has no value.
void add_row(QString& html, const char* heading, const QString& value) {
  if (value.isEmpty()) return;
  html += QStringLiteral("<tr><th>%1</th><td>%2</td></tr>\n")
              .arg(QLatin1String(heading), value);
}

QString pad_types(const zcore::footprint_facts& facts) {
  QStringList types;
  for (const auto& [type, count] : facts.pads_by_type)
    types << QStringLiteral("%1 %2").arg(count).arg(escaped(type));
  return types.join(", ");
}

// A link only for a web address: any other scheme could run script.
QString datasheet_link(const std::string& datasheet) {
  const QString text = escaped(datasheet);
  const QUrl url(QString::fromStdString(datasheet), QUrl::StrictMode);
  if (!url.isValid() || (url.scheme() != QLatin1String("http") &&
                         url.scheme() != QLatin1String("https")))
    return text;
  return QStringLiteral("<a href=\"%1\">%2</a>")
      .arg(url.toString(QUrl::FullyEncoded).toHtmlEscaped(), text);
}

// Void elements are closed, so that the page is well-formed XML as well.
QString Catalogue::page_of(const Footprint& f, const InputFile& input) {
  const QString up = QStringLiteral("../").repeated(f.base.count('/'));
  const QString name = f.name.toHtmlEscaped();
  const QString picture = url_of(QFileInfo(f.base).fileName());
  const zcore::footprint_facts& facts = f.facts;
  QString html = QStringLiteral(
                     "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n"
                     "<meta charset=\"utf-8\"/>\n<title>%1</title>\n"
                     "<link rel=\"stylesheet\" href=\"%2catalogue.css\"/>\n"
                     "</head>\n<body>\n<main class=\"footprint\">\n"
                     "<p><a href=\"%2index.html\">All footprints</a></p>\n"
                     "<h1>%1</h1>\n"
                     "<a href=\"%3.svg\"><img class=\"picture\" src=\"%3.svg\" "
                     "alt=\"%1\"/></a>\n<table>\n")
                     .arg(name, up, picture);
  add_row(html, "Library", escaped(f.library));
  add_row(html, "Description", f.description.toHtmlEscaped());
  add_row(html, "Tags", f.tags.toHtmlEscaped());
  add_row(html, "Pads", QString::number(f.figures.pads));
  add_row(html, "Pad types", pad_types(facts));
  if (f.figures.pitch)
    add_row(html, "Pitch", millimetres(*f.figures.pitch) + " mm");
  add_row(html, "Kind", QString::fromLatin1(zcore::kind_name(facts.kind)));
  add_row(html, "Courtyard", size_text(facts.courtyard));
  add_row(html, "Body", size_text(facts.fab));
  if (!f.drawn_millimetres.isEmpty())
    add_row(html, "Drawing",
            size_text(zcore::dimensions{f.drawn_millimetres.width(),
                                        f.drawn_millimetres.height()}) +
                " (the picture at true size)");
  add_row(html, "Datasheet", datasheet_link(facts.datasheet));
  QStringList models;
  for (const std::string& model : facts.models) models << escaped(model);
  add_row(html, "3D models", models.join("<br/>"));
  add_row(html, "Format", escaped(facts.generation));
  add_row(html, "File", QDir::toNativeSeparators(input.path).toHtmlEscaped());
  html += QStringLiteral("</table>\n</main>\n</body>\n</html>\n");
  return html;
}

}  // namespace

CatalogueResult write_catalogue(const QString& folder, const RenderStyle& style,
                                const std::vector<InputFile>& files,
                                std::ostream& err, bool progress) {
  init_catalogue_resources();
  QElapsedTimer timer;
  timer.start();
  Catalogue catalogue(folder, style, err);
  const int total = static_cast<int>(files.size());
  for (int i = 0; i < total; ++i) {
    if (progress)
      err << "\r\033[K[" << i + 1 << '/' << total << "] "
          << printable(files[i].path) << std::flush;
    catalogue.add_file(files[i]);
  }
  if (progress) err << "\r\033[K" << std::flush;
  CatalogueResult result;
  result.footprints = catalogue.count();
  result.failures = catalogue.failures();
  if (!catalogue.write_index()) ++result.failures;
  result.seconds = timer.nsecsElapsed() / 1e9;
  return result;
}

}  // namespace padscope::render
