#include "zcore/footprint_format.h"

#include "zcore/legacy_model.h"
#include "zcore/nodeview.h"

#include <algorithm>

namespace zcore {

namespace {

// A name fit to be quoted in a message: short, printable ASCII.
bool is_plain_word(const std::string& name) {
  return !name.empty() && name.size() <= 40 &&
         std::all_of(name.begin(), name.end(),
                     [](char c) { return c > ' ' && c < 127; });
}

bool is_space(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string join(const std::vector<std::string>& words, std::size_t from) {
  std::string result;
  for (std::size_t i = from; i < words.size(); ++i) {
    if (!result.empty()) result += ' ';
    result += words[i];
  }
  return result;
}

const basenode* root_of(const BaseModel& model) {
  return static_cast<const S_Model&>(model).root();
}

const LegacyStringModel& legacy_of(const BaseModel& model) {
  return static_cast<const LegacyStringModel&>(model);
}

const record* first_module(const BaseModel& model) {
  for (const record& fields : legacy_of(model).records())
    if (!fields.empty() && fields.front() == "$MODULE") return &fields;
  return nullptr;
}

// The fields after the tag of the first record tagged `tag`, joined.
std::string legacy_rest(const BaseModel& model, const char* tag) {
  for (const record& fields : legacy_of(model).records())
    if (!fields.empty() && fields.front() == tag) return join(fields, 1);
  return std::string();
}

// Whether `head` starts with the list `(word` followed by a separator.
bool opens_list(std::string_view head, std::string_view word) {
  if (head.empty() || head.front() != '(') return false;
  head.remove_prefix(1);
  while (!head.empty() && is_space(head.front())) head.remove_prefix(1);
  if (head.substr(0, word.size()) != word) return false;
  if (head.size() == word.size()) return true;
  const char after = head[word.size()];
  return is_space(after) || after == '(' || after == ')' || after == '"';
}

double in_millimetres(const BaseModel&) {
  return 1.0;
}

std::optional<footprint_library> single(const std::shared_ptr<BaseModel>&) {
  return std::nullopt;
}

std::optional<footprint_library> legacy_library(
    const std::shared_ptr<BaseModel>& read) {
  auto legacy = std::static_pointer_cast<LegacyStringModel>(read);
  std::vector<legacy_module> modules = legacy->modules();
  if (modules.size() < 2) return std::nullopt;
  footprint_library library;
  for (const legacy_module& module : modules)
    library.names.push_back(module.name);
  library.model = [legacy, modules = std::move(modules)](std::size_t index) {
    return legacy->module_model(modules[index]);
  };
  return library;
}

const footprint_format kPretty = {
    "*.kicad_mod",
    "module_parser",
    false,
    []() -> std::shared_ptr<BaseModel> {
      return std::make_shared<S_Model>(kPretty.parser);
    },
    [](const BaseModel& model) {
      return dynamic_cast<const S_Model*>(&model) != nullptr;
    },
    single,
    [](const BaseModel& model) {
      const basenode* root = root_of(model);
      return root ? nodeview(root).first_text() : std::string();
    },
    [](const BaseModel& model) { return nodeview(root_of(model)).descr(); },
    [](const BaseModel& model) {
      return join(nodeview(root_of(model)).tags(), 0);
    },
    [](const BaseModel& model) -> std::string {
      const basenode* root = root_of(model);
      if (root && (root->name == "footprint" || root->name == "module"))
        return "";
      if (root && is_plain_word(root->name))
        return "Not a footprint: the file holds (" + root->name + " ...)";
      return "Not a footprint: no (footprint ...) or (module ...) list";
    },
    [](std::string_view head) {
      return opens_list(head, "footprint") || opens_list(head, "module");
    },
    in_millimetres,
};

const footprint_format kLegacy = {
    "*.mod",
    "module_legacy_parser",
    true,
    []() -> std::shared_ptr<BaseModel> {
      return std::make_shared<LegacyStringModel>(kLegacy.parser);
    },
    [](const BaseModel& model) {
      return dynamic_cast<const LegacyStringModel*>(&model) != nullptr;
    },
    legacy_library,
    [](const BaseModel& model) {
      const record* module = first_module(model);
      return module && module->size() > 1 ? (*module)[1] : std::string();
    },
    [](const BaseModel& model) { return legacy_rest(model, "Cd"); },
    [](const BaseModel& model) { return legacy_rest(model, "Kw"); },
    [](const BaseModel& model) -> std::string {
      if (first_module(model)) return "";
      return "Not a footprint library: no $MODULE in the file";
    },
    [](std::string_view head) {
      return head.substr(0, 16) == "PCBNEW-LibModule";
    },
    [](const BaseModel& model) {
      return legacy_of(model).millimetres_per_unit();
    },
};

// The code points of UTF-8 text; a byte that begins no well-formed
// sequence stands for itself, apart from every character.
std::u32string code_points(std::string_view text) {
  std::u32string points;
  points.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int length = lead < 0x80    ? 1
                       : lead >= 0xF0 ? 4
                       : lead >= 0xE0 ? 3
                       : lead >= 0xC0 ? 2
                                      : 0;
    char32_t point = length == 1 ? lead : lead & (0x7F >> length);
    bool whole = length > 0 && i + length <= text.size();
    for (int k = 1; whole && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      whole = (next & 0xC0) == 0x80;
      point = point << 6 | (next & 0x3F);
    }
    if (!whole) {
      points.push_back(0x110000 + lead);
      ++i;
      continue;
    }
    points.push_back(point);
    i += length;
  }
  return points;
}

// Whether `c` is in the set that opens at pattern[at] (`[`), and where the
// set ends; false with `end` at npos when the `[` opens no set.
bool in_set(const std::u32string& pattern, std::size_t at, char32_t c,
            std::size_t& end) {
  std::size_t i = at + 1;
  const bool negated =
      i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
  if (negated) ++i;
  const std::size_t first = i;
  bool found = false;
  // A `]` right at the start is a member, not the end.
  for (; i < pattern.size() && (i == first || pattern[i] != ']'); ++i) {
    if (i + 2 < pattern.size() && pattern[i + 1] == '-' &&
        pattern[i + 2] != ']') {
      found = found || (pattern[i] <= c && c <= pattern[i + 2]);
      i += 2;
    } else {
      found = found || pattern[i] == c;
    }
  }
  if (i >= pattern.size()) {
    end = std::u32string::npos;
    return false;
  }
  end = i + 1;
  return found != negated;
}

}  // namespace

const std::vector<footprint_format>& footprint_formats() {
  static const std::vector<footprint_format> formats = {kPretty, kLegacy};
  return formats;
}

const footprint_format& pretty_format() {
  return footprint_formats()[0];
}

const footprint_format& legacy_format() {
  return footprint_formats()[1];
}

const footprint_format* format_named(std::string_view parser) {
  for (const footprint_format& format : footprint_formats())
    if (parser == format.parser) return &format;
  return nullptr;
}

const footprint_format* format_for_name(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  const std::string_view name =
      slash == std::string_view::npos ? path : path.substr(slash + 1);
  for (const footprint_format& format : footprint_formats())
    if (wildcard_match(format.pattern, name)) return &format;
  return nullptr;
}

const footprint_format* format_for_head(std::string_view first_bytes) {
  if (first_bytes.substr(0, 3) == "\xEF\xBB\xBF") first_bytes.remove_prefix(3);
  while (!first_bytes.empty() && is_space(first_bytes.front()))
    first_bytes.remove_prefix(1);
  for (const footprint_format& format : footprint_formats())
    if (format.opens(first_bytes)) return &format;
  return nullptr;
}

const footprint_format* model_format(const BaseModel& model) {
  for (const footprint_format& format : footprint_formats())
    if (format.holds(model)) return &format;
  return nullptr;
}

bool wildcard_match(std::string_view pattern_text, std::string_view text) {
  const std::u32string pattern = code_points(pattern_text);
  const std::u32string name = code_points(text);
  constexpr auto npos = std::u32string::npos;
  // The last star's place in the pattern, and where in the name the run it
  // stands for ends; a mismatch lets the star take one character more.
  std::size_t star = npos, resume = 0;
  std::size_t p = 0, n = 0;
  while (n < name.size()) {
    std::size_t after = p + 1;
    bool one = false;
    if (p < pattern.size()) {
      if (pattern[p] == '*') {
        star = p++;
        resume = n;
        continue;
      }
      if (pattern[p] == '?') {
        one = true;
      } else if (pattern[p] == '[') {
        std::size_t end = npos;
        one = in_set(pattern, p, name[n], end);
        if (end != npos) {
          after = end;
        } else {
          one = name[n] == '[';
        }
      } else {
        one = pattern[p] == name[n];
      }
    }
    if (one) {
      p = after;
      ++n;
    } else if (star != npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace zcore
