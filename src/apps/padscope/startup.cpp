#include "apps/padscope/startup.h"

namespace padscope {

namespace {
constexpr int kWidth = 900;
constexpr int kHeight = 700;
}  // namespace

QRect centred_geometry(const QSize& screen) {
  return QRect(screen.width() / 2 - kWidth / 2,
               screen.height() / 2 - kHeight / 2, kWidth, kHeight);
}

CommandLine parse_command_line(const QStringList& arguments) {
  CommandLine result;
  const int end = arguments.indexOf("--");
  const QStringList options = arguments.mid(0, end);
  if (options.contains("-h") || options.contains("--help")) {
    result.action = CommandLine::Action::help;
    return result;
  }
  if (options.contains("-v") || options.contains("--version")) {
    result.action = CommandLine::Action::version;
    return result;
  }
  QStringList paths;
  bool compare = false;
  for (const QString& argument : options) {
    if (argument == QLatin1String("--compare") && !compare) {
      compare = true;
      continue;
    }
    if (argument.startsWith('-') && argument.size() > 1) {
      result.action = CommandLine::Action::error;
      result.error = QString("unknown option '%1'").arg(argument);
      return result;
    }
    paths << argument;
  }
  if (end >= 0) paths << arguments.mid(end + 1);
  if (compare) {
    if (paths.size() != 2) {
      result.action = CommandLine::Action::error;
      result.error =
          QString("--compare takes two FILEs, %1 given").arg(paths.size());
    } else {
      result.path = paths[0];
      result.compare = paths[1];
    }
  } else if (paths.size() > 1) {
    result.action = CommandLine::Action::error;
    result.error =
        QString("one FILE or FOLDER at most, %1 given").arg(paths.size());
  } else if (!paths.isEmpty()) {
    result.path = paths.first();
  }
  return result;
}

QString usage() {
  return QStringLiteral(
      "Usage: padscope [OPTION] [FILE|FOLDER]\n"
      "       padscope --compare OLD NEW\n"
      "Shows a KiCad footprint: FILE is a .kicad_mod file or a legacy .mod\n"
      "library, FOLDER a library folder whose first footprint file is "
      "shown.\n"
      "\n"
      "  --compare OLD NEW  show OLD, and both footprint files compared in a\n"
      "                 window of their own\n"
      "  -h, --help     print this help and exit\n"
      "  -v, --version  print the version and exit\n"
      "\n"
      "Qt's own options, such as -platform or -style, are taken as well.\n");
}

}  // namespace padscope
