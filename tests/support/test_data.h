#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace padscope::test {

// The shared folder of real footprints (kicad5/, kicad6/, legacy/), or the
// empty string when this checkout has none.
std::string shared_testdata_dir();

// Footprints committed with the tests, with their attribution beside them.
std::string local_testdata_dir();
// The file `name` of those, such as "Battery_CR1225.kicad_mod".
std::string local(const std::string& name);

// A real footprint by its place in the shared test data, such as
// "kicad6/DIP-8_W7.62mm.kicad_mod": the copy committed in tests/data/real/
// when there is one, so that a clone without the shared data still reads
// it, else the shared file.
std::string real_file(const std::string& relative);
// Whether real_file(relative) is there: a clone without the shared data has
// only the committed few.
bool has_real_file(const std::string& relative);

// The folder of real footprints to sweep: the shared test data, else the
// few committed in tests/data/real/.
std::string real_files_dir();

// Debian's kicad-footprints library (PADSCOPE_KICAD_FOOTPRINTS in the
// environment names another folder), or the empty string when absent.
std::string kicad_library_dir();

// Files below `dir` (recursively) whose names end in `suffix`, sorted.
std::vector<std::string> files_with_suffix(const std::string& dir,
                                           const std::string& suffix);

// The peak resident size of this process so far, in KiB.
long peak_kib();

std::string read_file(const std::string& path);
// Writes `bytes` to `path`, making the folders on its way.
bool write_file(const std::string& path, const std::string& bytes);

}  // namespace padscope::test

// Skips the current test, visibly, when the shared test data is absent.
#define PADSCOPE_REQUIRE_SHARED_TESTDATA()                                 \
  do {                                                                     \
    if (::padscope::test::shared_testdata_dir().empty())                   \
      GTEST_SKIP() << "shared test data not found (set "                   \
                      "PADSCOPE_TESTDATA_DIR); skipping real-file checks"; \
  } while (false)
