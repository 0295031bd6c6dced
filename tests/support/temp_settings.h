#pragma once

#include <QSettings>
#include <QTemporaryDir>

namespace padscope::test {

inline void use_settings_folder(const QString& path) {
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, path);
}

// The throwaway folder of every settings access of the test process.
inline QString process_settings_folder() {
  static QTemporaryDir folder;
  return folder.path();
}

// Points the application's default settings at a fresh, empty folder for
// the lifetime of the object.
class TempSettings {
public:
  TempSettings() { use_settings_folder(dir.path()); }
  ~TempSettings() { use_settings_folder(process_settings_folder()); }

private:
  QTemporaryDir dir;
};

}  // namespace padscope::test
