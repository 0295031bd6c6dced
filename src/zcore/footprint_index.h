#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace zcore {

// One footprint found below the root: a `.kicad_mod` file, or one module of
// a legacy `.mod` library.
struct index_entry {
  std::string path;
  // The folder of a `.kicad_mod` file; the `.mod` file of a module.
  std::string library;
  // The module's position in its legacy library; 0 for a `.kicad_mod`.
  std::size_t module = 0;
  // The name in the file; the file's stem until it is read or when the
  // file names none.
  std::string name;
  std::string description;
  std::string tags;
  // Why the file could not be read; empty when it was.
  std::string error;
  // False while the entry is known by its file name only.
  bool indexed = false;
};

// The library's name as a user knows it: its folder or file name without
// the extension (`Package_QFP.pretty` gives `Package_QFP`).
std::string library_name(const index_entry& entry);

// Every footprint below a root folder, by name, description and tags. A
// folder is read again only when its time stamp changed since the index
// last saw it, so a refresh of an unchanged tree lists folders and reads no
// file. A file that cannot be read stays listed with the reason.
class footprint_index {
public:
  // Called after each file read with the files done and to do; false stops
  // the reading, leaving the rest waiting.
  using progress_fn = std::function<bool(std::size_t done, std::size_t total,
                                         const std::string& path)>;

  explicit footprint_index(std::string root);

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
  // The entries whose name, description or tags a name_pattern of
  // `pattern` matches, in the order of `entries`.
  std::vector<const index_entry*> search(const std::string& pattern) const;

private:
  struct folder {
    // The folder's time stamp when it was listed.
    std::int64_t stamp = 0;
    std::vector<index_entry> entries;
    // Name, description and tags of each entry, folded for the search.
    std::vector<std::string> folded;
  };
  static void fold(folder& f);

  std::string root_;
  std::map<std::string, folder> folders;
};

// The entries of one footprint file, read through the model readers: one
// for a `.kicad_mod`, one per module of a legacy library. A file that
// cannot be read gives one entry holding the reason.
std::vector<index_entry> read_footprint_file(const std::string& path,
                                             const std::string& library);

}  // namespace zcore
