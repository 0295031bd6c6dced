#include "apps/padscope-render/batch.h"
#include "apps/padscope-render/output_folder.h"

#include <QApplication>

#include <iostream>
#include <streambuf>
#include <unistd.h>

namespace {

// Swallows what is written to it.
class DiscardBuffer : public std::streambuf {
protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize count) override {
    return count;
  }
};

}  // namespace

int main(int argc, char** argv) {
  padscope::render::remove_temporaries_on_signals();
  // Headless unless the caller chose a platform.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  // Takes its own options (-platform ...) out of argv.
  QApplication app(argc, argv);

  // The viewer writes trace lines to the standard output; the summary
  // keeps it to itself.
  std::ostream out(std::cout.rdbuf());
  DiscardBuffer discard;
  std::streambuf* const original = std::cout.rdbuf(&discard);
  const int status = padscope::render::run(
      padscope::render::decode_arguments(argc, argv), out, std::cerr,
      isatty(STDERR_FILENO) == 1, QApplication::applicationFilePath());
  std::cout.rdbuf(original);
  return status;
}
