#include "zcore/footprint_index.h"

#include "support/model_of.h"
#include "support/test_data.h"
#include "zcore/footprint_format.h"
#include "zcore/memory_adapter.h"
#include "zcore/name_pattern.h"
#include "zcore/regular_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using padscope::test::write_file;
using zcore::footprint_index;
using zcore::index_entry;

namespace {

TEST(NamePatternTest, SubstringsAndWildcardsIgnoringCase) {
  struct Row {
    const char* pattern;
    const char* text;
    bool matches;
  };
  const Row rows[] = {
      {"", "anything", true},
      {"LQFP-48*7X7", "LQFP-48_7x7mm_P0.5mm", true},
      {"48*7x7", "LQFP-7x7mm-48", false},
      {"R_0?05", "R_0805_2012Metric", true},
      {"R_0?05", "R_005", false},
      {"x?y", "x\xc3\xa9y", true},
      {"**", "", true},
      {"a*b*c", "acb", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.pattern) + " in " + row.text);
    EXPECT_EQ(zcore::name_pattern(row.pattern).matches(row.text), row.matches);
  }
}

std::string pretty(int n) {
  return "(footprint \"R_" + std::to_string(n) +
         "\" (layer \"F.Cu\") (descr \"Resistor number " + std::to_string(n) +
         "\") (tags \"resistor\"))";
}

std::set<std::string> names(const std::vector<const index_entry*>& found) {
  std::set<std::string> result;
  for (const index_entry* entry : found) result.insert(entry->name);
  return result;
}

// 30 libraries of 100 small footprints, a legacy library of three modules
// and two files that do not read.
class GeneratedTreeTest : public ::testing::Test {
protected:
  void SetUp() override {
    // Unique per run: other builds may run the same test at the same time.
    root = fs::temp_directory_path() /
           ("padscope-index-" + std::to_string(std::random_device()()));
    fs::remove_all(root);
    for (int lib = 0; lib < 30; ++lib) {
      const fs::path dir = root / ("Lib" + std::to_string(lib) + ".pretty");
      for (int i = 0; i < 100; ++i) {
        const int n = lib * 100 + i;
        write_file(dir / ("R_" + std::to_string(n) + ".kicad_mod"), pretty(n));
      }
    }
    write_file(root / "old" / ".hidden" / "skipped.kicad_mod", pretty(9999));
    write_file(
        root / "old" / "parts.mod",
        "PCBNEW-LibModule-V1 date\n$MODULE DIP8\nLi DIP8\nCd Dual inline\n"
        "Kw DIL THT\n$EndMODULE DIP8\n$MODULE SO8\nCd Small outline\n"
        "$EndMODULE SO8\n$MODULE TO92\n$EndMODULE TO92\n$EndLIBRARY\n");
    write_file(root / "old" / "broken.kicad_mod", "(footprint \"cut\" (layer");
    write_file(root / "old" / "board.kicad_mod", "(kicad_pcb (version 1))");
    write_file(root / "old" / "notes.txt", "not a footprint");
  }
  void TearDown() override { fs::remove_all(root); }

  fs::path root;
};

TEST_F(GeneratedTreeTest, FindsByNameTagAndDescriptionAndListsFailures) {
  // Sparse: past the bound of what is read, without taking the room.
  write_file(root / "old" / "huge.kicad_mod", "");
  fs::resize_file(root / "old" / "huge.kicad_mod",
                  (std::uintmax_t(256) << 20) + 1);
  footprint_index index(root.string());
  EXPECT_EQ(index.scan(), 3004u);
  // Before reading, the entries are known by file name alone.
  EXPECT_EQ(names(index.search("R_1234")), std::set<std::string>{"R_1234"});
  EXPECT_TRUE(index.search("resistor").empty());
  std::size_t calls = 0;
  index.read_pending(
      [&](std::size_t done, std::size_t total, const std::string&) {
        EXPECT_EQ(total, 3004u);
        EXPECT_EQ(done, ++calls);
        return true;
      });
  EXPECT_EQ(calls, 3004u);
  EXPECT_EQ(index.pending(), 0u);
  EXPECT_EQ(index.size(), 3006u);
  EXPECT_EQ(index.search("RESISTOR NUMBER").size(), 3000u);
  EXPECT_EQ(names(index.search("dil")), std::set<std::string>{"DIP8"});
  const auto to92 = index.search("TO92");
  ASSERT_EQ(to92.size(), 1u);
  EXPECT_EQ(to92[0]->module, 2u);
  EXPECT_EQ(zcore::library_name(*to92[0]), "parts");
  EXPECT_EQ(zcore::library_name(*index.search("R_5")[0]), "Lib0");

  std::set<std::string> failed;
  for (const index_entry* entry : index.entries()) {
    if (!entry->error.empty())
      failed.insert(fs::path(entry->path).filename().string() + ": " +
                    entry->error);
  }
  EXPECT_EQ(failed, (std::set<std::string>{
                        "board.kicad_mod: Not a footprint: the file holds "
                        "(kicad_pcb ...)",
                        "broken.kicad_mod: Unexpected EOF at line 1, column 24",
                        "huge.kicad_mod: File too large (more than 256 MiB)"}));
  // Never read to its end: listed with the reason.
  EXPECT_EQ(zcore::read_footprint_file("/dev/zero", "")[0].error,
            "Not a regular file");
}

TEST_F(GeneratedTreeTest, CacheAndRefreshReadOnlyChangedFolders) {
  const std::string cache = (root / "cache" / "index.txt").string();
  {
    footprint_index index(root.string());
    index.refresh();
    ASSERT_TRUE(index.save(cache));
  }
  footprint_index other("/elsewhere");
  EXPECT_FALSE(other.load(cache));

  footprint_index index(root.string());
  ASSERT_TRUE(index.load(cache));
  EXPECT_EQ(index.size(), 3005u);
  EXPECT_EQ(names(index.search("dual inline")), std::set<std::string>{"DIP8"});
  EXPECT_EQ(index.scan(), 0u);

  write_file(root / "Lib7.pretty" / "C_new.kicad_mod",
             "(footprint \"C_new\" (tags \"capacitor\"))");
  fs::remove_all(root / "Lib8.pretty");
  EXPECT_EQ(index.scan(), 101u);
  // Stopped after five files, the rest waits for the next run.
  index.read_pending([](std::size_t done, std::size_t, const std::string&) {
    return done < 5;
  });
  EXPECT_EQ(index.pending(), 96u);
  index.read_pending();
  EXPECT_EQ(names(index.search("capacitor")), std::set<std::string>{"C_new"});
  EXPECT_TRUE(index.search("R_850").empty());
  EXPECT_EQ(index.size(), 3005u + 1 - 100);

  std::ofstream(cache, std::ios::app) << "E\tdamaged\n";
  footprint_index damaged(root.string());
  EXPECT_FALSE(damaged.load(cache));
  EXPECT_EQ(damaged.size(), 0u);
}

// Whatever stands at the cache's path is read only when it is a regular
// file of a sane size: never waited on, never read without end, never
// followed; and it is written without touching what a link points to.
TEST(IndexCacheTest, TakesOnlyARegularFileAndWritesThroughNoLink) {
  const fs::path dir = fs::temp_directory_path() /
                       ("padscope-cache-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  write_file(dir / "lib" / "R_1.kicad_mod", pretty(1));
  const std::string root = (dir / "lib").string();
  const fs::path cache = dir / "cache.txt";
  footprint_index index(root);
  index.refresh();
  ASSERT_TRUE(index.save(cache.string()));
  const std::string valid = padscope::test::read_file(cache.string());
  write_file(dir / "victim", "victim");

  // The former temporary name, and the cache itself, as links.
  fs::remove(cache);
  fs::create_symlink(dir / "victim", cache.string() + ".part");
  fs::create_symlink(dir / "victim", cache);
  ASSERT_TRUE(index.save(cache.string()));
  EXPECT_EQ(padscope::test::read_file((dir / "victim").string()), "victim");
  footprint_index reloaded(root);
  EXPECT_TRUE(reloaded.load(cache.string()));
  EXPECT_EQ(reloaded.size(), 1u);
  for (const auto& entry : fs::directory_iterator(dir))
    EXPECT_EQ(entry.path().filename().string().find(".part-"),
              std::string::npos);

  const std::string long_line(2 << 20, 'x');
  const std::pair<const char*, std::function<void()>> cases[] = {
      {"a FIFO", [&] { ASSERT_EQ(mkfifo(cache.c_str(), 0600), 0); }},
      {"a link to /dev/zero", [&] { fs::create_symlink("/dev/zero", cache); }},
      {"a link to a cache",
       [&] {
         write_file(dir / "elsewhere", valid);
         fs::create_symlink(dir / "elsewhere", cache);
       }},
      {"a cache grown past 64 MiB",
       [&] {
         write_file(cache.string(), valid);
         fs::resize_file(cache, 65 << 20);
       }},
      {"a cache with a line of 2 MiB",
       [&] {
         write_file(cache.string(), valid + "F\t" + long_line + "\t1\t0\n");
       }},
  };
  std::atomic<bool> done{false}, blocked{false};
  std::thread guard([&] {
    for (int i = 0; !done; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      // Opening for writing succeeds only while a reader waits.
      const int writer =
          i < 50 ? -1 : ::open(cache.c_str(), O_WRONLY | O_NONBLOCK);
      if (writer < 0) continue;
      blocked = true;
      ::close(writer);
    }
  });
  const long before = padscope::test::peak_kib();
  for (const auto& [what, make] : cases) {
    SCOPED_TRACE(what);
    fs::remove(cache);
    make();
    footprint_index loaded(root);
    EXPECT_FALSE(loaded.load(cache.string()));
    EXPECT_EQ(loaded.size(), 0u);
  }
  done = true;
  guard.join();
  EXPECT_FALSE(blocked);
  EXPECT_LT(padscope::test::peak_kib() - before, 32L << 10) << "KiB";
  fs::remove_all(dir);
}

// Whole files of any size come back byte for byte up to the bound, and a
// byte more is too large, whether one read or several bring it in.
TEST(IndexCacheTest, ReadsWholeFilesUpToTheirBound) {
  const fs::path path = fs::temp_directory_path() /
                        ("padscope-whole-" + std::to_string(::getpid()));
  for (const std::size_t size : {0, 1, 70000}) {
    SCOPED_TRACE(size);
    std::string written(size, 'x');
    for (std::size_t i = 0; i < size; ++i) written[i] = char('a' + i % 23);
    write_file(path, written);
    std::string bytes = "left over";
    EXPECT_EQ(zcore::read_regular_file(path.string(), size, true, bytes),
              zcore::read_outcome::ok);
    EXPECT_EQ(bytes, written);
    if (size > 0) {
      EXPECT_EQ(zcore::read_regular_file(path.string(), size - 1, true, bytes),
                zcore::read_outcome::too_large);
    }
  }
  fs::remove(path);
}

std::string number(double value) {
  std::ostringstream out;
  out << value;
  return out.str();
}

std::string size_text(const std::optional<zcore::dimensions>& size) {
  return size ? number(size->width) + "x" + number(size->height) : "-";
}

// The figures as a line, for comparison with what the files say.
std::string figures_text(const index_entry& entry) {
  if (!entry.figures) return "none";
  const zcore::footprint_figures& f = *entry.figures;
  return "pads " + std::to_string(f.pads) + " smd " +
         std::to_string(f.smd_pads) + " tht " +
         std::to_string(f.through_hole_pads) + " " + kind_name(f.kind) +
         " pitch " + (f.pitch ? number(*f.pitch) : "-") + " courtyard " +
         size_text(f.courtyard) + " body " + size_text(f.body);
}

// The index reads the summary of each footprint; the panel shows its
// whole facts. Both must give the same figures, which the cache keeps.
TEST(FootprintIndexTest, ReadsRealFilesWithTheWholeFiguresKeptInTheCache) {
  const std::string dir = padscope::test::real_files_dir();
  footprint_index index(dir);
  index.refresh();
  const std::size_t pretty =
      padscope::test::files_with_suffix(dir, ".kicad_mod").size();
  std::size_t modules = 0;
  for (const std::string& path :
       padscope::test::files_with_suffix(dir, ".mod")) {
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
      modules += line.rfind("$MODULE", 0) == 0;
  }
  EXPECT_EQ(index.size(), pretty + modules);
  for (const index_entry* entry : index.entries()) {
    EXPECT_EQ(entry->error, "") << entry->path;
    if (entry->module > 0) continue;  // a library's first module will do
    index_entry whole;
    whole.figures = figures_of(facts_of(*padscope::test::model_of(
        entry->path, padscope::test::read_file(entry->path), entry->module)));
    EXPECT_EQ(figures_text(*entry), figures_text(whole))
        << entry->path << " " << entry->module;
  }

  const fs::path cache =
      fs::temp_directory_path() /
      ("padscope-figures-" + std::to_string(std::random_device()()) + ".txt");
  ASSERT_TRUE(index.save(cache.string()));
  footprint_index cached(dir);
  ASSERT_TRUE(cached.load(cache.string()));
  fs::remove(cache);
  // The figures come back from the cache as they were read.
  std::map<std::string, std::string> read, kept;
  for (const index_entry* e : index.entries())
    read[e->path + ":" + std::to_string(e->module)] = figures_text(*e);
  for (const index_entry* e : cached.entries())
    kept[e->path + ":" + std::to_string(e->module)] = figures_text(*e);
  EXPECT_EQ(kept, read);
  EXPECT_EQ(cached.search("pads:48 pitch:0.5 size:7x7").front()->name,
            "LQFP-48_7x7mm_P0.5mm");
}

}  // namespace
