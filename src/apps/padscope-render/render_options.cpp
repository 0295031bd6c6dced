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

// The options the tool knows, and the parser that has read them.
struct CommandLine {
  CommandLine() {
    parser.addOptions({output, format, size, background, grid, theme, layers,
                       flip, margin, report, jobs, worker, diff, find, scale,
                       single_file, catalogue, help});
  }
  bool isSet(const QCommandLineOption& option) const {
    return parser.isSet(option);
  }
  QString value(const QCommandLineOption& option) const {
    return parser.value(option);
  }

  QCommandLineParser parser;
  const QCommandLineOption output{{"o", "output"}, "", "DIR"};
  const QCommandLineOption format{{"f", "format"}, "", "FORMAT"};
  const QCommandLineOption size{{"s", "size"}, "", "WxH"};
  const QCommandLineOption background{{"b", "background"}, "", "COLOR"};
  const QCommandLineOption grid{"grid"};
  const QCommandLineOption theme{{"t", "theme"}, "", "NAME"};
  const QCommandLineOption layers{{"l", "layers"}, "", "LIST"};
  const QCommandLineOption flip{"flip"};
  const QCommandLineOption margin{{"m", "margin"}, "", "PIXELS"};
  const QCommandLineOption report{"report", "", "FILE"};
  const QCommandLineOption jobs{{"j", "jobs"}, "", "N"};
  // Not in the usage: how the tool starts its own workers.
  const QCommandLineOption worker{"worker"};
  const QCommandLineOption diff{"diff"};
  const QCommandLineOption find{"find", "", "QUERY"};
  const QCommandLineOption scale{"scale", "", "N:M"};
  const QCommandLineOption single_file{"single-file"};
  const QCommandLineOption catalogue{"catalogue", "", "DIR"};
  const QCommandLineOption help{QStringList{"h", "help"}};
};

// Each step below reads some options into `options` and returns the usage
// error it met, or nothing.

QString read_output_and_format(const CommandLine& line,
                               RenderOptions& options) {
  if (line.isSet(line.output)) options.output_dir = line.value(line.output);
  if (options.output_dir.isEmpty())
    return QStringLiteral("The output folder must not be empty.");
  if (!line.isSet(line.format)) return QString();
  const QString value = line.value(line.format);
  if (value == QLatin1String("png")) {
    options.format = ImageFormat::png;
  } else if (value == QLatin1String("svg")) {
    options.format = ImageFormat::svg;
  } else if (value == QLatin1String("qt-svg")) {
    options.format = ImageFormat::qt_svg;
  } else if (value == QLatin1String("pdf")) {
    options.format = ImageFormat::pdf;
  } else {
    return QStringLiteral("Unknown format '%1': use png, svg, pdf or qt-svg.")
        .arg(value);
  }
  return QString();
}

QString read_size_and_background(const CommandLine& line,
                                 RenderOptions& options) {
  if (line.isSet(line.size) &&
      !parse_size(line.value(line.size), options.style.size))
    return QStringLiteral(
               "Bad size '%1': use WIDTHxHEIGHT in pixels, from 1 to "
               "%2, such as 800x600.")
        .arg(line.value(line.size))
        .arg(kMaximumSide);
  if (line.isSet(line.background)) {
    const QString value = line.value(line.background);
    if (value == QLatin1String("black")) {
      options.style.background = Background::black;
    } else if (value == QLatin1String("white")) {
      options.style.background = Background::white;
    } else if (value == QLatin1String("transparent")) {
      options.style.background = Background::transparent;
    } else {
      return QStringLiteral(
                 "Unknown background '%1': use black, white or transparent.")
          .arg(value);
    }
  }
  options.style.grid = line.isSet(line.grid);
  return QString();
}

// Theme, layers and side.
QString read_layers(const CommandLine& line, RenderOptions& options) {
  zwidget::zcvpcb::PictureOptions& picture = options.style.picture;
  if (line.isSet(line.theme)) {
    const auto named = zwidget::zcvpcb::theme_named(line.value(line.theme));
    if (!named)
      return QStringLiteral("Unknown theme '%1': use Classic, KiCad or Light.")
          .arg(line.value(line.theme));
    picture.theme = *named;
  }
  if (line.isSet(line.layers)) {
    QString unknown;
    const QSet<QString> shown = zwidget::zcvpcb::layers_named(
        line.value(line.layers).split(',', Qt::SkipEmptyParts), &unknown);
    if (shown.isEmpty())
      return QStringLiteral(
                 "Unknown layer '%1': use layer names such as F.Cu, "
                 "Pads, Holes or a preset such as Front.")
          .arg(unknown);
    picture.hidden = zwidget::zcvpcb::hidden_but(shown);
  }
  picture.from_below = line.isSet(line.flip);
  return QString();
}

QString read_margin(const CommandLine& line, RenderOptions& options) {
  if (!line.isSet(line.margin)) return QString();
  bool ok = false;
  const int pixels = line.value(line.margin).toInt(&ok);
  const QSize& image = options.style.size;
  // At least one pixel must stay for the footprint.
  if (!ok || pixels < 0 || 2 * pixels >= image.width() ||
      2 * pixels >= image.height())
    return QStringLiteral(
               "Bad margin '%1': use a whole number of pixels "
               "smaller than half the image size.")
        .arg(line.value(line.margin));
  options.style.margin = pixels;
  return QString();
}

// Report, workers, and what the run does instead of rendering.
QString read_run(const CommandLine& line, RenderOptions& options) {
  if (line.isSet(line.report)) {
    options.report_file = line.value(line.report);
    if (options.report_file.isEmpty())
      return QStringLiteral("The report file name must not be empty.");
  }
  if (line.isSet(line.jobs)) {
    bool ok = false;
    options.jobs = line.value(line.jobs).toInt(&ok);
    if (!ok || options.jobs < 1 || options.jobs > kMaximumJobs)
      return QStringLiteral("Bad number of jobs '%1': use 1 to %2.")
          .arg(line.value(line.jobs))
          .arg(kMaximumJobs);
  }
  options.worker = line.isSet(line.worker);
  options.diff = line.isSet(line.diff);
  if (line.isSet(line.find)) {
    options.find = line.value(line.find);
    if (options.find.trimmed().isEmpty())
      return QStringLiteral("--find needs a QUERY.");
    if (options.diff)
      return QStringLiteral("--find and --diff exclude each other.");
  }
  return QString();
}

QString read_scale(const CommandLine& line, RenderOptions& options) {
  if (!line.isSet(line.scale)) return QString();
  if (!parse_scale(line.value(line.scale), options.style.scale))
    return QStringLiteral(
               "Bad scale '%1': use N:M such as 1:1, 2:1 or 1:2, "
               "from 1:1000 to 1000:1.")
        .arg(line.value(line.scale));
  if (options.format != ImageFormat::svg && options.format != ImageFormat::pdf)
    return QStringLiteral("--scale needs --format svg or pdf.");
  if (line.isSet(line.size) || line.isSet(line.margin))
    return QStringLiteral(
        "--scale sizes the picture by the footprint: leave out --size and "
        "--margin.");
  return QString();
}

QString read_catalogue_and_single_file(const CommandLine& line,
                                       RenderOptions& options) {
  if (line.isSet(line.catalogue)) {
    options.catalogue_dir = line.value(line.catalogue);
    if (options.catalogue_dir.isEmpty())
      return QStringLiteral("The catalogue folder must not be empty.");
  }
  options.single_file = line.isSet(line.single_file);
  if (options.single_file) {
    if (options.format != ImageFormat::pdf)
      return QStringLiteral("--single-file needs --format pdf.");
    if (!line.isSet(line.output))
      options.output_dir = QStringLiteral("padscope-out.pdf");
  }
  return QString();
}

QString read_inputs(const CommandLine& line, RenderOptions& options) {
  options.inputs = line.parser.positionalArguments();
  if (options.inputs.isEmpty()) return QStringLiteral("No INPUT given.");
  if (options.diff && options.inputs.size() != 2)
    return QStringLiteral("--diff compares two inputs, OLD and NEW.");
  return QString();
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
  CommandLine line;
  if (!line.parser.parse(arguments)) {
    parsed.error = line.parser.errorText();
    return parsed;
  }
  if (line.parser.isSet(line.help)) {
    parsed.help = true;
    return parsed;
  }
  // In this order: later steps check against what earlier ones read.
  using Step = QString (*)(const CommandLine&, RenderOptions&);
  for (const Step step : {read_output_and_format, read_size_and_background,
                          read_layers, read_margin, read_run, read_scale,
                          read_catalogue_and_single_file, read_inputs}) {
    parsed.error = step(line, parsed.options);
    if (!parsed.error.isEmpty()) return parsed;
  }
  return parsed;
}

}  // namespace padscope::render
