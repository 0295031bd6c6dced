// Starts Padscope: loads lib_padscope next to this executable (or from
// ../lib/padscope for an installed layout) and runs its EPOINT.
#include <cstdio>
#include <dlfcn.h>
#include <limits.h>
#include <string>
#include <unistd.h>

namespace {

constexpr const char* kModuleName = "lib_padscope.so";

std::string executable_dir(const char* argv0) {
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string path =
      length > 0 ? std::string(buffer, static_cast<size_t>(length)) : argv0;
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = executable_dir(argv[0]);
  const std::string beside = dir + "/" + kModuleName;
  const std::string installed = dir + "/../lib/padscope/" + kModuleName;

  void* module = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
  std::string tried = beside;
  if (!module && access(beside.c_str(), F_OK) != 0 &&
      access(installed.c_str(), F_OK) == 0) {
    module = dlopen(installed.c_str(), RTLD_NOW | RTLD_LOCAL);
    tried = installed;
  }
  if (!module) {
    const char* reason = dlerror();
    std::fprintf(stderr, "padscope: cannot load module %s: %s\n", tried.c_str(),
                 reason ? reason : "unknown error");
    return 127;
  }

  using EntryPoint = int (*)(int, char**);
  dlerror();
  auto entry = reinterpret_cast<EntryPoint>(dlsym(module, "EPOINT"));
  if (!entry) {
    const char* reason = dlerror();
    std::fprintf(stderr, "padscope: module %s has no EPOINT: %s\n",
                 tried.c_str(), reason ? reason : "symbol is null");
    dlclose(module);
    return 127;
  }
  const int result = entry(argc, argv);
  // The module stays loaded: Qt may still run exit-time code from it.
  return result;
}
