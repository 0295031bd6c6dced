#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

namespace padscope {

// The 900 x 700 start-up geometry centred on a screen of the given size.
// The halves truncate toward zero, and a screen smaller than the window
// gives negative coordinates, used as they are.
QRect centred_geometry(const QSize& screen);

// What the program's own arguments ask for.
struct CommandLine {
  enum class Action { run, help, version, error };
  Action action = Action::run;
  // The FILE or FOLDER to show; empty for none.
  QString path;
  // With --compare A B: `path` is A and this is B.
  QString compare;
  // Why the arguments were refused.
  QString error;
};

// Reads the arguments after the program's name. Help and version win over
// anything else, so they work before Qt has taken its own options out.
CommandLine parse_command_line(const QStringList& arguments);
QString usage();

}  // namespace padscope
