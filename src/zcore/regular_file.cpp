#include "zcore/regular_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace zcore {

namespace {

// Closes the descriptor when it goes.
class descriptor {
public:
  explicit descriptor(int fd) : fd(fd) {}
  ~descriptor() {
    if (fd >= 0) ::close(fd);
  }
  descriptor(const descriptor&) = delete;
  descriptor& operator=(const descriptor&) = delete;
  int get() const { return fd; }
  // Closes now; false when that failed (a write lost).
  bool close() {
    const int closing = fd;
    fd = -1;
    return ::close(closing) == 0;
  }

private:
  int fd;
};

bool write_all(int fd, const std::string& bytes) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t count =
        ::write(fd, bytes.data() + written, bytes.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    written += static_cast<std::size_t>(count);
  }
  return true;
}

}  // namespace

read_outcome read_regular_file(const std::string& path, std::size_t limit,
                               bool follow_link, std::string& bytes) {
  bytes.clear();
  const int flags =
      O_RDONLY | O_NONBLOCK | O_CLOEXEC | (follow_link ? 0 : O_NOFOLLOW);
  descriptor file(::open(path.c_str(), flags));
  if (file.get() < 0) return read_outcome::cannot_open;
  struct stat info {};
  if (fstat(file.get(), &info) != 0) return read_outcome::failed;
  if (!S_ISREG(info.st_mode)) return read_outcome::not_regular;
  if (static_cast<std::size_t>(info.st_size) > limit)
    return read_outcome::too_large;
  // Straight into the result: one read for a file whose size still holds
  // (and one that finds its end); one byte more tells a file that grew.
  std::size_t want = static_cast<std::size_t>(info.st_size) + 1;
  for (;;) {
    const std::size_t had = bytes.size();
    bytes.resize(had + want);
    const ssize_t count = ::read(file.get(), bytes.data() + had, want);
    bytes.resize(had + static_cast<std::size_t>(std::max<ssize_t>(count, 0)));
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return read_outcome::failed;
    if (bytes.size() > limit) return read_outcome::too_large;
    if (count == 0) return read_outcome::ok;
    // After a short read, which is the end, a small one to find it.
    want = static_cast<std::size_t>(count) == want ? std::size_t(1) << 16 : 512;
  }
}

bool replace_file(const std::string& path, const std::string& bytes) {
  std::string temporary = path + ".part-XXXXXX";
  descriptor file(mkostemp(temporary.data(), O_CLOEXEC));
  if (file.get() < 0) return false;
  const bool written = write_all(file.get(), bytes) && file.close() &&
                       std::rename(temporary.c_str(), path.c_str()) == 0;
  if (!written) ::unlink(temporary.c_str());
  return written;
}

}  // namespace zcore
