#pragma once

#include "support/test_data.h"
#include "zcore/stream_model_adapter.h"

#include <string>
#include <vector>

namespace padscope::bench {

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

// A file's path and its bytes.
struct LoadedFile {
  std::string path;
  std::string bytes;
};

// Every `.kicad_mod` of Debian's kicad-footprints, read once; none when the
// library is absent.
inline const std::vector<LoadedFile>& library_files() {
  static const std::vector<LoadedFile> files = [] {
    std::vector<LoadedFile> all;
    const std::string dir = padscope::test::kicad_library_dir();
    if (dir.empty()) return all;
    for (const std::string& path :
         padscope::test::files_with_suffix(dir, ".kicad_mod"))
      all.push_back({path, padscope::test::read_file(path)});
    return all;
  }();
  return files;
}

inline const char* library_missing() {
  return "no KiCad footprint library at /usr/share/kicad/footprints "
         "(Debian's kicad-footprints) or in PADSCOPE_KICAD_FOOTPRINTS";
}

}  // namespace padscope::bench
