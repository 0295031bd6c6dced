#include "zcore/text_markup.h"

namespace zcore {

namespace {

bool is_marker(char c) {
  return c == '~' || c == '_' || c == '^';
}

struct run_style {
  markup_run::shift position = markup_run::shift::none;
  bool overbar = false;
};

run_style inside(run_style outer, char marker) {
  if (marker == '~') outer.overbar = true;
  if (marker == '_') outer.position = markup_run::shift::subscript;
  if (marker == '^') outer.position = markup_run::shift::superscript;
  return outer;
}

enum role : char { literal, opening, closing };

// Which bytes open or close a markup pair; everything else is drawn.
std::vector<char> roles_of(const std::string& text) {
  std::vector<char> roles(text.size(), literal);
  struct brace {
    std::size_t at;
    bool markup;
  };
  std::vector<brace> open;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '{') {
      open.push_back({i, i > 0 && is_marker(text[i - 1])});
    } else if (text[i] == '}' && !open.empty()) {
      const brace pair = open.back();
      open.pop_back();
      if (!pair.markup) continue;
      roles[pair.at - 1] = roles[pair.at] = opening;
      roles[i] = closing;
    }
  }
  return roles;
}

}  // namespace

std::vector<markup_run> markup_runs(const std::string& text) {
  const std::vector<char> roles = roles_of(text);
  std::vector<markup_run> runs;
  std::vector<run_style> styles{run_style()};
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (roles[i] == opening) {
      styles.push_back(inside(styles.back(), text[i]));
      ++i;  // the brace
      continue;
    }
    if (roles[i] == closing) {
      styles.pop_back();
      continue;
    }
    const run_style& style = styles.back();
    if (runs.empty() || runs.back().position != style.position ||
        runs.back().overbar != style.overbar)
      runs.push_back({std::string(), style.position, style.overbar});
    runs.back().text += text[i];
  }
  return runs;
}

std::string with_markup_overbars(const std::string& text) {
  if (text == "~" || text.find("~{") != std::string::npos) return text;
  std::string marked;
  marked.reserve(text.size() + 2);
  bool barred = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '~') {
      marked += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == '~') {
      marked += '~';
      ++i;
    } else {
      marked += barred ? "}" : "~{";
      barred = !barred;
    }
  }
  if (barred) marked += '}';
  return marked;
}

}  // namespace zcore
