#include "apps/padscope-render/footprint_renderer.h"
#include "support/test_data.h"
#include "zwidget/zviewer/footprint_formats.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <QString>

#include <iostream>
#include <streambuf>
#include <string>
#include <vector>

namespace {

using padscope::render::FootprintRenderer;
using padscope::render::RenderStyle;

// The viewer's loaders write trace lines to the standard output; muted
// while the clock runs, as the tool mutes them.
class QuietStandardOutput : private std::streambuf {
public:
  QuietStandardOutput() : saved(std::cout.rdbuf(this)) {}
  ~QuietStandardOutput() override { std::cout.rdbuf(saved); }

private:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize count) override {
    return count;
  }
  std::streambuf* saved;
};

std::vector<std::string> footprint_files() {
  const std::string dir = padscope::test::shared_testdata_dir();
  std::vector<std::string> files =
      padscope::test::files_with_suffix(dir, ".kicad_mod");
  for (const std::string& file : padscope::test::files_with_suffix(dir, ".mod"))
    files.push_back(file);
  return files;
}

// Every footprint of the shared test data (each module of a library), read,
// built, fitted, painted at 800x600 and encoded as the tool writes it.
// items_per_second is footprints per second.
void BM_RenderTestData(benchmark::State& state) {
  const bool svg = state.range(0) == 1;
  const std::vector<std::string> files = footprint_files();
  if (files.empty()) {
    state.SkipWithError("shared test data not found");
    return;
  }
  FootprintRenderer renderer{RenderStyle{}};
  std::int64_t footprints = 0;
  {
    QuietStandardOutput quiet;
    for (auto _ : state) {
      for (const std::string& file : files) {
        const QString path = QString::fromStdString(file);
        renderer.load(path, *zwidget::zcvpcb::format_for_path(path));
        for (int i = 0; i < renderer.module_count(); ++i) {
          if (i > 0) renderer.show_module(i);
          if (svg) {
            benchmark::DoNotOptimize(renderer.svg(QString()).size());
          } else {
            benchmark::DoNotOptimize(renderer.png().size());
          }
          ++footprints;
        }
      }
    }
  }
  state.SetItemsProcessed(footprints);
}
BENCHMARK(BM_RenderTestData)
    ->ArgName("svg")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
