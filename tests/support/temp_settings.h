#pragma once

#include <QString>
#include <QTemporaryDir>

namespace padscope::test {

// Points the application's default settings at a fresh, empty folder for
// the lifetime of the object.
class TempSettings {
public:
  TempSettings();
  ~TempSettings();
  TempSettings(const TempSettings&) = delete;
  TempSettings& operator=(const TempSettings&) = delete;

  QString path() const { return dir.path(); }

private:
  QTemporaryDir dir;
};

// Sets the application's name and domain as the program does and sends
// every settings access of the process to a throwaway folder.
void isolate_settings_for_process();

}  // namespace padscope::test
