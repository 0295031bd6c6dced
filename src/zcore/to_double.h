#pragma once

#include <string>

namespace zcore {

// Reads the number at the start of `text` the same way in every locale;
// text that is not a number gives 0, never an error.
double to_double(const char* text);

inline double to_double(const std::string& text) {
  return to_double(text.c_str());
}

}  // namespace zcore
