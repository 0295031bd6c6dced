#include "support/test_data.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace padscope::test {

std::string shared_testdata_dir() {
  std::error_code error;
  const fs::path dir(PADSCOPE_TESTDATA_DIR);
  return fs::is_directory(dir, error) ? dir.string() : std::string();
}

std::string local_testdata_dir() {
  return PADSCOPE_TEST_LOCAL_DATA_DIR;
}

std::string local(const std::string& name) {
  return local_testdata_dir() + "/" + name;
}

std::string real_file(const std::string& relative) {
  const fs::path committed = fs::path(local_testdata_dir()) / "real" / relative;
  std::error_code error;
  if (fs::is_regular_file(committed, error)) return committed.string();
  return (fs::path(PADSCOPE_TESTDATA_DIR) / relative).string();
}

bool has_real_file(const std::string& relative) {
  std::error_code error;
  return fs::is_regular_file(real_file(relative), error);
}

std::string real_files_dir() {
  const std::string shared = shared_testdata_dir();
  return shared.empty() ? local_testdata_dir() + "/real" : shared;
}

std::string kicad_library_dir() {
  const char* chosen = std::getenv("PADSCOPE_KICAD_FOOTPRINTS");
  const fs::path dir(chosen && *chosen ? chosen
                                       : "/usr/share/kicad/footprints");
  std::error_code error;
  return fs::is_directory(dir, error) ? dir.string() : std::string();
}

std::vector<std::string> files_with_suffix(const std::string& dir,
                                           const std::string& suffix) {
  std::vector<std::string> files;
  std::error_code error;
  if (!fs::is_directory(dir, error)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file() && name.size() >= suffix.size() &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
      files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

long peak_kib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool write_file(const std::string& path, const std::string& bytes) {
  std::error_code error;
  fs::create_directories(fs::path(path).parent_path(), error);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  return bool(out.write(bytes.data(), bytes.size()));
}

}  // namespace padscope::test
