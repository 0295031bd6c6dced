#include "support/test_data.h"
#include "zcore/legacy_model.h"
#include "zcore/models.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

using padscope::test::peak_kib;

// Peak resident size of the process after reading one file, beside the
// peak before it; run once per file, since a peak never comes down.
int measure(const std::string& path) {
  const long before = peak_kib();
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot open %s\n", path.c_str());
    return 1;
  }
  std::size_t count = 0;
  if (path.size() > 4 && path.compare(path.size() - 4, 4, ".mod") == 0) {
    zcore::LegacyStringModel model("module_legacy_parser");
    model.load(in);
    count = model.records().size();
  } else {
    zcore::S_Model model("module_parser");
    model.load(in);
    count = model.root() ? model.root()->children.size() : 0;
  }
  std::printf(
      "%s: %zu top-level items; peak RSS %ld KiB before, %ld KiB "
      "after (+%ld KiB)\n",
      path.c_str(), count, before, peak_kib(), peak_kib() - before);
  return 0;
}

}  // namespace

// With no argument, reads the largest .kicad_mod of the shared test data.
int main(int argc, char** argv) {
  if (argc > 1) return measure(argv[1]);
  const std::string root = padscope::test::shared_testdata_dir();
  if (root.empty()) {
    std::printf("shared test data not found; nothing measured\n");
    return 0;
  }
  return measure(root +
                 "/kicad6/Xilinx_FFG1926_FFG1927_FFG1928_FFG1930.kicad_mod");
}
