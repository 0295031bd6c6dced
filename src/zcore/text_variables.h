#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>

namespace zcore {

class basenode;

// The variables a footprint's texts may name, expanded as KiCad shows a
// footprint on its own: `${NAME}` by its value, an unknown name as written.
class text_variables {
public:
  void set(const std::string& name, const std::string& value);
  // KiCad 5 wrote %R and %V for `${REFERENCE}` and `${VALUE}`.
  void expand_percent_forms(bool expand) { percent = expand; }

  std::string resolve(const std::string& text) const;
  // The same, or nothing once the text shown would pass `limit` bytes: a
  // short text naming a long value many times can grow a thousandfold.
  std::optional<std::string> resolve_within(const std::string& text,
                                            std::size_t limit) const;

private:
  std::map<std::string, std::string> values;
  bool percent = false;
};

// REFERENCE, VALUE, LAYER, FOOTPRINT_NAME and every footprint property KEY
// of a `.kicad_mod` tree; %R and %V in files of KiCad 6 and before.
text_variables footprint_variables(const basenode* root);

}  // namespace zcore
