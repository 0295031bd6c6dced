#include "apps/padscope-render/footprint_renderer.h"
#include "support/test_data.h"
#include "zwidget/zviewer/footprint_formats.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
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

// Where the tool's runs write, in memory where the system offers it, as
// scripts/sweep does: the rates are then the tools', not the disk's. On a
// virtual machine's disk a new file cost a millisecond, and KiCad's plotter
// writes four files per footprint to the tool's one. TMPDIR, when set, wins.
QString scratch_template() {
  const QFileInfo memory(QStringLiteral("/dev/shm"));
  const bool in_memory = !qEnvironmentVariableIsSet("TMPDIR") &&
                         memory.isDir() && memory.isWritable();
  return (in_memory ? memory.filePath() : QDir::tempPath()) +
         QStringLiteral("/padscope-bench-XXXXXX");
}

std::vector<std::string> footprint_files(const std::string& dir) {
  std::vector<std::string> files =
      padscope::test::files_with_suffix(dir, ".kicad_mod");
  for (const std::string& file : padscope::test::files_with_suffix(dir, ".mod"))
    files.push_back(file);
  return files;
}

enum Source { kTestData, kLibrary };
enum Format { kPng, kSvg, kQtSvg };

// Every footprint (each module of a library) of the shared test data or of
// Debian's KiCad library, read, built, fitted, painted at 200x150 and
// encoded as the tool writes it: as PNG, as SVG through this tool's writer
// or through Qt's generator (the writer it replaced). items_per_second is
// footprints per second; median_bytes the median size of a footprint's
// file. Files that fail to read are passed over, as failures cost nothing.
void BM_Render(benchmark::State& state) {
  const auto source = static_cast<Source>(state.range(0));
  const auto format = static_cast<Format>(state.range(1));
  const std::string dir = source == kLibrary
                              ? padscope::test::kicad_library_dir()
                              : padscope::test::shared_testdata_dir();
  const std::vector<std::string> files =
      dir.empty() ? std::vector<std::string>() : footprint_files(dir);
  if (files.empty()) {
    state.SkipWithError(source == kLibrary ? "Debian's KiCad library not found"
                                           : "shared test data not found");
    return;
  }
  FootprintRenderer renderer{RenderStyle{{200, 150}}};
  std::int64_t footprints = 0;
  std::vector<int> sizes;
  {
    QuietStandardOutput quiet;
    for (auto _ : state) {
      sizes.clear();
      for (const std::string& file : files) {
        const QString path = QString::fromStdString(file);
        try {
          renderer.load(path, *zwidget::zcvpcb::format_for_path(path));
        } catch (const std::exception&) {
          continue;
        }
        for (int i = 0; i < renderer.module_count(); ++i) {
          try {
            if (i > 0) renderer.show_module(i);
          } catch (const std::exception&) {
            continue;
          }
          const QByteArray bytes = format == kPng ? renderer.png()
                                   : format == kSvg
                                       ? renderer.svg(QString())
                                       : renderer.qt_svg(QString());
          sizes.push_back(bytes.size());
          ++footprints;
        }
      }
    }
  }
  state.SetItemsProcessed(footprints);
  std::nth_element(sizes.begin(), sizes.begin() + sizes.size() / 2,
                   sizes.end());
  if (!sizes.empty()) state.counters["median_bytes"] = sizes[sizes.size() / 2];
}
BENCHMARK(BM_Render)
    ->ArgNames({"library", "format"})
    ->ArgsProduct({{kTestData}, {kPng, kSvg, kQtSvg}})
    ->Unit(benchmark::kMillisecond);
// One pass over the 12,504 footprints is a measurement of its own.
BENCHMARK(BM_Render)
    ->ArgNames({"library", "format"})
    ->ArgsProduct({{kLibrary}, {kPng, kSvg, kQtSvg}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// KiCad 9's library as reference/setup-kicad9.sh unpacks it
// (PADSCOPE_KICAD9_FOOTPRINTS names another folder).
QString kicad9_library_dir() {
  const char* chosen = std::getenv("PADSCOPE_KICAD9_FOOTPRINTS");
  return QString::fromLocal8Bit(
      chosen && *chosen ? chosen : "/opt/kicad9/usr/share/kicad/footprints");
}

// CPU seconds of the children waited for so far.
double children_cpu_seconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  const auto seconds = [](const timeval& t) {
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct ToolRun {
  bool ok = false;
  QString summary;
  double seconds = 0, cpu_seconds = 0;
};

ToolRun run_program(const QString& program, const QStringList& arguments) {
  ToolRun result;
  QProcess tool;
  tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  const double cpu = children_cpu_seconds();
  QElapsedTimer timer;
  timer.start();
  tool.start(program, arguments);
  tool.waitForFinished(-1);
  result.seconds = timer.nsecsElapsed() / 1e9;
  result.cpu_seconds = children_cpu_seconds() - cpu;
  result.summary = tool.readAllStandardOutput();
  result.ok = tool.exitStatus() == QProcess::NormalExit && tool.exitCode() < 2;
  return result;
}

ToolRun run_tool(const QStringList& arguments) {
  return run_program(PADSCOPE_RENDER_EXE, arguments);
}

double summary_count(const QString& summary, const QString& label) {
  return QRegularExpression("\\b" + label + ": (\\d+)")
      .match(summary)
      .captured(1)
      .toDouble();
}

// Footprints the tool renders per second (wall clock, files written) with
// --jobs 1 and --jobs 2, and the ratio of the two, as PNG (format:0) or SVG
// at 200x150: library:0 over Debian's KiCad library (or the shared test
// data without it), library:1 over KiCad 9's. cpu_per_second counts
// footprints per CPU second of the --jobs 1 run, which other work on the
// machine disturbs less than the wall clock.
void BM_ToolJobs(benchmark::State& state) {
  const bool svg = state.range(0) == kSvg;
  QString dir;
  if (state.range(1) == 1) {
    dir = kicad9_library_dir();
    if (!QFileInfo(dir).isDir()) dir.clear();
  } else {
    std::string debian = padscope::test::kicad_library_dir();
    if (debian.empty()) debian = padscope::test::shared_testdata_dir();
    dir = QString::fromStdString(debian);
  }
  if (dir.isEmpty()) {
    state.SkipWithError("no footprints found");
    return;
  }
  // Kept to the end: ext4 scans the inodes of files deleted in the last
  // half minute on every file it creates, which deleting the output of one
  // run would charge to the next.
  std::vector<std::unique_ptr<QTemporaryDir>> outputs;
  ToolRun runs[2];
  for (auto _ : state) {
    for (int jobs = 1; jobs <= 2; ++jobs) {
      outputs.push_back(std::make_unique<QTemporaryDir>(scratch_template()));
      runs[jobs - 1] =
          run_tool({dir, "-s", "200x150", "-f", svg ? "svg" : "png", "--jobs",
                    QString::number(jobs), "-o", outputs.back()->path()});
      if (!runs[jobs - 1].ok) {
        state.SkipWithError("the tool failed");
        return;
      }
    }
  }
  const double images = summary_count(runs[0].summary, "Images written");
  state.counters["jobs1_per_second"] = images / runs[0].seconds;
  state.counters["jobs2_per_second"] = images / runs[1].seconds;
  state.counters["cpu_per_second"] = images / runs[0].cpu_seconds;
  state.counters["ratio"] = runs[0].seconds / runs[1].seconds;
}
BENCHMARK(BM_ToolJobs)
    ->ArgNames({"format", "library"})
    ->ArgsProduct({{kPng, kSvg}, {0, 1}})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// KiCad 6's plotter as reference/kicad6_plot.py drives it, in-process, one
// SVG per layer (PADSCOPE_KICAD6_PLOT names another script).
QString kicad6_plot_script() {
  const char* chosen = std::getenv("PADSCOPE_KICAD6_PLOT");
  if (chosen && *chosen) return QString::fromLocal8Bit(chosen);
  const std::string testdata = padscope::test::shared_testdata_dir();
  if (testdata.empty()) return QString();
  return QString::fromStdString(testdata) + "/../reference/kicad6_plot.py";
}

// The plotter's own time for its footprints, from its line "render_s=...".
double plotter_seconds(const QString& output) {
  return QRegularExpression("render_s=([0-9.]+)")
      .match(output)
      .captured(1)
      .toDouble();
}

// A thousand KiCad 6 footprints, every Nth file of Debian's library, drawn
// as SVG at 200x150 with --jobs 1, against KiCad 6's own plotter drawing
// the same files in the same run. ratio is the plotter's seconds over the
// tool's, the tool's whole run with its start against the plotter's loop
// without its start; cpu_ratio the same in CPU seconds, both processes
// whole.
void BM_SvgAgainstKiCad6(benchmark::State& state) {
  const std::string library = padscope::test::kicad_library_dir();
  const QString script = kicad6_plot_script();
  if (library.empty() || script.isEmpty() || !QFileInfo(script).isFile()) {
    state.SkipWithError("Debian's KiCad library or the plotter not found");
    return;
  }
  const std::vector<std::string> all =
      padscope::test::files_with_suffix(library, ".kicad_mod");
  const std::size_t step = std::max<std::size_t>(1, all.size() / 1000);
  QStringList files;
  QByteArray list;
  for (std::size_t i = 0; i < all.size() && files.size() < 1000; i += step) {
    files << QString::fromStdString(all[i]);
    list += QByteArray::fromStdString(all[i].substr(library.size() + 1)) + '\n';
  }
  QTemporaryDir work;
  QFile list_file(work.filePath("list.txt"));
  list_file.open(QIODevice::WriteOnly);
  list_file.write(list);
  list_file.close();
  std::vector<std::unique_ptr<QTemporaryDir>> outputs;
  ToolRun ours, plotter;
  double plotter_loop = 0;
  for (auto _ : state) {
    outputs.push_back(std::make_unique<QTemporaryDir>(scratch_template()));
    ours = run_tool(QStringList{"-s", "200x150", "-f", "svg", "--jobs", "1",
                                "-o", outputs.back()->path()} +
                    files);
    outputs.push_back(std::make_unique<QTemporaryDir>(scratch_template()));
    plotter = run_program("/usr/bin/python3",
                          {script, QString::fromStdString(library),
                           list_file.fileName(), outputs.back()->path()});
    plotter_loop = plotter_seconds(plotter.summary);
  }
  if (!ours.ok) {
    state.SkipWithError("the tool failed");
    return;
  }
  state.counters["footprints"] = files.size();
  state.counters["per_second"] = files.size() / ours.seconds;
  if (!plotter.ok || plotter_loop <= 0) {
    state.SkipWithError("KiCad 6's plotter failed (is Debian's kicad in?)");
    return;
  }
  state.counters["kicad_per_second"] = files.size() / plotter_loop;
  state.counters["ratio"] = plotter_loop / ours.seconds;
  state.counters["cpu_ratio"] = plotter.cpu_seconds / ours.cpu_seconds;
}
BENCHMARK(BM_SvgAgainstKiCad6)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The tool's --diff of Debian's KiCad 6 library against KiCad 9's, against
// rendering both once with --jobs 1 (the comparison runs on one thread),
// PNG at 200x150: library:0 takes Package_QFP.pretty alone, library:1 the
// whole libraries. ratio and cpu_ratio are the comparison's wall-clock and
// CPU time over the two renderings', measured in the same run.
void BM_LibraryDiff(benchmark::State& state) {
  const std::string debian = padscope::test::kicad_library_dir();
  QString before = QString::fromStdString(debian), after = kicad9_library_dir();
  if (state.range(0) == 0) {
    before += "/Package_QFP.pretty";
    after += "/Package_QFP.pretty";
  }
  if (debian.empty() || !QFileInfo(after).isDir()) {
    state.SkipWithError("Debian's KiCad library or KiCad 9's not found");
    return;
  }
  ToolRun render, diff;
  for (auto _ : state) {
    render = {true, {}, 0, 0};
    for (const QString& input : {before, after}) {
      QTemporaryDir out(scratch_template());
      const ToolRun once =
          run_tool({input, "-s", "200x150", "--jobs", "1", "-o", out.path()});
      render.ok = render.ok && once.ok;
      render.seconds += once.seconds;
      render.cpu_seconds += once.cpu_seconds;
    }
    QTemporaryDir out(scratch_template());
    diff =
        run_tool({"--diff", before, after, "-s", "200x150", "-o", out.path()});
  }
  if (!render.ok || !diff.ok) {
    state.SkipWithError("the tool failed");
    return;
  }
  state.counters["render_s"] = render.seconds;
  state.counters["diff_s"] = diff.seconds;
  state.counters["ratio"] = diff.seconds / render.seconds;
  state.counters["cpu_ratio"] = diff.cpu_seconds / render.cpu_seconds;
  for (const char* label : {"Added", "Removed", "Changed", "Unchanged"})
    state.counters[QString(label).toLower().toStdString()] =
        summary_count(diff.summary, label);
}
BENCHMARK(BM_LibraryDiff)
    ->ArgName("library")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
