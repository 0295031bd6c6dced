#include "memory_input.h"
#include "support/test_data.h"
#include "zcore/footprint_index.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

using clock_type = std::chrono::steady_clock;

double seconds(clock_type::duration d) {
  return std::chrono::duration<double>(d).count();
}

bool skip_without_library(benchmark::State& state, const std::string& root) {
  if (!root.empty()) return false;
  state.SkipWithError(padscope::bench::library_missing());
  return true;
}

// The floor of any index: every footprint file's bytes read into memory.
std::size_t read_all_files(const std::string& root) {
  std::size_t bytes = 0;
  for (const char* suffix : {".kicad_mod", ".mod"}) {
    for (const std::string& path :
         padscope::test::files_with_suffix(root, suffix))
      bytes += padscope::test::read_file(path).size();
  }
  return bytes;
}

// Processor time of this process, in seconds: on a shared machine it
// compares runs better than the wall clock.
double processor_seconds() {
  return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

// Indexing the whole library from nothing, timed with figures; in turn in
// each iteration, reading the same files' bytes and indexing without
// figures. `ratio` is the time over reading the bytes, `figures_ratio` the
// processor time over that of indexing without figures.
void BM_LibraryIndexBuild(benchmark::State& state) {
  const std::string root = padscope::test::kicad_library_dir();
  if (skip_without_library(state, root)) return;
  clock_type::duration build{}, bytes{};
  double with_figures = 0, without_figures = 0;
  std::size_t entries = 0;
  for (auto _ : state) {
    const auto start = clock_type::now();
    benchmark::DoNotOptimize(read_all_files(root));
    const auto read = clock_type::now();
    const double plain_start = processor_seconds();
    {
      zcore::footprint_index plain(root, false);
      plain.refresh();
    }
    const double plain_end = processor_seconds();
    const auto named = clock_type::now();
    {
      zcore::footprint_index index(root);
      index.refresh();
      entries = index.size();
    }
    const auto stop = clock_type::now();
    with_figures += processor_seconds() - plain_end;
    without_figures += plain_end - plain_start;
    bytes += read - start;
    build += stop - named;
    state.SetIterationTime(seconds(stop - named));
  }
  state.counters["entries"] = entries;
  state.counters["seconds"] = seconds(build) / state.iterations();
  state.counters["cpu_seconds"] = with_figures / state.iterations();
  state.counters["without_figures_cpu_seconds"] =
      without_figures / state.iterations();
  state.counters["ratio"] = seconds(build) / seconds(bytes);
  state.counters["figures_ratio"] = with_figures / without_figures;
}
BENCHMARK(BM_LibraryIndexBuild)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

// A start with a cache of an unchanged library: load it and scan.
void BM_LibraryIndexFromCache(benchmark::State& state) {
  const std::string root = padscope::test::kicad_library_dir();
  if (skip_without_library(state, root)) return;
  const std::string cache =
      (std::filesystem::temp_directory_path() /
       ("padscope-index-bench-" + std::to_string(getpid()) + ".txt"))
          .string();
  {
    zcore::footprint_index index(root);
    index.refresh();
    index.save(cache);
  }
  std::size_t waiting = 0;
  for (auto _ : state) {
    zcore::footprint_index index(root);
    index.load(cache);
    waiting = index.scan();
  }
  std::remove(cache.c_str());
  state.counters["files_to_read"] = waiting;
}
BENCHMARK(BM_LibraryIndexFromCache)->Unit(benchmark::kMillisecond);

const zcore::footprint_index* library_index() {
  static const std::unique_ptr<zcore::footprint_index> index = [] {
    const std::string root = padscope::test::kicad_library_dir();
    if (root.empty()) return std::unique_ptr<zcore::footprint_index>();
    auto built = std::make_unique<zcore::footprint_index>(root);
    built->refresh();
    return built;
  }();
  return index.get();
}

// One search per keystroke while typing each query, as the panel runs it:
// ranked. The time is per keystroke.
void BM_LibrarySearchPerKeystroke(benchmark::State& state,
                                  const std::string& typed) {
  const zcore::footprint_index* index = library_index();
  if (!index) {
    state.SkipWithError(padscope::bench::library_missing());
    return;
  }
  std::size_t found = 0;
  clock_type::duration spent{};
  for (auto _ : state) {
    const auto start = clock_type::now();
    for (std::size_t length = 1; length <= typed.size(); ++length) {
      found =
          index->search(zcore::footprint_query(typed.substr(0, length))).size();
      benchmark::DoNotOptimize(found);
    }
    spent += clock_type::now() - start;
  }
  state.counters["ms_per_key"] =
      1e3 * seconds(spent) / (state.iterations() * typed.size());
  state.counters["found"] = found;
  state.counters["entries"] = index->size();
}
BENCHMARK_CAPTURE(BM_LibrarySearchPerKeystroke, name,
                  std::string("LQFP-48_7x7"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LibrarySearchPerKeystroke, wildcards,
                  std::string("*qfp*48*p0.5?m"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LibrarySearchPerKeystroke, tag, std::string("bga"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LibrarySearchPerKeystroke, words, std::string("QFN 7x7"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LibrarySearchPerKeystroke, squashed, std::string("sot23"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LibrarySearchPerKeystroke, words_and_figures,
                  std::string("qfp pads:48 pitch:0.5 size:7x7 -tht"))
    ->Unit(benchmark::kMillisecond);

// A 2,000-character pattern pasted over three footprints with descriptions
// of a megabyte: the time of the one search it starts.
void BM_HostilePatternSearch(benchmark::State& state) {
  std::vector<zcore::index_entry> entries(3);
  std::vector<zcore::entry_text> texts;
  for (zcore::index_entry& entry : entries) {
    entry.name = "Huge";
    entry.description = std::string(1 << 20, 'a');
    texts.push_back(zcore::text_of(entry));
  }
  const zcore::footprint_query query(std::string(1999, 'a') + "b");
  for (auto _ : state) {
    std::vector<zcore::search_hit> hits;
    zcore::collect_hits(query, entries, texts, hits);
    benchmark::DoNotOptimize(hits);
  }
}
BENCHMARK(BM_HostilePatternSearch)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
