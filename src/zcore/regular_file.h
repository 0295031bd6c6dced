#pragma once

#include <cstddef>
#include <string>

namespace zcore {

enum class read_outcome { ok, cannot_open, not_regular, too_large, failed };

// Reads the regular file `path` of at most `limit` bytes into `bytes`. It
// is opened without blocking (a FIFO or a device fails at once as not
// regular) and, unless `follow_link`, never through a link at its name;
// the bound holds while reading too, for a file that grows.
read_outcome read_regular_file(const std::string& path, std::size_t limit,
                               bool follow_link, std::string& bytes);

// Writes `bytes` to a new file of a fresh name beside `path`, created
// exclusively, and renames it to `path` once complete: nothing is written
// through a link, and a reader sees the old file or the new, never half.
// False, with nothing left behind, when it could not be written.
bool replace_file(const std::string& path, const std::string& bytes);

}  // namespace zcore
