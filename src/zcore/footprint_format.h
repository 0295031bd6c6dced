#pragma once

#include "zcore/models.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zcore {

// A file of several footprints, shown one at a time.
struct footprint_library {
  std::vector<std::string> names;
  // A model of footprint `index` alone, of the format that read the file.
  std::function<std::shared_ptr<BaseModel>(std::size_t index)> model;
};

// Everything about one footprint file format that needs no drawing: how its
// files are named and begin, the model that reads it, and what a read model
// holds.
struct footprint_format {
  // File names of the format; `*`, `?` and `[...]` are wildcards.
  const char* pattern;
  // The name by which the canvas, the factory and the models know it.
  const char* parser;
  // Whether a file of the format is a library of footprints; otherwise the
  // folder holding the files is.
  bool library_file;
  // A new, empty model, named `parser`, that reads the format.
  std::shared_ptr<BaseModel> (*make_model)();
  // Whether `model` is of this format's kind.
  bool (*holds)(const BaseModel& model);
  // The footprints of a read file that holds several; none for one.
  std::optional<footprint_library> (*library_of)(
      const std::shared_ptr<BaseModel>& read);
  // The footprint's name, description and tags as the file gives them.
  std::string (*footprint_name)(const BaseModel& model);
  std::string (*description)(const BaseModel& model);
  std::string (*tags)(const BaseModel& model);
  // Why the model holds no footprint; empty when it holds one.
  std::string (*footprint_problem)(const BaseModel& model);
  // Whether a file's first bytes, from its first visible character on,
  // open a file of the format.
  bool (*opens)(std::string_view head);
  // Millimetres per length unit of a model read from a whole file.
  double (*millimetres_per_unit)(const BaseModel& model);
};

// The formats, in the order file names are matched against them.
const std::vector<footprint_format>& footprint_formats();
// `.kicad_mod` S-expression files and legacy `.mod` libraries.
const footprint_format& pretty_format();
const footprint_format& legacy_format();

// The format of the parser name, compared exactly; null for none.
const footprint_format* format_named(std::string_view parser);
// The format whose pattern matches the whole file name part of `path`
// (after its last `/`) first; null for none.
const footprint_format* format_for_name(std::string_view path);
// The format whose files begin with `first_bytes`: a UTF-8 byte order mark
// and blanks before the first visible character do not count. Null for none.
const footprint_format* format_for_head(std::string_view first_bytes);
// The format that made `model`; null for a model of none.
const footprint_format* model_format(const BaseModel& model);

// Whether the wildcard pattern matches the whole of `text`: `*` any run of
// characters, `?` one character (a UTF-8 sequence counts as one), `[...]`
// one of a set with ranges `a-z`, negated by a leading `!` or `^`. Letter
// case counts.
bool wildcard_match(std::string_view pattern, std::string_view text);

}  // namespace zcore
