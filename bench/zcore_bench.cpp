#include "memory_input.h"
#include "support/test_data.h"
#include "zcore/legacy_model.h"
#include "zcore/models.h"
#include "zcore/stream_model_adapter.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using padscope::bench::LoadedFile;
using padscope::bench::MemoryAdapter;

std::vector<std::string> load_files(const char* folder, const char* suffix) {
  std::vector<std::string> files;
  const std::string root = padscope::test::shared_testdata_dir();
  if (root.empty()) return files;
  for (const std::string& path :
       padscope::test::files_with_suffix(root + folder, suffix))
    files.push_back(padscope::test::read_file(path));
  return files;
}

const std::vector<std::string>& kicad_files() {
  static const std::vector<std::string> files = [] {
    std::vector<std::string> all = load_files("/kicad5", ".kicad_mod");
    for (std::string& file : load_files("/kicad6", ".kicad_mod"))
      all.push_back(std::move(file));
    return all;
  }();
  return files;
}

const std::vector<std::string>& legacy_files() {
  static const std::vector<std::string> files = load_files("/legacy", ".mod");
  return files;
}

std::int64_t total_bytes(const std::vector<std::string>& files) {
  std::int64_t total = 0;
  for (const std::string& file : files) total += file.size();
  return total;
}

bool skip_without(benchmark::State& state,
                  const std::vector<std::string>& files) {
  if (!files.empty()) return false;
  state.SkipWithError("shared test data not found");
  return true;
}

bool skip_without_library(benchmark::State& state,
                          const std::vector<LoadedFile>& files) {
  if (!files.empty()) return false;
  state.SkipWithError(padscope::bench::library_missing());
  return true;
}

std::int64_t total_bytes(const std::vector<LoadedFile>& files) {
  std::int64_t total = 0;
  for (const LoadedFile& file : files) total += file.bytes.size();
  return total;
}

// The adapter as the readers see it: of a type the compiler cannot know.
zcore::StreamModelAdapterBase& hidden(MemoryAdapter& in) {
  zcore::StreamModelAdapterBase* base = &in;
  benchmark::DoNotOptimize(base);
  return *base;
}

// The floor of a one-pass reader: each byte once through the same
// interface, get then good, as the reader calls them.
__attribute__((noinline)) unsigned walk_bytes(
    zcore::StreamModelAdapterBase& in) {
  unsigned sum = 0;
  for (int c = in.get(); in.good(); c = in.get()) sum += c;
  return sum;
}

__attribute__((noinline)) std::size_t walk_lines(
    zcore::StreamModelAdapterBase& in) {
  std::string line;
  std::size_t sum = 0;
  while (in.getline(line)) sum += line.size();
  return sum;
}

unsigned plain_loop(const std::string& bytes) {
  unsigned sum = 0;
  for (const char c : bytes) sum += static_cast<unsigned char>(c);
  return sum;
}

void BM_KicadRead(benchmark::State& state) {
  const auto& files = kicad_files();
  if (skip_without(state, files)) return;
  for (auto _ : state) {
    for (const std::string& file : files) {
      MemoryAdapter in(file);
      zcore::S_Model model("module_parser");
      model.load(in);
      benchmark::DoNotOptimize(model.root());
    }
  }
  state.SetBytesProcessed(state.iterations() * total_bytes(files));
}
BENCHMARK(BM_KicadRead);

void BM_KicadAdapterWalk(benchmark::State& state) {
  const auto& files = kicad_files();
  if (skip_without(state, files)) return;
  for (auto _ : state) {
    for (const std::string& file : files) {
      MemoryAdapter in(file);
      benchmark::DoNotOptimize(walk_bytes(hidden(in)));
    }
  }
  state.SetBytesProcessed(state.iterations() * total_bytes(files));
}
BENCHMARK(BM_KicadAdapterWalk);

void BM_KicadPlainLoop(benchmark::State& state) {
  const auto& files = kicad_files();
  if (skip_without(state, files)) return;
  for (auto _ : state) {
    for (const std::string& file : files)
      benchmark::DoNotOptimize(plain_loop(file));
  }
  state.SetBytesProcessed(state.iterations() * total_bytes(files));
}
BENCHMARK(BM_KicadPlainLoop);

void BM_LibraryRead(benchmark::State& state) {
  const auto& files = padscope::bench::library_files();
  if (skip_without_library(state, files)) return;
  for (auto _ : state) {
    for (const LoadedFile& file : files) {
      MemoryAdapter in(file.bytes);
      zcore::S_Model model("module_parser");
      model.load(in);
      benchmark::DoNotOptimize(model.root());
    }
  }
  state.SetBytesProcessed(state.iterations() * total_bytes(files));
  state.counters["files"] = files.size();
}
BENCHMARK(BM_LibraryRead)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BM_LibraryAdapterWalk(benchmark::State& state) {
  const auto& files = padscope::bench::library_files();
  if (skip_without_library(state, files)) return;
  for (auto _ : state) {
    for (const LoadedFile& file : files) {
      MemoryAdapter in(file.bytes);
      benchmark::DoNotOptimize(walk_bytes(hidden(in)));
    }
  }
  state.SetBytesProcessed(state.iterations() * total_bytes(files));
}
BENCHMARK(BM_LibraryAdapterWalk)->Unit(benchmark::kMillisecond)->Repetitions(5);

// Reading and walking file by file in turn, so that both see the same load
// on a busy machine; the time is the reading's, `ratio` is reading time
// over walking time.
void BM_LibraryReadOverWalk(benchmark::State& state) {
  using clock = std::chrono::steady_clock;
  const auto& files = padscope::bench::library_files();
  if (skip_without_library(state, files)) return;
  clock::duration read{}, walk{};
  for (auto _ : state) {
    clock::duration read_pass{};
    for (const LoadedFile& file : files) {
      const auto start = clock::now();
      {
        MemoryAdapter in(file.bytes);
        benchmark::DoNotOptimize(walk_bytes(hidden(in)));
      }
      const auto walked = clock::now();
      {
        MemoryAdapter in(file.bytes);
        zcore::S_Model model("module_parser");
        model.load(in);
        benchmark::DoNotOptimize(model.root());
      }
      const auto stop = clock::now();
      walk += walked - start;
      read_pass += stop - walked;
    }
    read += read_pass;
    state.SetIterationTime(std::chrono::duration<double>(read_pass).count());
  }
  const double megabytes = 1e-6 * state.iterations() * total_bytes(files);
  state.counters["read_MB/s"] =
      megabytes / std::chrono::duration<double>(read).count();
  state.counters["walk_MB/s"] =
      megabytes / std::chrono::duration<double>(walk).count();
  state.counters["ratio"] = std::chrono::duration<double>(read).count() /
                            std::chrono::duration<double>(walk).count();
}
BENCHMARK(BM_LibraryReadOverWalk)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);

void BM_LegacyRead(benchmark::State& state) {
  const auto& files = legacy_files();
  if (skip_without(state, files)) return;
  for (auto _ : state) {
    for (const std::string& file : files) {
      MemoryAdapter in(file);
      zcore::LegacyStringModel model("module_legacy_parser");
      model.load(in);
      benchmark::DoNotOptimize(model.records().data());
    }
  }
  state.SetBytesProcessed(state.iterations() * total_bytes(files));
}
BENCHMARK(BM_LegacyRead);

void BM_LegacyAdapterLines(benchmark::State& state) {
  const auto& files = legacy_files();
  if (skip_without(state, files)) return;
  for (auto _ : state) {
    for (const std::string& file : files) {
      MemoryAdapter in(file);
      benchmark::DoNotOptimize(walk_lines(hidden(in)));
    }
  }
  state.SetBytesProcessed(state.iterations() * total_bytes(files));
}
BENCHMARK(BM_LegacyAdapterLines);

void BM_LegacyAdapterWalk(benchmark::State& state) {
  const auto& files = legacy_files();
  if (skip_without(state, files)) return;
  for (auto _ : state) {
    for (const std::string& file : files) {
      MemoryAdapter in(file);
      benchmark::DoNotOptimize(walk_bytes(hidden(in)));
    }
  }
  state.SetBytesProcessed(state.iterations() * total_bytes(files));
}
BENCHMARK(BM_LegacyAdapterWalk);

void BM_LegacyPlainLoop(benchmark::State& state) {
  const auto& files = legacy_files();
  if (skip_without(state, files)) return;
  for (auto _ : state) {
    for (const std::string& file : files)
      benchmark::DoNotOptimize(plain_loop(file));
  }
  state.SetBytesProcessed(state.iterations() * total_bytes(files));
}
BENCHMARK(BM_LegacyPlainLoop);

}  // namespace
