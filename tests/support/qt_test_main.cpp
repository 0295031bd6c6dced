#include "support/temp_settings.h"

#include <gmock/gmock.h>

#include <QApplication>

int main(int argc, char** argv) {
  // Headless unless the caller chose a platform.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  padscope::test::isolate_settings_for_process();
  testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}
