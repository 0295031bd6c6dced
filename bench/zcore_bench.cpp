#include "memory_input.h"
#include "support/test_data.h"
#include "zcore/footprint_facts.h"
#include "zcore/legacy_model.h"
#include "zcore/models.h"
#include "zcore/stream_model_adapter.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <unistd.h>
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

// The bytes of a file, read as the floor reads them: whole, into `buffer`,
// which grows to the largest file.
std::size_t read_whole(const std::string& path, std::vector<char>& buffer) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return 0;
  std::size_t size = 0;
  for (;;) {
    if (size == buffer.size())
      buffer.resize(std::max<std::size_t>(1 << 20, 2 * size));
    const ssize_t got = ::read(fd, buffer.data() + size, buffer.size() - size);
    if (got <= 0) break;
    size += static_cast<std::size_t>(got);
  }
  ::close(fd);
  return size;
}

// The byte-walk floor (the shared reference tools' `readcount tok`): a
// minimal S-expression lexer that counts lists, atoms and strings.
__attribute__((noinline)) std::size_t lex_tokens(const char* p,
                                                 const char* end) {
  std::size_t tokens = 0;
  const auto separates = [](char c) {
    return c == '(' || c == ')' || c == ' ' || c == '\n' || c == '\t' ||
           c == '\r' || c == '"';
  };
  while (p != end) {
    const char c = *p;
    if (c == '(' || c == ')') {
      ++tokens;
      ++p;
    } else if (c == ' ' || c == '\n' || c == '\t' || c == '\r') {
      ++p;
    } else if (c == '"') {
      ++tokens;
      for (++p; p != end && *p != '"'; ++p)
        if (*p == '\\' && p + 1 != end) ++p;
      if (p != end) ++p;
    } else {
      ++tokens;
      while (p != end && !separates(*p)) ++p;
    }
  }
  return tokens;
}

// This thread's processor time: on a machine shared with other work, wall
// time measures the others too.
std::chrono::duration<double> thread_time() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return std::chrono::duration<double>(now.tv_sec + 1e-9 * now.tv_nsec);
}

// Every file of the library from disk into a model, as the index reads
// it, and the floor on the same files in turn, so that both see the same
// machine. Times are the thread's processor time, the system's part of
// opening and reading included. The iteration time is the models'; `ratio`
// is theirs over the floor's; the median and the slowest are per file.
void BM_LibraryIntoModels(benchmark::State& state) {
  const auto& files = padscope::bench::library_files();
  if (skip_without_library(state, files)) return;
  std::vector<char> buffer;
  std::vector<double> each(files.size());
  std::chrono::duration<double> read{}, floor{};
  for (auto _ : state) {
    std::chrono::duration<double> pass{};
    for (std::size_t i = 0; i < files.size(); ++i) {
      const auto start = thread_time();
      const std::size_t size = read_whole(files[i].path, buffer);
      benchmark::DoNotOptimize(lex_tokens(buffer.data(), buffer.data() + size));
      const auto walked = thread_time();
      {
        const std::string bytes = padscope::bench::file_bytes(files[i].path);
        MemoryAdapter in(bytes);
        zcore::S_Model model("module_parser");
        model.load(in);
        benchmark::DoNotOptimize(model.root());
      }
      const auto stop = thread_time();
      floor += walked - start;
      pass += stop - walked;
      each[i] = 1e6 * (stop - walked).count();
    }
    read += pass;
    state.SetIterationTime(pass.count());
  }
  const double megabytes = 1e-6 * state.iterations() * total_bytes(files);
  state.counters["models_MB/s"] = megabytes / read.count();
  state.counters["floor_MB/s"] = megabytes / floor.count();
  state.counters["ratio"] = read.count() / floor.count();
  std::sort(each.begin(), each.end());
  state.counters["median_us"] = each[each.size() / 2];
  state.counters["p99_us"] = each[each.size() * 99 / 100];
  state.counters["max_us"] = each.back();
}
BENCHMARK(BM_LibraryIntoModels)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);

// The footprint facts of every file of the library against reading the
// same files from memory, file by file in turn, in the thread's processor
// time: the iteration time is the facts', `ratio` their time over the
// reading's. The index computes facts for every footprint it reads.
void BM_LibraryFactsOverRead(benchmark::State& state) {
  const auto& files = padscope::bench::library_files();
  if (skip_without_library(state, files)) return;
  std::chrono::duration<double> read{}, facts{};
  std::size_t pads = 0;
  for (auto _ : state) {
    std::chrono::duration<double> pass{};
    for (const LoadedFile& file : files) {
      const auto start = thread_time();
      MemoryAdapter in(file.bytes);
      zcore::S_Model model("module_parser");
      model.load(in);
      const auto loaded = thread_time();
      const zcore::footprint_facts figures = zcore::facts_of(model);
      pass += thread_time() - loaded;
      read += loaded - start;
      benchmark::DoNotOptimize(figures.pitch);
      pads += figures.pads.size();
    }
    facts += pass;
    state.SetIterationTime(pass.count());
  }
  state.counters["files"] = files.size();
  state.counters["pads"] = pads / state.iterations();
  state.counters["ratio"] = facts.count() / read.count();
}
BENCHMARK(BM_LibraryFactsOverRead)
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
