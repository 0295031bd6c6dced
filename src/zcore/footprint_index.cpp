#include "zcore/footprint_index.h"

#include "zcore/footprint_facts.h"
#include "zcore/footprint_format.h"
#include "zcore/memory_adapter.h"
#include "zcore/model_exception.h"
#include "zcore/regular_file.h"

#include <algorithm>
#include <charconv>
#include <exception>
#include <filesystem>
#include <iterator>
#include <limits>
#include <memory>
#include <set>
#include <sstream>
#include <string_view>
#include <system_error>

namespace fs = std::filesystem;

namespace zcore {

namespace {

constexpr std::int64_t kNoStamp = std::numeric_limits<std::int64_t>::min();
// Version 2 added the figures; a cache of another version is read anew.
constexpr const char* kCacheHeader = "padscope-footprint-index\t2";
constexpr std::size_t kEntryFields = 18;
// The canvas's bound: no footprint comes near it.
constexpr std::size_t kMaxFileSize = std::size_t(256) << 20;
constexpr const char* kTooLarge = "File too large (more than 256 MiB)";
// A cache this index wrote stays far below these: 64 MiB holds some 300,000
// footprints, and a line holds one footprint's fields.
constexpr std::size_t kMaxCacheSize = std::size_t(64) << 20;
constexpr std::size_t kMaxCacheLine = std::size_t(1) << 20;

bool is_footprint_file(const std::string& name) {
  return format_for_name(name) != nullptr;
}

bool is_hidden(const fs::path& path) {
  const std::string name = path.filename().string();
  return !name.empty() && name[0] == '.';
}

std::int64_t time_stamp(const fs::path& path) {
  std::error_code error;
  const auto time = fs::last_write_time(path, error);
  return error ? kNoStamp
               : static_cast<std::int64_t>(time.time_since_epoch().count());
}

// The bytes of a regular file (after links) of at most kMaxFileSize.
std::string read_bounded(const std::string& path) {
  std::string bytes;
  switch (read_regular_file(path, kMaxFileSize, true, bytes)) {
    case read_outcome::ok:
      return bytes;
    case read_outcome::not_regular:
      throw ModelException("Not a regular file");
    case read_outcome::too_large:
      throw ModelException(kTooLarge);
    default:
      throw ModelException("Cannot read the file");
  }
}

index_entry unread_entry(const fs::path& file, const std::string& library) {
  index_entry entry;
  entry.path = file.string();
  entry.library = library;
  entry.name = file.stem().string();
  return entry;
}

// The entry of one footprint of `model`, read from `file`.
index_entry entry_of(const footprint_format& format, const BaseModel& model,
                     const index_entry& file, std::size_t module,
                     bool figures) {
  index_entry entry = file;
  entry.module = module;
  const std::string name = format.footprint_name(model);
  if (!name.empty()) entry.name = name;
  entry.description = format.description(model);
  entry.tags = format.tags(model);
  if (figures) entry.figures = figures_of(summary_facts_of(model));
  return entry;
}

// The entries of a file's bytes: one per footprint it holds.
std::vector<index_entry> read_entries(const footprint_format& format,
                                      const std::string& bytes,
                                      const index_entry& file, bool figures) {
  std::shared_ptr<BaseModel> model = format.make_model();
  MemoryAdapter in(bytes);
  model->load(in);
  const std::string problem = format.footprint_problem(*model);
  if (!problem.empty()) throw ModelException(problem);
  const std::optional<footprint_library> library = format.library_of(model);
  if (!library) return {entry_of(format, *model, file, 0, figures)};
  std::vector<index_entry> result;
  for (std::size_t i = 0; i < library->names.size(); ++i)
    result.push_back(entry_of(format, *library->model(i), file, i, figures));
  return result;
}

// Cache fields are tab separated; these escapes keep tabs and line ends of
// the values from breaking the lines.
std::string escape(const std::string& value) {
  std::string result;
  result.reserve(value.size());
  for (char c : value) {
    switch (c) {
      case '\\':
        result += "\\\\";
        break;
      case '\t':
        result += "\\t";
        break;
      case '\n':
        result += "\\n";
        break;
      case '\r':
        result += "\\r";
        break;
      default:
        result += c;
    }
  }
  return result;
}

// The fields of one cache line; false for a stray backslash.
bool split_fields(std::string_view line, std::vector<std::string>& fields) {
  fields.assign(1, std::string());
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '\t') {
      fields.emplace_back();
    } else if (c != '\\') {
      fields.back() += c;
    } else if (++i == line.size()) {
      return false;
    } else {
      const char e = line[i];
      if (e == 't')
        fields.back() += '\t';
      else if (e == 'n')
        fields.back() += '\n';
      else if (e == 'r')
        fields.back() += '\r';
      else if (e == '\\')
        fields.back() += '\\';
      else
        return false;
    }
  }
  return true;
}

// The lines of a cache in memory; one longer than kMaxCacheLine ends them,
// and the cache is then damaged.
class cache_lines {
public:
  explicit cache_lines(std::string_view bytes) : rest(bytes) {}
  bool next(std::string_view& line) {
    if (rest.empty() || too_long) return false;
    const std::size_t end = std::min(rest.find('\n'), rest.size());
    if (end > kMaxCacheLine) {
      too_long = true;
      return false;
    }
    line = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    return true;
  }
  // Whether every line was read and none was too long.
  bool complete() const { return rest.empty() && !too_long; }

private:
  std::string_view rest;
  bool too_long = false;
};

bool to_int64(const std::string& text, std::int64_t& value) {
  std::istringstream in(text);
  in >> value;
  return !in.fail() && in.eof();
}

// Shortest text that reads back as the same number.
std::string number_text(double value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

bool to_double(const std::string& text, double& value) {
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  return result.ec == std::errc() && result.ptr == end;
}

bool to_count(const std::string& text, std::size_t& value) {
  std::int64_t number = 0;
  if (!to_int64(text, number) || number < 0) return false;
  value = static_cast<std::size_t>(number);
  return true;
}

// Nine fields: counts, kind, pitch, courtyard and body; all empty for no
// figures and the optional ones empty where absent.
void write_figures(std::ostream& out,
                   const std::optional<footprint_figures>& figures) {
  if (!figures) {
    out << std::string(8, '\t');
    return;
  }
  const auto optional = [](const std::optional<double>& value) {
    return value ? number_text(*value) : std::string();
  };
  const auto size = [](const std::optional<dimensions>& d) {
    return d ? number_text(d->width) + '\t' + number_text(d->height)
             : std::string("\t");
  };
  out << figures->pads << '\t' << figures->smd_pads << '\t'
      << figures->through_hole_pads << '\t' << static_cast<int>(figures->kind)
      << '\t' << optional(figures->pitch) << '\t' << size(figures->courtyard)
      << '\t' << size(figures->body);
}

// The figures from the nine fields at `first`; false for damaged ones.
bool read_figures(const std::vector<std::string>& fields, std::size_t first,
                  std::optional<footprint_figures>& figures) {
  const auto* f = &fields[first];
  if (std::all_of(f, f + 9, [](const std::string& s) { return s.empty(); }))
    return true;
  footprint_figures read;
  std::int64_t kind = 0;
  if (!to_count(f[0], read.pads) || !to_count(f[1], read.smd_pads) ||
      !to_count(f[2], read.through_hole_pads) || !to_int64(f[3], kind) ||
      kind < 0 || kind > static_cast<int>(footprint_kind::unspecified))
    return false;
  read.kind = static_cast<footprint_kind>(kind);
  const auto optional = [](const std::string& text,
                           std::optional<double>& value) {
    if (text.empty()) return true;
    double number = 0;
    if (!to_double(text, number)) return false;
    value = number;
    return true;
  };
  const auto size = [&](const std::string& w, const std::string& h,
                        std::optional<dimensions>& d) {
    std::optional<double> width, height;
    if (!optional(w, width) || !optional(h, height) ||
        width.has_value() != height.has_value())
      return false;
    if (width) d = dimensions{*width, *height};
    return true;
  };
  if (!optional(f[4], read.pitch) || !size(f[5], f[6], read.courtyard) ||
      !size(f[7], f[8], read.body))
    return false;
  figures = read;
  return true;
}

}  // namespace

std::string library_name(const index_entry& entry) {
  return fs::path(entry.library).stem().string();
}

footprint_figures figures_of(const footprint_facts& facts) {
  footprint_figures figures;
  figures.pads = facts.distinct_numbers;
  const auto count = [&](const char* type) -> std::size_t {
    const auto found = facts.pads_by_type.find(type);
    return found == facts.pads_by_type.end() ? 0 : found->second;
  };
  figures.smd_pads = count("smd");
  figures.through_hole_pads = count("thru_hole");
  figures.kind = facts.kind;
  figures.pitch = facts.pitch;
  figures.courtyard = facts.courtyard;
  figures.body = facts.fab;
  return figures;
}

std::vector<index_entry> read_footprint_file(const std::string& path,
                                             const std::string& library,
                                             bool figures) {
  index_entry entry = unread_entry(path, library);
  entry.indexed = true;
  try {
    const std::string bytes = read_bounded(path);
    const footprint_format* format = format_for_name(path);
    if (!format) throw ModelException("Not a footprint file");
    return read_entries(*format, bytes, entry, figures);
  } catch (const std::exception& error) {
    entry.error = error.what();
    if (entry.error.empty()) entry.error = "Unknown error";
  }
  return {std::move(entry)};
}

footprint_index::footprint_index(std::string root, bool figures)
    : root_(std::move(root)), figures_(figures) {
}

void footprint_index::fold(folder& f) {
  f.texts.clear();
  f.texts.reserve(f.entries.size());
  for (const index_entry& entry : f.entries) f.texts.push_back(text_of(entry));
}

std::size_t footprint_index::scan() {
  std::set<std::string> seen;
  std::vector<fs::path> todo{fs::path(root_)};
  std::error_code error;
  if (!fs::is_directory(todo.back(), error)) todo.clear();
  while (!todo.empty()) {
    const fs::path dir = std::move(todo.back());
    todo.pop_back();
    const std::string key = dir.string();
    seen.insert(key);
    const std::int64_t stamp = time_stamp(dir);
    auto known = folders.find(key);
    const bool unchanged = known != folders.end() && stamp != kNoStamp &&
                           known->second.stamp == stamp;
    std::vector<fs::path> files;
    for (fs::directory_iterator it(dir, error), end; !error && it != end;
         it.increment(error)) {
      const fs::path& path = it->path();
      if (is_hidden(path)) continue;
      std::error_code type_error;
      if (it->is_directory(type_error) && !it->is_symlink(type_error)) {
        todo.push_back(path);
      } else if (!unchanged && is_footprint_file(path.filename().string()) &&
                 it->is_regular_file(type_error)) {
        files.push_back(path);
      }
    }
    error.clear();
    if (unchanged) continue;
    std::sort(files.begin(), files.end());
    folder fresh;
    fresh.stamp = stamp;
    for (const fs::path& file : files) {
      const bool library_file = format_for_name(file.string())->library_file;
      fresh.entries.push_back(
          unread_entry(file, library_file ? file.string() : key));
    }
    fold(fresh);
    folders[key] = std::move(fresh);
  }
  for (auto it = folders.begin(); it != folders.end();) {
    it = seen.count(it->first) ? std::next(it) : folders.erase(it);
  }
  return pending();
}

void footprint_index::read_pending(const progress_fn& progress) {
  const std::size_t total = pending();
  std::size_t done = 0;
  bool go_on = true;
  for (auto& [key, f] : folders) {
    if (std::all_of(f.entries.begin(), f.entries.end(),
                    [](const index_entry& entry) { return entry.indexed; }))
      continue;
    std::vector<index_entry> entries;
    entries.reserve(f.entries.size());
    for (index_entry& entry : f.entries) {
      if (entry.indexed || !go_on) {
        entries.push_back(std::move(entry));
        continue;
      }
      std::vector<index_entry> read =
          read_footprint_file(entry.path, entry.library, figures_);
      std::move(read.begin(), read.end(), std::back_inserter(entries));
      ++done;
      if (progress && !progress(done, total, entry.path)) go_on = false;
    }
    f.entries = std::move(entries);
    fold(f);
    if (!go_on) break;
  }
}

std::size_t footprint_index::size() const {
  std::size_t count = 0;
  for (const auto& [key, f] : folders) count += f.entries.size();
  return count;
}

std::size_t footprint_index::pending() const {
  std::size_t count = 0;
  for (const auto& [key, f] : folders) {
    count +=
        std::count_if(f.entries.begin(), f.entries.end(),
                      [](const index_entry& entry) { return !entry.indexed; });
  }
  return count;
}

std::vector<const index_entry*> footprint_index::entries() const {
  std::vector<const index_entry*> result;
  result.reserve(size());
  for (const auto& [key, f] : folders) {
    for (const index_entry& entry : f.entries) result.push_back(&entry);
  }
  return result;
}

std::vector<search_hit> footprint_index::search(
    const footprint_query& query, const std::function<bool()>& stop) const {
  std::vector<search_hit> hits;
  for (const auto& [key, f] : folders) {
    if (!collect_hits(query, f.entries, f.texts, hits, stop)) return {};
  }
  // Every entry meets no term alike: they stay by library and name.
  if (!query.empty()) rank_hits(hits);
  return hits;
}

std::vector<const index_entry*> footprint_index::search(
    const std::string& query) const {
  std::vector<const index_entry*> result;
  for (const search_hit& hit : search(footprint_query(query)))
    result.push_back(hit.entry);
  return result;
}

bool footprint_index::save(const std::string& cache_file) const {
  const fs::path target(cache_file);
  std::error_code error;
  if (target.has_parent_path())
    fs::create_directories(target.parent_path(), error);
  std::ostringstream out;
  out << kCacheHeader << '\n' << "root\t" << escape(root_) << '\n';
  for (const auto& [key, f] : folders) {
    out << "F\t" << escape(key) << '\t' << f.stamp << '\t' << f.entries.size()
        << '\n';
    for (const index_entry& e : f.entries) {
      out << "E\t" << escape(e.path) << '\t' << escape(e.library) << '\t'
          << e.module << '\t' << escape(e.name) << '\t' << escape(e.description)
          << '\t' << escape(e.tags) << '\t' << escape(e.error) << '\t'
          << (e.indexed ? 1 : 0) << '\t';
      write_figures(out, e.figures);
      out << '\n';
    }
  }
  return replace_file(cache_file, out.str());
}

bool footprint_index::load(const std::string& cache_file) {
  std::string bytes;
  if (read_regular_file(cache_file, kMaxCacheSize, false, bytes) !=
      read_outcome::ok)
    return false;
  cache_lines in(bytes);
  std::string_view line;
  std::vector<std::string> fields;
  if (!in.next(line) || line != kCacheHeader) return false;
  if (!in.next(line) || !split_fields(line, fields) || fields.size() != 2 ||
      fields[0] != "root" || fields[1] != root_)
    return false;
  std::map<std::string, folder> read;
  while (in.next(line)) {
    std::int64_t stamp = 0;
    std::int64_t count = 0;
    if (!split_fields(line, fields) || fields.size() != 4 || fields[0] != "F" ||
        !to_int64(fields[2], stamp) || !to_int64(fields[3], count) || count < 0)
      return false;
    folder& f = read[fields[1]];
    f.stamp = stamp;
    for (std::int64_t i = 0; i < count; ++i) {
      std::int64_t module = 0;
      if (!in.next(line) || !split_fields(line, fields) ||
          fields.size() != kEntryFields || fields[0] != "E" ||
          !to_int64(fields[3], module) || module < 0)
        return false;
      index_entry entry{
          fields[1], fields[2],        static_cast<std::size_t>(module),
          fields[4], fields[5],        fields[6],
          fields[7], fields[8] == "1", {}};
      if (!read_figures(fields, 9, entry.figures)) return false;
      f.entries.push_back(std::move(entry));
    }
    fold(f);
  }
  if (!in.complete()) return false;
  folders = std::move(read);
  return true;
}

}  // namespace zcore
