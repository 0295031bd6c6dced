#pragma once

#include <string_view>

namespace zcore {

// Reads the number at the start of `text` the same way in every locale;
// text that is not a number gives 0, never an error.
double to_double(std::string_view text);

inline double to_double(const char* text) {
  return to_double(std::string_view(text));
}

}  // namespace zcore
