#include "support/temp_settings.h"

#include <gmock/gmock.h>

#include <QApplication>
#include <QStandardPaths>

int main(int argc, char** argv) {
  // Headless unless the caller chose a platform.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // Named as the program names itself; settings kept away from the user's.
  QCoreApplication::setApplicationName("Padscope");
  QCoreApplication::setApplicationVersion("1.0");
  QCoreApplication::setOrganizationDomain("padscope.org");
  QStandardPaths::setTestModeEnabled(true);
  padscope::test::use_settings_folder(
      padscope::test::process_settings_folder());
  testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}
