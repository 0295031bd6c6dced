#pragma once

#include "zwidget/zviewer/layer_stack.h"

#include <QSize>
#include <QString>
#include <QStringList>

namespace padscope::render {

// qt_svg: SVG through Qt's generator, several times larger and slower.
enum class ImageFormat { png, svg, qt_svg, pdf };
// `theme`: the colour theme's own background.
enum class Background { theme, black, white, transparent };

// How every footprint of a batch is drawn.
struct RenderStyle {
  QSize size{800, 600};
  Background background = Background::theme;
  bool grid = false;
  // Pixels kept free on each side around the fitted footprint.
  int margin = 0;
  // Colour theme, layers left out and side, as the viewer's View menu and
  // layers panel choose them.
  zwidget::zcvpcb::PictureOptions picture = {};
  // Millimetres on the picture per millimetre of the footprint; 0 fits the
  // footprint into `size` instead. At a scale, an SVG or PDF is as large as
  // the drawn area times the scale, its size stated in millimetres.
  double scale = 0;
};

struct RenderOptions {
  QStringList inputs;
  QString output_dir = QStringLiteral("padscope-out");
  ImageFormat format = ImageFormat::png;
  RenderStyle style;
  // Empty: no report.
  QString report_file;
  // Worker processes; 0 for one per core.
  int jobs = 0;
  // Set in a worker: the files come from the standard input, the results
  // go to the standard output.
  bool worker = false;
  // Compare the footprints of two inputs instead of rendering them.
  bool diff = false;
  // Set: list the footprints below the inputs that meet this query
  // instead of rendering them.
  QString find;
  // Every footprint a page of one PDF, `output_dir` naming that file.
  bool single_file = false;
  // Not empty: write a catalogue of the inputs into this folder instead.
  QString catalogue_dir;
};

struct ParsedArguments {
  RenderOptions options;
  // Set for a usage error; the options are then meaningless.
  QString error;
  bool help = false;
};

// Reads the command line; `arguments` starts with the program name. Inputs
// are not checked for existence here.
ParsedArguments parse_arguments(const QStringList& arguments);

QString usage();

// The file suffix of a format, without the dot.
QString suffix(ImageFormat format);

}  // namespace padscope::render
