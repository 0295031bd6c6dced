#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zcore {

// What a user types to find a footprint: a substring, compared without
// regard to ASCII case, where `*` stands for any run of characters and `?`
// for one character. The pattern may match anywhere in the text; an empty
// pattern matches everything.
class name_pattern {
public:
  explicit name_pattern(std::string_view pattern);

  bool empty() const { return pieces.empty(); }
  // `text` as fold gives it.
  bool matches_folded(std::string_view text) const;
  bool matches(std::string_view text) const {
    return matches_folded(fold(text));
  }

  // ASCII letters in lower case; other bytes, UTF-8 included, as they are.
  static std::string fold(std::string_view text);

private:
  // The pattern split at its stars; each piece may hold `?`.
  std::vector<std::string> pieces;
};

}  // namespace zcore
