#include "apps/padscope/mainwindow.h"
#include "apps/padscope/startup.h"

#include <QApplication>
#include <QDebug>
#include <QScreen>
#include <QSettings>

#include <cstdio>

extern "C" __attribute__((visibility("default"))) int EPOINT(int argc,
                                                             char** argv);

namespace {

QStringList arguments_after_name(int argc, char** argv) {
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  return arguments;
}

}  // namespace

int EPOINT(int argc, char** argv) {
  using padscope::CommandLine;
  // Help and version need no display, so they are answered before Qt
  // opens one.
  const CommandLine early =
      padscope::parse_command_line(arguments_after_name(argc, argv));
  if (early.action == CommandLine::Action::help) {
    std::fputs(padscope::usage().toLocal8Bit().constData(), stdout);
    return 0;
  }
  if (early.action == CommandLine::Action::version) {
    std::puts("Padscope 1.0");
    return 0;
  }
  // QApplication keeps a reference to the count for its whole life.
  int count = argc;
  int result = 0;
  {
    QApplication app(count, argv);
    QApplication::setApplicationName("Padscope");
    QApplication::setApplicationVersion("1.0");
    QApplication::setOrganizationDomain("padscope.org");
    // Qt has taken its own options out of the arguments by now.
    const CommandLine command =
        padscope::parse_command_line(app.arguments().mid(1));
    if (command.action == CommandLine::Action::error) {
      std::fprintf(stderr, "padscope: %s\n%s",
                   command.error.toLocal8Bit().constData(),
                   padscope::usage().toLocal8Bit().constData());
      return 2;
    }
    {
      MainWindow window;
      // The whole virtual desktop, as the default screen of a desktop
      // spanning several monitors.
      const QScreen* screen = QGuiApplication::primaryScreen();
      const QSize desktop = screen ? screen->virtualSize() : QSize();
      window.setGeometry(padscope::centred_geometry(desktop));
      window.restore_geometry();
      {
        QSettings settings;
        qDebug().noquote() << QObject::tr("Setting file location -> ") +
                                  settings.fileName();
      }
      window.show();
      if (!command.path.isEmpty()) window.open_path(command.path);
      if (!command.compare.isEmpty())
        window.compare_paths(command.path, command.compare);
      result = app.exec();
    }
  }
  return result;
}
