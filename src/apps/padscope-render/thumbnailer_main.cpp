#include "apps/padscope-render/inputs.h"
#include "apps/padscope-render/thumbnail.h"

#include <QApplication>

#include <iostream>
#include <sstream>

int main(int argc, char** argv) {
  // File managers run thumbnailers without a display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // The viewer's trace lines on the standard output are nobody's business.
  std::ostringstream discard;
  std::streambuf* const original = std::cout.rdbuf(discard.rdbuf());
  const int status = padscope::render::run_thumbnailer(
      padscope::render::decode_arguments(argc, argv), std::cerr);
  std::cout.rdbuf(original);
  return status;
}
