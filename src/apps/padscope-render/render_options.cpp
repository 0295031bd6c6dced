#include "apps/padscope-render/render_options.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QRegularExpression>

namespace padscope::render {

namespace {

// Larger images are more likely a typing error than a wish.
constexpr int kMaximumSide = 10000;

// More workers than this is a typing error too.
constexpr int kMaximumJobs = 256;

bool parse_size(const QString& text, QSize& size) {
  static const QRegularExpression pattern(QStringLiteral("^(\\d+)x(\\d+)$"));
  const QRegularExpressionMatch match = pattern.match(text);
  if (!match.hasMatch()) return false;
  bool width_ok = false;
  bool height_ok = false;
  const int width = match.captured(1).toInt(&width_ok);
  const int height = match.captured(2).toInt(&height_ok);
  if (!width_ok || !height_ok || width < 1 || height < 1 ||
      width > kMaximumSide || height > kMaximumSide)
    return false;
  size = QSize(width, height);
  return true;
}

// "N:M", the drawing N times as large as the footprint over M: 1:1, 2:1,
// 1:2.5. Beyond a thousand either way is a typing error.
bool parse_scale(const QString& text, double& scale) {
  static const QRegularExpression pattern(
      QStringLiteral("^(\\d+(?:\\.\\d+)?):(\\d+(?:\\.\\d+)?)$"));
  const QRegularExpressionMatch match = pattern.match(text);
  if (!match.hasMatch()) return false;
  const double drawn = match.captured(1).toDouble();
  const double real = match.captured(2).toDouble();
  if (drawn <= 0 || real <= 0) return false;
  scale = drawn / real;
  return scale >= 1e-3 && scale <= 1e3;
}

}  // namespace

QString usage() {
  return QStringLiteral(
      "Usage: padscope-render [options] INPUT...\n"
      "       padscope-render --diff [options] OLD NEW\n"
      "       padscope-render --find QUERY FOLDER...\n"
      "       padscope-render --catalogue DIR [options] INPUT...\n"
      "Renders footprints to images: each INPUT is a .kicad_mod file, a "
      "legacy .mod\n"
      "library (one image per module) or a folder searched recursively for "
      "them.\n"
      "\n"
      "Options:\n"
      "  -o, --output DIR        folder for the images, keeping the folders "
      "of\n"
      "                          a folder INPUT (default ./padscope-out)\n"
      "  -f, --format FORMAT     png, svg, pdf, or qt-svg for SVG through "
      "Qt's\n"
      "                          generator (default png)\n"
      "  -s, --size WxH          image size in pixels (default 800x600; a "
      "PDF\n"
      "                          page at 96 pixels an inch)\n"
      "      --scale N:M         SVG or PDF at true size (1:1) or N:M of it:\n"
      "                          as large as the drawn area, stated in mm\n"
      "      --single-file       with --format pdf: every footprint a page of\n"
      "                          one PDF, which -o names (default\n"
      "                          padscope-out.pdf)\n"
      "  -b, --background COLOR  black, white or transparent (default: "
      "the\n"
      "                          theme's, black for Classic)\n"
      "  -t, --theme NAME        colours: Classic, KiCad or Light (default\n"
      "                          Classic)\n"
      "  -l, --layers LIST       show only these, separated by commas: layer\n"
      "                          names such as F.Cu, Pads, Holes, or the\n"
      "                          presets All, Front, Back, Copper only,\n"
      "                          Assembly, Silkscreen and pads\n"
      "      --flip              the view from below, mirrored left to "
      "right\n"
      "      --grid              draw the viewer's point grid\n"
      "  -m, --margin PIXELS     free border around the footprint (default "
      "0)\n"
      "      --report FILE       write the results of every footprint as "
      "JSON\n"
      "  -j, --jobs N            render in N processes (default: one per "
      "core)\n"
      "      --diff              compare the footprints of OLD and NEW "
      "(folders,\n"
      "                          legacy libraries or files) by name; writes\n"
      "                          report.json, index.html and a picture of\n"
      "                          each changed footprint over its old self\n"
      "      --find QUERY        list the footprints below the FOLDERs that\n"
      "                          meet QUERY, best first, one path a line (a\n"
      "                          legacy module: its library, a tab, its "
      "name);\n"
      "                          QUERY as the viewer's library search takes "
      "it\n"
      "      --catalogue DIR     write a catalogue of the footprints: "
      "DIR/index.html,\n"
      "                          a searchable grid of pictures that works "
      "opened\n"
      "                          from disk, and a page for each footprint\n"
      "  -h, --help              show this text\n"
      "\n"
      "Exit status: 0 when every footprint was rendered, 1 when any failed\n"
      "or a path in a folder could not be taken, 2 for a usage error. With\n"
      "--diff: 0 when nothing changed, 1 when something did, 2 on errors.\n"
      "With --find: 0 when any footprint matched, 1 when none did, 2 on "
      "errors.\n");
}

QString suffix(ImageFormat format) {
  switch (format) {
    case ImageFormat::png:
      return QStringLiteral("png");
    case ImageFormat::pdf:
      return QStringLiteral("pdf");
    case ImageFormat::svg:
    case ImageFormat::qt_svg:
      break;
  }
  return QStringLiteral("svg");
}

ParsedArguments parse_arguments(const QStringList& arguments) {
  ParsedArguments parsed;
  RenderOptions& options = parsed.options;

  QCommandLineParser parser;
  const QCommandLineOption output({"o", "output"}, "", "DIR");
  const QCommandLineOption format({"f", "format"}, "", "FORMAT");
  const QCommandLineOption size({"s", "size"}, "", "WxH");
  const QCommandLineOption background({"b", "background"}, "", "COLOR");
  const QCommandLineOption grid("grid");
  const QCommandLineOption theme({"t", "theme"}, "", "NAME");
  const QCommandLineOption layers({"l", "layers"}, "", "LIST");
  const QCommandLineOption flip("flip");
  const QCommandLineOption margin({"m", "margin"}, "", "PIXELS");
  const QCommandLineOption report("report", "", "FILE");
  const QCommandLineOption jobs({"j", "jobs"}, "", "N");
  // Not in the usage: how the tool starts its own workers.
  const QCommandLineOption worker("worker");
  const QCommandLineOption diff("diff");
  const QCommandLineOption find("find", "", "QUERY");
  const QCommandLineOption scale("scale", "", "N:M");
  const QCommandLineOption single_file("single-file");
  const QCommandLineOption catalogue("catalogue", "", "DIR");
  const QCommandLineOption help(QStringList{"h", "help"});
  parser.addOptions({output, format, size, background, grid, theme, layers,
                     flip, margin, report, jobs, worker, diff, find, scale,
                     single_file, catalogue, help});

  if (!parser.parse(arguments)) {
    parsed.error = parser.errorText();
    return parsed;
  }
  if (parser.isSet(help)) {
    parsed.help = true;
    return parsed;
  }

  if (parser.isSet(output)) options.output_dir = parser.value(output);
  if (options.output_dir.isEmpty()) {
    parsed.error = QStringLiteral("The output folder must not be empty.");
    return parsed;
  }

  if (parser.isSet(format)) {
    const QString value = parser.value(format);
    if (value == QLatin1String("png")) {
      options.format = ImageFormat::png;
    } else if (value == QLatin1String("svg")) {
      options.format = ImageFormat::svg;
    } else if (value == QLatin1String("qt-svg")) {
      options.format = ImageFormat::qt_svg;
    } else if (value == QLatin1String("pdf")) {
      options.format = ImageFormat::pdf;
    } else {
      parsed.error =
          QStringLiteral("Unknown format '%1': use png, svg, pdf or qt-svg.")
              .arg(value);
      return parsed;
    }
  }

  if (parser.isSet(size) &&
      !parse_size(parser.value(size), options.style.size)) {
    parsed.error = QStringLiteral(
                       "Bad size '%1': use WIDTHxHEIGHT in pixels, from 1 to "
                       "%2, such as 800x600.")
                       .arg(parser.value(size))
                       .arg(kMaximumSide);
    return parsed;
  }

  if (parser.isSet(background)) {
    const QString value = parser.value(background);
    if (value == QLatin1String("black")) {
      options.style.background = Background::black;
    } else if (value == QLatin1String("white")) {
      options.style.background = Background::white;
    } else if (value == QLatin1String("transparent")) {
      options.style.background = Background::transparent;
    } else {
      parsed.error =
          QStringLiteral(
              "Unknown background '%1': use black, white or transparent.")
              .arg(value);
      return parsed;
    }
  }

  options.style.grid = parser.isSet(grid);

  zwidget::zcvpcb::PictureOptions& picture = options.style.picture;
  if (parser.isSet(theme)) {
    const auto named = zwidget::zcvpcb::theme_named(parser.value(theme));
    if (!named) {
      parsed.error =
          QStringLiteral("Unknown theme '%1': use Classic, KiCad or Light.")
              .arg(parser.value(theme));
      return parsed;
    }
    picture.theme = *named;
  }
  if (parser.isSet(layers)) {
    QString unknown;
    const QSet<QString> shown = zwidget::zcvpcb::layers_named(
        parser.value(layers).split(',', Qt::SkipEmptyParts), &unknown);
    if (shown.isEmpty()) {
      parsed.error = QStringLiteral(
                         "Unknown layer '%1': use layer names such as F.Cu, "
                         "Pads, Holes or a preset such as Front.")
                         .arg(unknown);
      return parsed;
    }
    picture.hidden = zwidget::zcvpcb::hidden_but(shown);
  }
  picture.from_below = parser.isSet(flip);

  if (parser.isSet(margin)) {
    bool ok = false;
    const int pixels = parser.value(margin).toInt(&ok);
    const QSize& image = options.style.size;
    // At least one pixel must stay for the footprint.
    if (!ok || pixels < 0 || 2 * pixels >= image.width() ||
        2 * pixels >= image.height()) {
      parsed.error = QStringLiteral(
                         "Bad margin '%1': use a whole number of pixels "
                         "smaller than half the image size.")
                         .arg(parser.value(margin));
      return parsed;
    }
    options.style.margin = pixels;
  }

  if (parser.isSet(report)) {
    options.report_file = parser.value(report);
    if (options.report_file.isEmpty()) {
      parsed.error = QStringLiteral("The report file name must not be empty.");
      return parsed;
    }
  }

  if (parser.isSet(jobs)) {
    bool ok = false;
    options.jobs = parser.value(jobs).toInt(&ok);
    if (!ok || options.jobs < 1 || options.jobs > kMaximumJobs) {
      parsed.error = QStringLiteral("Bad number of jobs '%1': use 1 to %2.")
                         .arg(parser.value(jobs))
                         .arg(kMaximumJobs);
      return parsed;
    }
  }
  options.worker = parser.isSet(worker);
  options.diff = parser.isSet(diff);
  if (parser.isSet(find)) {
    options.find = parser.value(find);
    if (options.find.trimmed().isEmpty()) {
      parsed.error = QStringLiteral("--find needs a QUERY.");
      return parsed;
    }
    if (options.diff) {
      parsed.error = QStringLiteral("--find and --diff exclude each other.");
      return parsed;
    }
  }

  if (parser.isSet(scale)) {
    if (!parse_scale(parser.value(scale), options.style.scale)) {
      parsed.error = QStringLiteral(
                         "Bad scale '%1': use N:M such as 1:1, 2:1 or 1:2, "
                         "from 1:1000 to 1000:1.")
                         .arg(parser.value(scale));
      return parsed;
    }
    if (options.format != ImageFormat::svg &&
        options.format != ImageFormat::pdf) {
      parsed.error = QStringLiteral("--scale needs --format svg or pdf.");
      return parsed;
    }
    if (parser.isSet(size) || parser.isSet(margin)) {
      parsed.error = QStringLiteral(
          "--scale sizes the picture by the footprint: leave out --size and "
          "--margin.");
      return parsed;
    }
  }
  if (parser.isSet(catalogue)) {
    options.catalogue_dir = parser.value(catalogue);
    if (options.catalogue_dir.isEmpty()) {
      parsed.error = QStringLiteral("The catalogue folder must not be empty.");
      return parsed;
    }
  }
  options.single_file = parser.isSet(single_file);
  if (options.single_file) {
    if (options.format != ImageFormat::pdf) {
      parsed.error = QStringLiteral("--single-file needs --format pdf.");
      return parsed;
    }
    if (!parser.isSet(output))
      options.output_dir = QStringLiteral("padscope-out.pdf");
  }

  options.inputs = parser.positionalArguments();
  if (options.inputs.isEmpty()) {
    parsed.error = QStringLiteral("No INPUT given.");
    return parsed;
  }
  if (options.diff && options.inputs.size() != 2) {
    parsed.error = QStringLiteral("--diff compares two inputs, OLD and NEW.");
    return parsed;
  }
  return parsed;
}

}  // namespace padscope::render
