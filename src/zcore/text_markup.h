#pragma once

#include <string>
#include <vector>

namespace zcore {

// A stretch of a text drawn in one style of KiCad's markup.
struct markup_run {
  enum class shift { none, subscript, superscript };
  std::string text;
  shift position = shift::none;
  bool overbar = false;

  bool operator==(const markup_run& other) const {
    return text == other.text && position == other.position &&
           overbar == other.overbar;
  }
};

// Splits `text` at KiCad's markup: `~{...}` overbar, `_{...}` subscript,
// `^{...}` superscript, nested at will; plain braces inside a markup pair
// nest and are drawn. An opening without its closing brace is plain text.
// Runs are never empty; consecutive runs differ in style.
std::vector<markup_run> markup_runs(const std::string& text);

// The overbars of files older than the markup: each `~` turns the bar on or
// off and `~~` is a tilde. A text that already holds `~{`, or is a lone
// `~`, stays as it is.
std::string with_markup_overbars(const std::string& text);

}  // namespace zcore
