#pragma once

#include "zcore/model_exception.h"
#include "zcore/models.h"
#include "zcore/stream_model_adapter.h"

#include <cstddef>
#include <istream>
#include <memory>
#include <string>
#include <vector>

namespace zcore {

// The field values of one non-empty line; field 0 is the tag.
using record = std::vector<std::string>;

// One `$MODULE name` ... `$EndMODULE` block of a library, as the indices
// of its first and last record (both inclusive).
struct legacy_module {
  std::string name;
  std::size_t first = 0;
  std::size_t last = 0;
};

// A legacy `.mod` file as a list of records, in file order.
class LegacyStringModel : public BaseModel {
public:
  explicit LegacyStringModel(std::string name) : BaseModel(std::move(name)) {}
  // A model holding the given records, e.g. those of one module.
  LegacyStringModel(std::string name, std::vector<record> records)
      : BaseModel(std::move(name)), records_(std::move(records)) {}
  // The records of one module of a library whose header, not held here,
  // gave the unit.
  LegacyStringModel(std::string name, std::vector<record> records,
                    double millimetres_per_unit)
      : BaseModel(std::move(name)),
        records_(std::move(records)),
        unit_(millimetres_per_unit) {}

  // Both append to the records; on an exception the records read before
  // it stay. A line the tokenizer rejects becomes a failed-line record, so
  // that it fails the module holding it, not the whole library. Each record
  // remembers its line, counted from the first load.
  void load(StreamModelAdapterBase& in) override;
  void load(std::istream& in) override;

  const std::vector<record>& records() const { return records_; }

  // The modules in file order. A module lacking its `$EndMODULE` ends
  // before the next `$MODULE` or at the last record. Records without any
  // `$MODULE` count as one module with an empty name; no records, none.
  std::vector<legacy_module> modules() const;
  // A copy of the records of `module`.
  std::vector<record> module_records(const legacy_module& module) const;
  // A model of `module` alone, with the records' lines and the unit of
  // this model.
  std::shared_ptr<LegacyStringModel> module_model(
      const legacy_module& module) const;
  // Where record `index` stands: its line, when read from a file, and the
  // module holding it.
  source_position position_of(std::size_t index) const;
  // Millimetres per length unit: a `Units mm` line before the first module
  // makes lengths millimetres; without it they are tenths of a mil.
  double millimetres_per_unit() const;

private:
  // Gives the record just appended the line just read.
  void note_line();

  std::vector<record> records_;
  // The line of each record; none for records given, not read.
  std::vector<std::size_t> lines_;
  std::size_t lines_read = 0;
  // Set for a module split off its library; otherwise read from the records.
  double unit_ = 0;
};

// Appends the field values of one line to `values`. Throws ModelException
// for a misplaced backslash, an unclosed quote or a field longer than
// 65534 bytes.
void tokenize_line(const char* line, std::vector<std::string>& values);

// The record of a line that could not be read: a tag no line yields (a
// NUL byte) and the tokenizer's message.
record failed_line(const std::string& message);
bool is_failed_line(const record& r);

// Field i of `r`; ModelException "Not enough parameters" when it has none.
const std::string& field(const record& r, std::size_t i);

bool is_line_tag(const std::string& tag);
bool is_circle_tag(const std::string& tag);
bool is_arc_tag(const std::string& tag);
bool is_poly_tag(const std::string& tag);
bool is_corner_tag(const std::string& tag);
// `$PAD`, where a pad's block begins.
bool is_pad_tag(const std::string& tag);
// T0 (reference), T1 (value) and the user texts T2, T3, ...
bool is_text_tag(const std::string& tag);

}  // namespace zcore
