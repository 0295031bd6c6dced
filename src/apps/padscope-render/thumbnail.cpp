#include "apps/padscope-render/thumbnail.h"

#include "apps/padscope-render/footprint_renderer.h"
#include "apps/padscope-render/inputs.h"
#include "zwidget/zviewer/footprint_formats.h"

#include <QFile>

#include <exception>

namespace padscope::render {

namespace {

constexpr int kDefaultSize = 256;

const char* const kUsage =
    "Usage: padscope-thumbnailer [-s SIZE] INPUT OUTPUT\n"
    "Writes a SIZE x SIZE PNG picture (default 256) of the footprint in "
    "INPUT,\n"
    "a .kicad_mod file or the first module of a legacy .mod library, to "
    "OUTPUT.\n";

struct Request {
  int size = kDefaultSize;
  QString input;
  QString output;
};

// Empty on success, else the problem.
QString parse(const QStringList& arguments, Request& request) {
  QStringList files;
  for (int i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument == QLatin1String("-s") ||
        argument == QLatin1String("--size")) {
      bool ok = false;
      request.size = i + 1 < arguments.size() ? arguments[++i].toInt(&ok) : 0;
      if (!ok || request.size < 1 || request.size > kMaximumThumbnailSize)
        return QStringLiteral("Bad size: use 1 to %1 pixels.")
            .arg(kMaximumThumbnailSize);
    } else {
      files.append(argument);
    }
  }
  if (files.size() != 2) return QStringLiteral("Give INPUT and OUTPUT.");
  request.input = files[0];
  request.output = files[1];
  return QString();
}

// The PNG, or empty with `problem`.
QByteArray thumbnail(const Request& request, QString& problem) {
  const zwidget::zcvpcb::FootprintFormat* format =
      zwidget::zcvpcb::format_for_file(request.input);
  if (!format) {
    problem = QStringLiteral("not a footprint file");
    return QByteArray();
  }
  RenderStyle style;
  style.size = QSize(request.size, request.size);
  // A little room around the footprint, as icons have.
  // The viewer's own picture, on its dark background, which shows on light
  // and dark file managers alike.
  style.margin = request.size / 16;
  try {
    FootprintRenderer renderer(style);
    renderer.load(request.input, *format);
    return renderer.png();
  } catch (const std::exception& error) {
    problem = QString::fromLocal8Bit(error.what());
  }
  return QByteArray();
}

}  // namespace

int run_thumbnailer(const QStringList& arguments, std::ostream& err) {
  Request request;
  const QString usage_error = parse(arguments, request);
  if (!usage_error.isEmpty()) {
    err << "padscope-thumbnailer: " << printable(usage_error) << "\n\n"
        << kUsage;
    return 2;
  }
  QString problem;
  const QByteArray png = thumbnail(request, problem);
  if (!png.isEmpty()) {
    QFile output(request.output);
    if (output.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
        output.write(png) == png.size() && output.flush())
      return 0;
    problem = output.errorString();
  }
  err << "padscope-thumbnailer: " << printable(request.input) << ": "
      << printable(problem.isEmpty() ? QStringLiteral("cannot encode")
                                     : problem)
      << '\n';
  return 1;
}

}  // namespace padscope::render
