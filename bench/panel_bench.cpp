#include "apps/padscope/dir_navigator.h"
#include "apps/padscope/library_panel.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>

#include <ctime>
#include <map>
#include <memory>

namespace {

const QStringList kFilters{"*.kicad_mod", "*.mod"};

// A folder of `count` empty footprint files, made once per size.
QString folder_of(int count) {
  static std::map<int, std::unique_ptr<QTemporaryDir>> made;
  std::unique_ptr<QTemporaryDir>& dir = made[count];
  if (!dir) {
    dir = std::make_unique<QTemporaryDir>();
    for (int i = 0; i < count; ++i)
      QFile(dir->filePath(
                QStringLiteral("R_%1.kicad_mod").arg(i, 6, 10, QChar('0'))))
          .open(QIODevice::WriteOnly);
  }
  return dir->path();
}

QString first_file(int count) {
  return QDir(folder_of(count)).filePath("R_000000.kicad_mod");
}

// This thread's processor time in seconds: on a shared machine the wall
// clock of the two runs differs by the others' load as much as by the step.
double thread_seconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return now.tv_sec + now.tv_nsec * 1e-9;
}

// Times `step` over folders of `count` files and of a quarter as many, in
// turn: `ratio` is the processor time per file of the large folder over
// that of the small one, 1 when the step is linear in the files, 4 when
// quadratic.
template <typename Step>
void per_file_against_a_quarter(benchmark::State& state, Step&& step) {
  const int count = static_cast<int>(state.range(0));
  const int quarter = count / 4;
  for (const int made : {count, quarter, 1}) folder_of(made);
  double large = 0, small = 0;
  for (auto _ : state) {
    double start = thread_seconds();
    step(count);
    large += thread_seconds() - start;
    state.PauseTiming();
    start = thread_seconds();
    step(quarter);
    small += thread_seconds() - start;
    state.ResumeTiming();
  }
  state.counters["seconds_per_file"] =
      benchmark::Counter(count, benchmark::Counter::kIsIterationInvariantRate |
                                    benchmark::Counter::kInvert);
  state.counters["ratio"] = (large / count) / (small / quarter);
}

// The panel lists a library, then another of one file, which clears it.
void BM_PanelListsAFolder(benchmark::State& state) {
  LibraryPanel panel(kFilters);
  per_file_against_a_quarter(state, [&](int count) {
    panel.set_current(first_file(count));
    benchmark::DoNotOptimize(panel.library_list()->count());
    panel.set_current(first_file(1));
  });
}
BENCHMARK(BM_PanelListsAFolder)
    ->Arg(200000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// One step to the next file as the window takes it: the navigator lists
// the folder, the panel selects the file in the list it has.
void BM_PanelFollowsNext(benchmark::State& state) {
  std::map<int, std::unique_ptr<LibraryPanel>> panels;
  std::map<int, DirNavigator> navigators;
  for (const int count : {int(state.range(0)), int(state.range(0)) / 4}) {
    panels[count] = std::make_unique<LibraryPanel>(kFilters);
    navigators[count].filters = kFilters;
    navigators[count].path = first_file(count);
    panels[count]->set_current(navigators[count].path);
  }
  per_file_against_a_quarter(state, [&](int count) {
    panels[count]->set_current(navigators[count].next());
  });
}
BENCHMARK(BM_PanelFollowsNext)
    ->Arg(200000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
