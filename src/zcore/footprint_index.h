#pragma once

#include "zcore/footprint_query.h"
#include "zcore/index_entry.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace zcore {

// Every footprint below a root folder, by name, description, tags and
// figures. A
// folder is read again only when its time stamp changed since the index
// last saw it, so a refresh of an unchanged tree lists folders and reads no
// file. A file that cannot be read stays listed with the reason.
class footprint_index {
public:
  // Called after each file read with the files done and to do; false stops
  // the reading, leaving the rest waiting.
  using progress_fn = std::function<bool(std::size_t done, std::size_t total,
                                         const std::string& path)>;

  // Without `figures`, the files' names, descriptions and tags alone are
  // read.
  explicit footprint_index(std::string root, bool figures = true);

  const std::string& root() const { return root_; }

  // Takes the content of a cache that `save` wrote for the same root. False,
  // and the index unchanged, for a missing, foreign or damaged cache.
  bool load(const std::string& cache_file);
  // Writes through a temporary file and a rename, so a reader never sees
  // half a cache. False when it could not be written.
  bool save(const std::string& cache_file) const;

  // Lists the folders below the root. A new folder, or one whose time stamp
  // changed, gets its footprint files as entries waiting to be read, named
  // after the files; folders that are gone leave the index. Returns the
  // number of files waiting.
  std::size_t scan();
  // Reads the waiting files, folder by folder, through the model readers.
  void read_pending(const progress_fn& progress = nullptr);
  void refresh(const progress_fn& progress = nullptr) {
    scan();
    read_pending(progress);
  }

  std::size_t size() const;
  std::size_t pending() const;
  // Every entry, by folder and then file name.
  std::vector<const index_entry*> entries() const;
  // The entries that meet the query, best first (see rank_hits), or all
  // by folder and file name for an empty query. Empty,
  // once `stop` says so, when it is asked every few hundred entries.
  std::vector<search_hit> search(
      const footprint_query& query,
      const std::function<bool()>& stop = nullptr) const;
  std::vector<const index_entry*> search(const std::string& query) const;

private:
  struct folder {
    // The folder's time stamp when it was listed.
    std::int64_t stamp = 0;
    std::vector<index_entry> entries;
    // Each entry's texts, as the search compares them.
    std::vector<entry_text> texts;
  };
  static void fold(folder& f);

  std::string root_;
  bool figures_;
  std::map<std::string, folder> folders;
};

// The entries of one footprint file, read through the model readers: one
// for a `.kicad_mod`, one per module of a legacy library. A file that
// cannot be read gives one entry holding the reason. With `figures`, the
// entries hold the footprints' figures.
std::vector<index_entry> read_footprint_file(const std::string& path,
                                             const std::string& library,
                                             bool figures = true);

}  // namespace zcore
