#include "zcore/legacy_model.h"

#include "zcore/model_exception.h"
#include "zcore/sexpr_reader.h"

#include <algorithm>
#include <ios>
#include <iterator>
#include <stdexcept>
#include <string_view>

namespace zcore {

namespace {

// Line input over a std::istream for the legacy reader.
class StreamAdapter : public StreamModelAdapterBase {
public:
  explicit StreamAdapter(std::istream& stream) : stream(stream) {}

  bool getline(std::string& line) override {
    if (stream.eof()) return false;
    std::getline(stream, line, stream.widen('\n'));
    if (stream.good() || stream.eof()) return true;
    throw read_failure("Failed to read stream.");
  }
  int get() override { throw std::runtime_error("Do not need"); }
  bool good() override { return stream.good(); }

private:
  std::istream& stream;
};

// The tokenizer's working buffer held 65534 bytes and the terminating NUL.
constexpr std::size_t kMaxFieldSize = 65534;

void check_size(std::size_t size) {
  if (size > kMaxFieldSize) throw ModelException("Buffer is too small");
}

bool ends_plain_field(char c) {
  return is_blank(c) || c == '\0' || c == '#' || c == '"' || c == '\\';
}

const char* const kUnclosedQuote =
    "Unexpected symbol. Closing quota is not found.";

// KiCad reads the name after `$MODULE` (and `$EndMODULE`) to the end of the
// line, quotes and backslashes included, and so does this reader. False for
// any other line.
bool read_module_line(const std::string& line,
                      std::vector<std::string>& values) {
  std::size_t begin = 0;
  while (begin < line.size() && is_blank(line[begin])) ++begin;
  if (begin == line.size() || line[begin] != '$') return false;
  const std::string_view rest = std::string_view(line).substr(begin);
  for (const std::string_view tag : {"$MODULE", "$EndMODULE"}) {
    if (rest.substr(0, tag.size()) != tag ||
        (rest.size() > tag.size() && !is_blank(rest[tag.size()])))
      continue;
    std::size_t from = tag.size(), to = rest.size();
    while (from < to && is_blank(rest[from])) ++from;
    while (to > from && is_blank(rest[to - 1])) --to;
    // The tokenizer ends a line at a NUL byte; such a line is left to it.
    if (rest.find('\0') != rest.npos) return false;
    check_size(to - from);
    values.emplace_back(tag);
    if (from < to) values.emplace_back(rest.substr(from, to - from));
    return true;
  }
  return false;
}

}  // namespace

void LegacyStringModel::load(StreamModelAdapterBase& in) {
  std::string line;
  std::vector<std::string> values;
  for (;;) {
    try {
      if (!in.getline(line)) return;
    } catch (const read_failure& failure) {
      throw failure.placed({lines_read + 1, 0, ""});
    }
    ++lines_read;
    values.clear();
    try {
      if (!read_module_line(line, values)) tokenize_line(line.c_str(), values);
    } catch (const ModelException& error) {
      records_.push_back(failed_line(error.message()));
      note_line();
      continue;
    }
    // An exact copy: the scratch list's capacity would stay in every record.
    if (values.empty()) continue;
    records_.emplace_back(std::make_move_iterator(values.begin()),
                          std::make_move_iterator(values.end()));
    note_line();
  }
}

void LegacyStringModel::note_line() {
  // Records given rather than read have no line.
  lines_.resize(records_.size() - 1);
  lines_.push_back(lines_read);
}

void LegacyStringModel::load(std::istream& in) {
  StreamAdapter adapter(in);
  load(adapter);
}

std::vector<legacy_module> LegacyStringModel::modules() const {
  std::vector<legacy_module> result;
  bool open = false;
  for (std::size_t i = 0; i < records_.size(); ++i) {
    const std::string& tag = records_[i][0];
    if (tag == "$MODULE") {
      if (open) result.back().last = i - 1;
      result.push_back({records_[i].size() > 1 ? records_[i][1] : "", i, i});
      open = true;
    } else if (tag == "$EndMODULE" && open) {
      result.back().last = i;
      open = false;
    }
  }
  if (open) result.back().last = records_.size() - 1;
  if (result.empty() && !records_.empty())
    result.push_back({"", 0, records_.size() - 1});
  return result;
}

std::vector<record> LegacyStringModel::module_records(
    const legacy_module& module) const {
  if (module.first > module.last || module.last >= records_.size()) return {};
  return {records_.begin() + module.first, records_.begin() + module.last + 1};
}

std::shared_ptr<LegacyStringModel> LegacyStringModel::module_model(
    const legacy_module& module) const {
  auto part = std::make_shared<LegacyStringModel>(
      name(), module_records(module), millimetres_per_unit());
  if (module.first <= module.last && module.last < lines_.size())
    part->lines_.assign(lines_.begin() + module.first,
                        lines_.begin() + module.last + 1);
  return part;
}

source_position LegacyStringModel::position_of(std::size_t index) const {
  source_position where;
  if (index < lines_.size()) where.line = lines_[index];
  for (std::size_t i = std::min(index + 1, records_.size()); i-- > 0;) {
    if (records_[i].empty() || records_[i][0] != "$MODULE") continue;
    if (records_[i].size() > 1) where.module = records_[i][1];
    break;
  }
  return where;
}

double LegacyStringModel::millimetres_per_unit() const {
  if (unit_ > 0) return unit_;
  for (const record& fields : records_) {
    if (fields[0] == "$MODULE") break;
    if (fields[0] == "Units" && fields.size() > 1 && fields[1] == "mm")
      return 1.0;
  }
  return 0.00254;
}

void tokenize_line(const char* line, std::vector<std::string>& values) {
  const char* p = line;
  for (;;) {
    while (is_blank(*p)) ++p;
    if (*p == '\0' || *p == '#') return;
    if (*p == '\\') throw ModelException("Unexpected symbol");
    if (*p != '"') {
      const char* const start = p;
      while (!ends_plain_field(*p)) ++p;
      check_size(static_cast<std::size_t>(p - start));
      if (*p == '\\') throw ModelException("Bad symbol");
      values.emplace_back(start, p);
      // A quote right after a plain field starts the next field.
      if (*p != '"') continue;
    }
    std::string value;
    for (++p;;) {
      const char* const start = p;
      while (*p != '"' && *p != '\\' && *p != '\0') ++p;
      // A `#` inside quotes is text: real libraries name nets "LCAS#2_1".
      check_size(value.size() + static_cast<std::size_t>(p - start));
      value.append(start, p);
      if (*p == '\0') throw ModelException(kUnclosedQuote);
      if (*p == '"') break;
      ++p;
      if (*p != '"' && *p != '\\')
        throw ModelException("Unexpected control symbol.");
      check_size(value.size() + 1);
      value.push_back(*p++);
    }
    values.push_back(std::move(value));
    ++p;
  }
}

record failed_line(const std::string& message) {
  return {std::string(1, '\0'), message};
}

bool is_failed_line(const record& r) {
  return r.size() == 2 && r[0].size() == 1 && r[0][0] == '\0';
}

const std::string& field(const record& r, std::size_t i) {
  if (i >= r.size()) throw ModelException("Not enough parameters");
  return r[i];
}

bool is_line_tag(const std::string& tag) {
  return tag == "DS";
}

bool is_circle_tag(const std::string& tag) {
  return tag == "DC";
}

bool is_arc_tag(const std::string& tag) {
  return tag == "DA";
}

bool is_poly_tag(const std::string& tag) {
  return tag == "DP";
}

bool is_corner_tag(const std::string& tag) {
  return tag == "Dl";
}

bool is_pad_tag(const std::string& tag) {
  return tag == "$PAD";
}

bool is_text_tag(const std::string& tag) {
  if (tag.size() < 2 || tag[0] != 'T') return false;
  for (std::size_t i = 1; i < tag.size(); ++i) {
    if (tag[i] < '0' || tag[i] > '9') return false;
  }
  return true;
}

}  // namespace zcore
