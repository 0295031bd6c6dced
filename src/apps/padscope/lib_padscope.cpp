#include "apps/padscope/mainwindow.h"
#include "apps/padscope/startup.h"

#include <QApplication>
#include <QDebug>
#include <QScreen>
#include <QSettings>

extern "C" __attribute__((visibility("default"))) int EPOINT(int argc,
                                                             char** argv);

int EPOINT(int argc, char** argv) {
  // QApplication keeps a reference to the count for its whole life.
  int count = argc;
  int result = 0;
  {
    QApplication app(count, argv);
    QApplication::setApplicationName("Padscope");
    QApplication::setApplicationVersion("1.0");
    QApplication::setOrganizationDomain("padscope.org");
    {
      MainWindow window;
      // The whole virtual desktop, as the default screen of a desktop
      // spanning several monitors.
      const QScreen* screen = QGuiApplication::primaryScreen();
      const QSize desktop = screen ? screen->virtualSize() : QSize();
      window.setGeometry(padscope::centred_geometry(desktop));
      {
        QSettings settings;
        qDebug().noquote() << QObject::tr("Setting file location -> ") +
                                  settings.fileName();
      }
      window.show();
      result = app.exec();
    }
  }
  return result;
}
