#include "zcore/text_variables.h"

#include "zcore/basenode.h"
#include "zcore/nodeview.h"

#include <algorithm>

namespace zcore {

namespace {

// The last version whose files KiCad reads %R and %V in.
constexpr double kLastPercentVersion = 20211014;

}  // namespace

void text_variables::set(const std::string& name, const std::string& value) {
  values[name] = value;
}

std::string text_variables::resolve(const std::string& text) const {
  return *resolve_within(text, std::string().max_size());
}

std::optional<std::string> text_variables::resolve_within(
    const std::string& text, std::size_t limit) const {
  std::string shown;
  shown.reserve(std::min(text.size(), limit));
  // The first '}' after where it was last looked for: looked for again only
  // past it, so that a text of many "${" without one stays linear.
  std::size_t next_close = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (shown.size() > limit) return std::nullopt;
    if (percent && text[i] == '%' && i + 1 < text.size() &&
        (text[i + 1] == 'R' || text[i + 1] == 'V')) {
      const auto found =
          values.find(text[i + 1] == 'R' ? "REFERENCE" : "VALUE");
      shown += found != values.end() ? found->second : text.substr(i, 2);
      i += 2;
      continue;
    }
    const bool opens = text.compare(i, 2, "${") == 0;
    if (opens && next_close != text.npos && next_close < i + 2)
      next_close = text.find('}', i + 2);
    const std::size_t close = opens ? next_close : text.npos;
    if (close == text.npos) {
      shown += text[i++];
      continue;
    }
    const auto found = values.find(text.substr(i + 2, close - i - 2));
    shown +=
        found != values.end() ? found->second : text.substr(i, close + 1 - i);
    i = close + 1;
  }
  if (shown.size() > limit) return std::nullopt;
  return shown;
}

text_variables footprint_variables(const basenode* root) {
  text_variables variables;
  if (!root) return variables;
  const nodeview footprint(root);
  variables.set("FOOTPRINT_NAME", footprint.first_text());
  variables.set("LAYER", footprint.layer());
  // Older files keep reference and value as texts, newer as properties.
  for (const basenode* child : root->children) {
    const nodeview element(child);
    if (child->name == "fp_text" && element.first_text() == "reference")
      variables.set("REFERENCE", element.second_text());
    if (child->name == "fp_text" && element.first_text() == "value")
      variables.set("VALUE", element.second_text());
  }
  for (const basenode* child : root->children) {
    if (child->name != "property" || child->children.empty()) continue;
    const nodeview property(child);
    variables.set(property.first_text(), property.second_text());
    if (property.first_text() == "Reference")
      variables.set("REFERENCE", property.second_text());
    if (property.first_text() == "Value")
      variables.set("VALUE", property.second_text());
  }
  const basenode* version = root->find("version");
  variables.expand_percent_forms(root->name == "module" || !version ||
                                 first_number(version) <= kLastPercentVersion);
  return variables;
}

}  // namespace zcore
