#pragma once

#include "support/test_data.h"
#include "zcore/memory_adapter.h"

#include <sys/stat.h>

#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace padscope::bench {

using zcore::MemoryAdapter;

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

// The bytes of the file at `path`: its size asked once, then one read.
inline std::string file_bytes(const std::string& path) {
  std::string bytes;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return bytes;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && info.st_size > 0) {
    bytes.resize(static_cast<std::size_t>(info.st_size));
    const ssize_t got = ::read(fd, bytes.data(), bytes.size());
    bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  }
  ::close(fd);
  return bytes;
}

inline const char* library_missing() {
  return "no KiCad footprint library at /usr/share/kicad/footprints "
         "(Debian's kicad-footprints) or in PADSCOPE_KICAD_FOOTPRINTS";
}

}  // namespace padscope::bench
