#include "support/temp_settings.h"

#include <QCoreApplication>
#include <QSettings>
#include <QStandardPaths>

namespace padscope::test {

namespace {

void use_settings_folder(const QString& path) {
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, path);
}

QString& process_folder() {
  static QString folder;
  return folder;
}

}  // namespace

TempSettings::TempSettings() {
  use_settings_folder(dir.path());
}

TempSettings::~TempSettings() {
  use_settings_folder(process_folder());
}

void isolate_settings_for_process() {
  QCoreApplication::setApplicationName("Padscope");
  QCoreApplication::setApplicationVersion("1.0");
  QCoreApplication::setOrganizationDomain("padscope.org");
  QStandardPaths::setTestModeEnabled(true);
  static QTemporaryDir folder;
  process_folder() = folder.path();
  use_settings_folder(folder.path());
}

}  // namespace padscope::test
