#include "support/test_data.h"
#include "zcore/legacy_model.h"
#include "zcore/models.h"
#include "zcore/stream_model_adapter.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// Bytes and lines from memory, as the viewer's adapter gives them from a
// file.
class MemoryAdapter : public zcore::StreamModelAdapterBase {
public:
  explicit MemoryAdapter(const std::string& bytes)
      : next(bytes.data()), end(bytes.data() + bytes.size()) {}

  int get() override {
    if (next != end) return static_cast<unsigned char>(*next++);
    at_end = true;
    return -1;
  }
  bool good() override { return !at_end; }
  bool getline(std::string& line) override {
    if (at_end) return false;
    const char* stop = next;
    while (stop != end && *stop != '\n') ++stop;
    line.assign(next, stop);
    at_end = stop == end;
    next = at_end ? end : stop + 1;
    return true;
  }

private:
  const char* next;
  const char* end;
  bool at_end = false;
};

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
