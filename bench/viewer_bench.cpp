#include "memory_input.h"
#include "support/test_data.h"
#include "zcore/models.h"
#include "zwidget/zgraph/pad_item.h"
#include "zwidget/zviewer/obj_canvas.h"
#include "zwidget/zviewer/zscene.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDataStream>
#include <QFile>
#include <QImage>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

namespace {

using zwidget::zcvpcb::kZoomStep;
using zwidget::zcvpcb::ZObjCanvas;
using zwidget::zcvpcb::ZScene;

// The loaders' and the grid's trace lines go nowhere while measuring: what
// a terminal makes of them is not the viewer's cost.
class NullBuffer : public std::streambuf {
protected:
  int overflow(int c) override { return c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

using clock_type = std::chrono::steady_clock;

double seconds(clock_type::duration d) {
  return std::chrono::duration<double>(d).count();
}

class QuietCout {
public:
  QuietCout() : saved(std::cout.rdbuf(&null)) {}
  ~QuietCout() { std::cout.rdbuf(saved); }

private:
  NullBuffer null;
  std::streambuf* saved;
};

// `.kicad_mod` ends in "_mod", so this is true of legacy libraries only.
bool is_legacy(const std::string& path) {
  return path.size() > 4 && path.compare(path.size() - 4, 4, ".mod") == 0;
}

std::string short_name(const std::string& path) {
  const std::string dir = padscope::test::shared_testdata_dir();
  return path.compare(0, dir.size(), dir) == 0 ? path.substr(dir.size() + 1)
                                               : path;
}

// A canvas of the main window's size with the file loaded and fitted, as
// the window shows it (a legacy library shows its first module).
std::unique_ptr<ZObjCanvas> shown_canvas(const std::string& path) {
  auto canvas = std::make_unique<ZObjCanvas>(nullptr);
  canvas->resize(900, 700);
  canvas->show();
  if (is_legacy(path)) canvas->parser_name = "module_legacy_parser";
  QuietCout quiet;
  canvas->load(QString::fromStdString(path));
  return canvas;
}

// One load per repetition, so that the statistics over repetitions are
// those of single loads: median and maximum.
void read_and_build(benchmark::State& state, const std::string& path) {
  ZObjCanvas canvas(nullptr);
  if (is_legacy(path)) canvas.parser_name = "module_legacy_parser";
  const QString name = QString::fromStdString(path);
  QuietCout quiet;
  canvas.load(name);  // the file cached, the stroke font's resources opened
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    canvas.load(name);
    const auto stop = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
  }
  state.counters["items"] = canvas.scene()->items().size();
}

// The background of the fitted view: black and the grid, as the view's
// background cache is filled after a load or a zoom.
void background(benchmark::State& state, const std::string& path,
                bool antialiased) {
  const auto canvas = shown_canvas(path);
  const QRect pixels = canvas->viewport()->rect();
  const QRectF visible = canvas->mapToScene(pixels).boundingRect();
  ZScene empty;
  QImage image(pixels.size(), QImage::Format_ARGB32_Premultiplied);
  {
    // The grid's own line tells the pitch it chose and the points it drew.
    std::ostringstream trace;
    std::streambuf* saved = std::cout.rdbuf(trace.rdbuf());
    QLoggingCategory::setFilterRules("padscope.grid.debug=true");
    QPainter painter(&image);
    empty.render(&painter, QRectF(pixels), visible, Qt::IgnoreAspectRatio);
    QLoggingCategory::setFilterRules(QString());
    std::cout.rdbuf(saved);
    const std::string line = trace.str();
    state.counters["pitch"] = std::stod(line.substr(line.find("step=") + 5));
    state.counters["points"] =
        std::stod(line.substr(line.find("counter=") + 8));
  }
  QuietCout quiet;
  for (auto _ : state) {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, antialiased);
    empty.render(&painter, QRectF(pixels), visible, Qt::IgnoreAspectRatio);
  }
  state.counters["scale"] = canvas->current_scale;
}

// What every mouse move over the drawing costs: the viewport repainted,
// all items drawn antialiased over the cached background.
void repaint_view(benchmark::State& state, const std::string& path) {
  const auto canvas = shown_canvas(path);
  QImage image(canvas->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
  QuietCout quiet;
  canvas->viewport()->render(&image);  // fills the background cache
  for (auto _ : state) canvas->viewport()->render(&image);
  state.counters["items"] = canvas->scene()->items().size();
}

// A cursor going to and fro between two neighbouring pads: every move
// changes the highlight and the viewport repaints what it must.
void hover_crossing(benchmark::State& state, const std::string& path) {
  const auto canvas = shown_canvas(path);
  std::vector<QPointF> centres;
  for (const QGraphicsItem* item : canvas->scene()->items()) {
    const auto* pad =
        dynamic_cast<const zwidget::zgraph::GraphicsPadItem*>(item);
    if (pad) centres.push_back(pad->spec().position);
  }
  if (centres.size() < 2) {
    state.SkipWithError("fewer than two pads");
    return;
  }
  // The first pad and the one nearest it.
  const QPointF first = centres.front();
  const auto distance = [&first](const QPointF& p) {
    return p == first ? 1e300 : QLineF(first, p).length();
  };
  const QPointF next = *std::min_element(
      centres.begin(), centres.end(), [&](const QPointF& a, const QPointF& b) {
        return distance(a) < distance(b);
      });
  const QPoint stops[] = {canvas->mapFromScene(first),
                          canvas->mapFromScene(next)};
  QuietCout quiet;
  QCoreApplication::processEvents();  // the first full paint
  std::size_t moves = 0;
  for (auto _ : state) {
    QMouseEvent move(QEvent::MouseMove, stops[moves++ % 2], Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(canvas->viewport(), &move);
    QCoreApplication::processEvents();
  }
}

// The `count` largest footprint files of a library, by size: the heaviest
// to draw.
std::vector<std::string> largest_files(const std::string& dir,
                                       std::size_t count) {
  std::vector<std::pair<std::uintmax_t, std::string>> sized;
  for (const std::string& path :
       padscope::test::files_with_suffix(dir, ".kicad_mod"))
    sized.emplace_back(std::filesystem::file_size(path), path);
  count = std::min(count, sized.size());
  std::partial_sort(sized.begin(), sized.begin() + count, sized.end(),
                    std::greater<>());
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < count; ++i) paths.push_back(sized[i].second);
  return paths;
}

double median_of(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// What the viewer does for each file of `files` in a 1600x1000 viewport,
// timed `rounds` times over; the worst file's best and median times (the
// label names it) and the best file's best.
template <typename Frame>
void heaviest_frames(benchmark::State& state,
                     const std::vector<std::string>& files, int rounds,
                     Frame frame) {
  double worst_best = 0, worst_median = 0, best_best = 1e300;
  std::string worst;
  for (auto _ : state) {
    for (const std::string& path : files) {
      auto canvas = std::make_unique<ZObjCanvas>(nullptr);
      canvas->resize(1600, 1000);
      canvas->show();
      {
        QuietCout quiet;
        canvas->load(QString::fromStdString(path));
      }
      QCoreApplication::processEvents();  // shown once
      std::vector<double> times;
      for (int i = 0; i < rounds; ++i) {
        const auto start = clock_type::now();
        frame(*canvas, i);
        times.push_back(seconds(clock_type::now() - start));
      }
      const double best = *std::min_element(times.begin(), times.end());
      if (best > worst_best) worst = path;
      worst_best = std::max(worst_best, best);
      worst_median = std::max(worst_median, median_of(times));
      best_best = std::min(best_best, best);
    }
  }
  state.counters["worst_best_ms"] = 1e3 * worst_best;
  state.counters["worst_median_ms"] = 1e3 * worst_median;
  state.counters["best_best_ms"] = 1e3 * best_best;
  state.SetLabel(std::filesystem::path(worst).filename().string());
}

// A repaint of the fitted view, nothing changed: what a hover, a tooltip
// or an exposed window costs.
void repaint_at_fit(benchmark::State& state, std::vector<std::string> files) {
  QImage image(1600, 1000, QImage::Format_RGB32);
  heaviest_frames(state, files, 15, [&image](ZObjCanvas& canvas, int) {
    canvas.viewport()->render(&image);
  });
}

// A zoom notch in or out and the repaint that follows: everything drawn
// anew at the new scale.
void zoom_frame(benchmark::State& state, std::vector<std::string> files) {
  heaviest_frames(state, files, 15, [](ZObjCanvas& canvas, int i) {
    canvas.scale(i % 2 ? 1 / kZoomStep : kZoomStep);
    QCoreApplication::processEvents();
  });
}

// The frames of a drag: the left button held, the cursor moving 12 pixels a
// frame round a square, each move painted before the next.
void drag_pan_frame(benchmark::State& state, std::vector<std::string> files) {
  heaviest_frames(state, files, 40, [](ZObjCanvas& canvas, int i) {
    QWidget* view = canvas.viewport();
    const QPoint middle = view->rect().center();
    if (i == 0) {
      QMouseEvent press(QEvent::MouseButtonPress, middle, Qt::LeftButton,
                        Qt::LeftButton, Qt::NoModifier);
      QCoreApplication::sendEvent(view, &press);
    }
    static const QPoint kSteps[] = {{12, 0}, {0, 12}, {-12, 0}, {0, -12}};
    QPoint at = middle;
    for (int step = 0; step <= i; ++step) at += kSteps[(step / 5) % 4];
    QMouseEvent move(QEvent::MouseMove, at, Qt::LeftButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(view, &move);
    QCoreApplication::processEvents();
  });
}

// The same picture through QGraphicsScene::render at the fitted transform:
// background and items, nothing cached.
void render_scene(benchmark::State& state, const std::string& path) {
  const auto canvas = shown_canvas(path);
  const QRect pixels = canvas->viewport()->rect();
  const QRectF visible = canvas->mapToScene(pixels).boundingRect();
  QImage image(pixels.size(), QImage::Format_ARGB32_Premultiplied);
  QuietCout quiet;
  for (auto _ : state) {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    canvas->scene()->render(&painter, QRectF(pixels), visible,
                            Qt::IgnoreAspectRatio);
  }
}

// The scene's item index: Qt's BSP tree of automatic depth (0), of a fixed
// depth, or none (-1).
void use_index(QGraphicsScene& scene, int depth) {
  if (depth < 0) {
    scene.setItemIndexMethod(QGraphicsScene::NoIndex);
  } else {
    scene.setItemIndexMethod(QGraphicsScene::BspTreeIndex);
    scene.setBspTreeDepth(depth);
  }
}

std::string index_name(int depth) {
  if (depth < 0) return "none";
  return depth == 0 ? "bsp_auto" : "bsp_" + std::to_string(depth);
}

// A repaint as in repaint_view, and the hit tests of a cursor crossing the
// drawing: the items under 64 points of the scene rectangle.
void indexed(benchmark::State& state, const std::string& path, int depth,
             bool hits) {
  const auto canvas = shown_canvas(path);
  QGraphicsScene& scene = *canvas->scene();
  use_index(scene, depth);
  QImage image(canvas->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
  QuietCout quiet;
  canvas->viewport()->render(&image);  // the index built, the cache filled
  const QRectF area = scene.sceneRect();
  std::size_t found = 0;
  for (auto _ : state) {
    if (!hits) {
      canvas->viewport()->render(&image);
      continue;
    }
    for (int i = 0; i < 64; ++i) {
      const QPointF at(area.left() + area.width() * (i % 8 + 0.5) / 8,
                       area.top() + area.height() * (i / 8 + 0.5) / 8);
      found += scene.items(at).size();
    }
  }
  benchmark::DoNotOptimize(found);
  state.counters["items"] = scene.items().size();
}

// The growth of the resident size while a scene of `count` coincident lines
// is indexed and painted, in MiB.
double coincident_growth_mib(int depth, int count) {
  QGraphicsScene scene;
  use_index(scene, depth);
  const auto resident_kib = [] {
    std::ifstream status("/proc/self/statm");
    long pages = 0, resident = 0;
    status >> pages >> resident;
    return resident * 4.0;
  };
  const double before = resident_kib();
  for (int i = 0; i < count; ++i)
    scene.addLine(QLineF(0, 0, 10, 10), QPen(Qt::white, 0.1));
  QImage image(900, 700, QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&image);
  scene.render(&painter);
  return (resident_kib() - before) / 1024;
}

void coincident_lines(benchmark::State& state, int depth) {
  double mib = 0;
  for (auto _ : state) mib = coincident_growth_mib(depth, state.range(0));
  state.counters["resident_MiB"] = mib;
}

using padscope::bench::LoadedFile;

// Reading every library file into an S_Model three ways, file by file in
// turn: from memory, and through the canvas's QDataStream adapter over a
// QBuffer of the same bytes and over the file. The time is the file
// path's; the ratios are to reading from memory.
void BM_LibraryCanvasInput(benchmark::State& state) {
  const std::vector<LoadedFile>& files = padscope::bench::library_files();
  if (files.empty()) {
    state.SkipWithError(padscope::bench::library_missing());
    return;
  }
  clock_type::duration memory{}, buffer{}, file{};
  std::int64_t bytes = 0;
  for (auto _ : state) {
    clock_type::duration file_pass{};
    for (const LoadedFile& each : files) {
      const auto start = clock_type::now();
      {
        padscope::bench::MemoryAdapter in(each.bytes);
        zcore::S_Model model("module_parser");
        model.load(in);
        benchmark::DoNotOptimize(model.root());
      }
      const auto from_memory = clock_type::now();
      {
        const QByteArray data = QByteArray::fromRawData(
            each.bytes.data(), static_cast<int>(each.bytes.size()));
        QBuffer device;
        device.setData(data);
        device.open(QIODevice::ReadOnly);
        QDataStream stream(&device);
        zcore::S_Model model("module_parser");
        zwidget::zcvpcb::read_model(model, stream);
        benchmark::DoNotOptimize(model.root());
      }
      const auto from_buffer = clock_type::now();
      {
        QFile device(QString::fromStdString(each.path));
        device.open(QIODevice::ReadOnly);
        QDataStream stream(&device);
        zcore::S_Model model("module_parser");
        zwidget::zcvpcb::read_model(model, stream);
        benchmark::DoNotOptimize(model.root());
      }
      const auto stop = clock_type::now();
      memory += from_memory - start;
      buffer += from_buffer - from_memory;
      file_pass += stop - from_buffer;
      bytes += each.bytes.size();
    }
    file += file_pass;
    state.SetIterationTime(seconds(file_pass));
  }
  state.counters["memory_MB/s"] = 1e-6 * bytes / seconds(memory);
  state.counters["buffer_MB/s"] = 1e-6 * bytes / seconds(buffer);
  state.counters["file_MB/s"] = 1e-6 * bytes / seconds(file);
  state.counters["buffer_ratio"] = seconds(buffer) / seconds(memory);
  state.counters["file_ratio"] = seconds(file) / seconds(memory);
}

// This thread's processor time: the machine's other work left out.
double thread_seconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * now.tv_nsec;
}

// Every library footprint read and built once on one canvas, as the viewer
// opens a file, the event loop turning between two files (untimed): the
// median, the 99th percentile and the slowest in processor time, which the
// label names, and the median in real time.
void BM_LibraryReadAndBuild(benchmark::State& state) {
  const std::vector<LoadedFile>& files = padscope::bench::library_files();
  if (files.empty()) {
    state.SkipWithError(padscope::bench::library_missing());
    return;
  }
  ZObjCanvas canvas(nullptr);
  QuietCout quiet;
  std::vector<std::pair<double, std::size_t>> times(files.size());
  std::vector<double> real(files.size());
  for (auto _ : state) {
    double total = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
      const QString name = QString::fromStdString(files[i].path);
      const auto start = clock_type::now();
      const double start_cpu = thread_seconds();
      canvas.load(name);
      times[i] = {thread_seconds() - start_cpu, i};
      real[i] = seconds(clock_type::now() - start);
      total += real[i];
      QCoreApplication::processEvents();
    }
    state.SetIterationTime(total);
  }
  std::sort(times.begin(), times.end());
  const auto at = [&](double share) {
    return 1e3 *
           times[static_cast<std::size_t>(share * (times.size() - 1))].first;
  };
  state.counters["median_ms"] = at(0.5);
  state.counters["p99_ms"] = at(0.99);
  state.counters["max_ms"] = 1e3 * times.back().first;
  state.counters["real_median_ms"] = 1e3 * median_of(real);
  state.counters["files"] = files.size();
  state.SetLabel(files[times.back().second].path);
}

const std::string kBga =
    "kicad6/Xilinx_FFG1926_FFG1927_FFG1928_FFG1930.kicad_mod";

// The largest file of a folder, by size.
std::string largest(const std::string& folder, const std::string& suffix) {
  std::string best;
  std::uintmax_t best_size = 0;
  for (const std::string& path : padscope::test::files_with_suffix(
           padscope::test::shared_testdata_dir() + "/" + folder, suffix)) {
    const auto size = std::filesystem::file_size(path);
    if (size > best_size) best = path, best_size = size;
  }
  return best;
}

double maximum(const std::vector<double>& v) {
  return *std::max_element(v.begin(), v.end());
}

[[maybe_unused]] const bool registered = [] {
  const std::string dir = padscope::test::shared_testdata_dir();
  if (dir.empty()) return false;
  std::vector<std::string> files =
      padscope::test::files_with_suffix(dir, ".kicad_mod");
  for (const std::string& path : padscope::test::files_with_suffix(dir, ".mod"))
    files.push_back(path);
  for (const std::string& path : files) {
    benchmark::RegisterBenchmark(("read_and_build/" + short_name(path)).c_str(),
                                 read_and_build, path)
        ->Iterations(1)
        ->Repetitions(15)
        ->UseManualTime()
        ->ComputeStatistics("max", maximum)
        ->ReportAggregatesOnly(true)
        ->Unit(benchmark::kMicrosecond);
  }
  // Logo.mod besides: a library in decimils, where the grid is thinned.
  for (const std::string& path :
       {largest("kicad6", ".kicad_mod"), largest("legacy", ".mod"),
        dir + "/legacy/Logo.mod"}) {
    for (bool antialiased : {false, true}) {
      benchmark::RegisterBenchmark(
          ((antialiased ? "background_antialiased/" : "background/") +
           short_name(path))
              .c_str(),
          background, path, antialiased)
          ->Unit(benchmark::kMicrosecond);
    }
  }
  benchmark::RegisterBenchmark(("repaint_view/" + kBga).c_str(), repaint_view,
                               dir + "/" + kBga)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(("render_scene/" + kBga).c_str(), render_scene,
                               dir + "/" + kBga)
      ->Unit(benchmark::kMillisecond);
  for (int depth : {0, 4, 6, 8, 10, -1}) {
    for (bool hits : {false, true}) {
      benchmark::RegisterBenchmark(((hits ? "hit_tests/" : "repaint_indexed/") +
                                    index_name(depth) + "/" + kBga)
                                       .c_str(),
                                   indexed, dir + "/" + kBga, depth, hits)
          ->Unit(benchmark::kMicrosecond);
    }
    // Qt's automatic depth takes gigabytes for 20,000 lines.
    auto* lines = benchmark::RegisterBenchmark(
        ("coincident_lines/" + index_name(depth)).c_str(), coincident_lines,
        depth);
    lines->Arg(2000)->Iterations(1)->Unit(benchmark::kMillisecond);
    if (depth != 0) lines->Arg(20000);
  }
  return true;
}();

// The whole KiCad library, when it is installed.
[[maybe_unused]] const bool library_registered = [] {
  benchmark::RegisterBenchmark("BM_LibraryCanvasInput", BM_LibraryCanvasInput)
      ->UseManualTime()
      ->Repetitions(3)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_LibraryReadAndBuild", BM_LibraryReadAndBuild)
      ->UseManualTime()
      ->Iterations(1)
      ->Repetitions(3)
      ->Unit(benchmark::kMillisecond);
  const std::string dir = padscope::test::kicad_library_dir();
  if (dir.empty()) return false;
  // The slowest footprint of the library to read and build.
  const std::string bga =
      dir +
      "/Package_BGA.pretty/Xilinx_FFG1926_FFG1927_FFG1928_FFG1930"
      ".kicad_mod";
  benchmark::RegisterBenchmark("repaint_view/library/Xilinx_FFG1926",
                               repaint_view, bga)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("hover_crossing/library/Xilinx_FFG1926",
                               hover_crossing, bga)
      ->Unit(benchmark::kMillisecond);
  const std::vector<std::string> heaviest = largest_files(dir, 10);
  for (const auto& [name, frame] :
       {std::pair{"repaint_at_fit", repaint_at_fit},
        std::pair{"zoom_frame", zoom_frame},
        std::pair{"drag_pan_frame", drag_pan_frame}})
    benchmark::RegisterBenchmark(
        (std::string(name) + "/library/heaviest_10").c_str(), frame, heaviest)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
  return true;
}();

}  // namespace
