#pragma once

#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace padscope::test {

// What a hostile file's `shown` says when the window must show the cover.
extern const char* const kShowsCover;

// A file made to break the viewer, generated on demand (some are 50 MB).
struct HostileFile {
  std::string name;
  std::string file_name;  // its suffix picks the reader
  std::function<std::string()> bytes;
  // kShowsCover, or the kinds of the items drawn in the order the loader
  // adds them, such as "line text".
  std::string shown;
  std::map<std::string, int> not_drawn = {};  // as the scene loader counts
  // Above 0: showing it takes less, where work growing faster than the
  // file took many times as long.
  double seconds = 0;
};

void PrintTo(const HostileFile& file, std::ostream* out);

std::vector<HostileFile> hostile_files();

}  // namespace padscope::test
