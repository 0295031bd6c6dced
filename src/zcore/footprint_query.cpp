#include "zcore/footprint_query.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <tuple>

namespace zcore {

namespace {

using span = name_pattern::span;

constexpr int kNoMatch = -1;
constexpr int kTagsScore = 4;
constexpr int kDescriptionScore = 5;
constexpr int kLibraryScore = 6;
// Enough tries to find a match at a word's start in any real name.
constexpr int kWordStartTries = 32;
constexpr std::size_t kStopEvery = 256;

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' ||
         c == '\v';
}
bool is_digit(char c) {
  return c >= '0' && c <= '9';
}
bool is_letter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
// ASCII punctuation and blanks part the words of a name; other bytes,
// UTF-8 included, belong to words.
bool is_separator(char c) {
  return static_cast<unsigned char>(c) < 0x80 && !is_digit(c) && !is_letter(c);
}

// Where a new word of a name starts: after a separator, and where letters
// turn to digits or back (`P0.5mm`, `7x7mm`).
bool starts_word(std::string_view text, std::size_t at) {
  if (at == 0) return true;
  const char before = text[at - 1];
  const char here = text[at];
  if (is_separator(before)) return true;
  return (is_digit(before) && is_letter(here)) ||
         (is_letter(before) && is_digit(here));
}

// The squashed name and where each of its bytes stands in the name.
std::string squash(std::string_view name, std::vector<std::size_t>* at) {
  std::string result;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (is_separator(name[i])) continue;
    result += name[i];
    if (at) at->push_back(i);
  }
  return result;
}

// 0 the whole name, 1 its start, 2 a word's start, 3 elsewhere; `first` is
// the pattern's first match in `name`. `at` maps the bytes of a squashed
// name to those of the name whose word starts count.
int name_score(const name_pattern& pattern, std::string_view name, span first,
               std::string_view words, const std::vector<std::size_t>* at) {
  if (pattern.literal() && name == pattern.text()) return 0;
  if (first.begin == 0) return 1;
  std::optional<span> match = first;
  for (int i = 0; match && match->begin < name.size() && i < kWordStartTries;
       ++i) {
    if (starts_word(words, at ? (*at)[match->begin] : match->begin)) return 2;
    match = pattern.find_folded(name, match->begin + 1);
  }
  return 3;
}

// A comparison of a figure with what was asked, read from "48", ">100",
// "<=0.5" or "40-50".
struct comparison {
  enum class op { equal, less, less_equal, greater, greater_equal, between };
  op how = op::equal;
  double low = 0;
  double high = 0;

  bool holds(double value, double tolerance) const {
    switch (how) {
      case op::equal:
        return std::fabs(value - low) <= tolerance;
      case op::less:
        return value < low - tolerance;
      case op::less_equal:
        return value <= low + tolerance;
      case op::greater:
        return value > low + tolerance;
      case op::greater_equal:
        return value >= low - tolerance;
      case op::between:
        return value >= low - tolerance && value <= high + tolerance;
    }
    return false;
  }
};

std::optional<double> read_number(std::string_view text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end || !std::isfinite(value) || value < 0)
    return std::nullopt;
  return value;
}

// The operator in front of a number, taken off `text`.
comparison::op read_operator(std::string_view& text) {
  using op = comparison::op;
  static const std::pair<std::string_view, op> kOperators[] = {
      {"<=", op::less_equal},
      {">=", op::greater_equal},
      {"<", op::less},
      {">", op::greater},
      {"=", op::equal}};
  for (const auto& [symbol, how] : kOperators) {
    if (text.substr(0, symbol.size()) == symbol) {
      text.remove_prefix(symbol.size());
      return how;
    }
  }
  return op::equal;
}

std::optional<comparison> read_comparison(std::string_view text) {
  comparison result;
  result.how = read_operator(text);
  const std::size_t dash = text.find('-', 1);
  if (result.how == comparison::op::equal && dash != std::string_view::npos) {
    const auto low = read_number(text.substr(0, dash));
    const auto high = read_number(text.substr(dash + 1));
    if (!low || !high || *high < *low) return std::nullopt;
    return comparison{comparison::op::between, *low, *high};
  }
  const auto value = read_number(text);
  if (!value) return std::nullopt;
  result.low = *value;
  return result;
}

// "7x7", "7.5X9mm" or "<10x10": the same comparison for both sides.
std::optional<std::pair<comparison, comparison>> read_size(
    std::string_view text) {
  std::string_view rest = text;
  const comparison::op how = read_operator(rest);
  if (rest.size() > 2 && rest.substr(rest.size() - 2) == "mm")
    rest.remove_suffix(2);
  const std::size_t cross = rest.find_first_of("xX");
  if (cross == std::string_view::npos) return std::nullopt;
  const auto width = read_number(rest.substr(0, cross));
  const auto height = read_number(rest.substr(cross + 1));
  if (!width || !height) return std::nullopt;
  return std::pair{comparison{how, *width, 0}, comparison{how, *height, 0}};
}

double size_tolerance(double side) {
  return std::max(footprint_query::kSizeTolerance,
                  side * footprint_query::kSizeShare);
}

bool size_matches(const std::pair<comparison, comparison>& asked,
                  const dimensions& size) {
  const auto& [w, h] = asked;
  const auto fits = [&](double a, double b) {
    return w.holds(a, size_tolerance(w.low)) &&
           h.holds(b, size_tolerance(h.low));
  };
  return fits(size.width, size.height) || fits(size.height, size.width);
}

// The terms of a query: blank-separated, a quoted phrase as one.
struct term {
  std::string_view text;
  bool phrase = false;
  bool excluded = false;
};

std::vector<term> split_terms(std::string_view query) {
  std::vector<term> terms;
  std::size_t i = 0;
  while (i < query.size()) {
    if (is_blank(query[i])) {
      ++i;
      continue;
    }
    term t;
    if (query[i] == '-' && i + 1 < query.size() && !is_blank(query[i + 1])) {
      t.excluded = true;
      ++i;
    }
    if (query[i] == '"') {
      const std::size_t close = query.find('"', i + 1);
      const std::size_t end =
          close == std::string_view::npos ? query.size() : close;
      t.text = query.substr(i + 1, end - i - 1);
      t.phrase = true;
      i = end + 1;
    } else {
      std::size_t end = i;
      while (end < query.size() && !is_blank(query[end])) ++end;
      t.text = query.substr(i, end - i);
      i = end;
    }
    if (!t.text.empty()) terms.push_back(t);
  }
  return terms;
}

bool squashable(std::string_view word) {
  return std::none_of(word.begin(), word.end(), [](char c) {
    return is_separator(c) && c != '*' && c != '?';
  });
}

}  // namespace

entry_text text_of(const index_entry& entry) {
  entry_text text;
  text.name = name_pattern::fold(entry.name);
  text.squashed = squash(text.name, nullptr);
  text.library = name_pattern::fold(library_name(entry));
  text.tags = name_pattern::fold(entry.tags);
  text.description = name_pattern::fold(entry.description);
  return text;
}

footprint_query::footprint_query(std::string_view query) {
  for (const term& t : split_terms(query)) {
    if (!t.phrase && add_figure(t.text, t.excluded)) continue;
    word w{name_pattern(t.text, !t.phrase), false, t.excluded};
    w.squashable = !t.phrase && squashable(t.text);
    words.push_back(std::move(w));
  }
}

bool footprint_query::add_figure(std::string_view term, bool excluded) {
  const std::string folded = name_pattern::fold(term);
  const std::size_t colon = folded.find(':');
  const std::string key = folded.substr(0, colon);
  const std::string_view value =
      colon == std::string::npos ? std::string_view() : term.substr(colon + 1);
  filter test;
  if (colon == std::string::npos && (key == "smd" || key == "tht")) {
    const footprint_kind kind =
        key == "smd" ? footprint_kind::smd : footprint_kind::through_hole;
    test = [kind](const index_entry& e, const entry_text&) {
      return e.figures && e.figures->kind == kind;
    };
  } else if (colon == std::string::npos) {
    return false;
  } else if (key == "pads" || key == "pins") {
    const auto asked = read_comparison(value);
    if (!asked) return false;
    test = [asked](const index_entry& e, const entry_text&) {
      return e.figures && asked->holds(static_cast<double>(e.figures->pads), 0);
    };
  } else if (key == "pitch") {
    const auto asked = read_comparison(value);
    if (!asked) return false;
    test = [asked](const index_entry& e, const entry_text&) {
      return e.figures && e.figures->pitch &&
             asked->holds(*e.figures->pitch, kPitchTolerance);
    };
  } else if (key == "size") {
    const auto asked = read_size(value);
    if (!asked) return false;
    test = [asked](const index_entry& e, const entry_text&) {
      if (!e.figures) return false;
      const auto& f = *e.figures;
      return (f.courtyard && size_matches(*asked, *f.courtyard)) ||
             (f.body && size_matches(*asked, *f.body));
    };
  } else if (key == "lib" && !value.empty()) {
    test = [pattern = name_pattern(value)](const index_entry&,
                                           const entry_text& text) {
      return pattern.matches_folded(text.library);
    };
  } else {
    return false;
  }
  if (excluded) {
    filters.push_back([test](const index_entry& e, const entry_text& text) {
      return !test(e, text);
    });
  } else {
    filters.push_back(std::move(test));
  }
  return true;
}

int footprint_query::word_score(const word& w, const entry_text& text) const {
  const name_pattern& p = w.pattern;
  int best = kNoMatch;
  if (const auto first = p.find_folded(text.name, 0))
    best = name_score(p, text.name, *first, text.name, nullptr);
  if (w.squashable && best != 0) {
    if (const auto first = p.find_folded(text.squashed, 0)) {
      std::vector<std::size_t> at;
      squash(text.name, &at);
      const int squashed = name_score(p, text.squashed, *first, text.name, &at);
      if (best == kNoMatch || squashed < best) best = squashed;
    }
  }
  if (best != kNoMatch) return best;
  if (p.matches_folded(text.tags)) return kTagsScore;
  if (p.matches_folded(text.description)) return kDescriptionScore;
  if (p.matches_folded(text.library)) return kLibraryScore;
  return kNoMatch;
}

int footprint_query::score(const index_entry& entry,
                           const entry_text& text) const {
  for (const filter& test : filters) {
    if (!test(entry, text)) return kNoMatch;
  }
  int total = 0;
  for (const word& w : words) {
    const int s = word_score(w, text);
    if (w.excluded != (s == kNoMatch)) return kNoMatch;
    if (!w.excluded) total += s;
  }
  return total;
}

std::vector<name_pattern::span> footprint_query::name_matches(
    std::string_view name) const {
  const std::string folded = name_pattern::fold(name);
  std::vector<std::size_t> at;
  const std::string squashed = squash(folded, &at);
  std::vector<span> spans;
  for (const word& w : words) {
    if (w.excluded || w.pattern.empty()) continue;
    if (const auto match = w.pattern.find_folded(folded, 0)) {
      if (match->end > match->begin) spans.push_back(*match);
    } else if (w.squashable) {
      const auto inner = w.pattern.find_folded(squashed, 0);
      if (inner && inner->end > inner->begin)
        spans.push_back({at[inner->begin], at[inner->end - 1] + 1});
    }
  }
  std::sort(spans.begin(), spans.end(),
            [](const span& a, const span& b) { return a.begin < b.begin; });
  std::vector<span> merged;
  for (const span& s : spans) {
    if (!merged.empty() && s.begin <= merged.back().end) {
      merged.back().end = std::max(merged.back().end, s.end);
    } else {
      merged.push_back(s);
    }
  }
  return merged;
}

bool collect_hits(const footprint_query& query,
                  const std::vector<index_entry>& entries,
                  const std::vector<entry_text>& texts,
                  std::vector<search_hit>& hits,
                  const std::function<bool()>& stop) {
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (stop && i % kStopEvery == 0 && stop()) return false;
    const int score = query.score(entries[i], texts[i]);
    if (score >= 0) hits.push_back({&entries[i], score});
  }
  return true;
}

void rank_hits(std::vector<search_hit>& hits) {
  std::sort(hits.begin(), hits.end(),
            [](const search_hit& a, const search_hit& b) {
              const index_entry& x = *a.entry;
              const index_entry& y = *b.entry;
              return std::forward_as_tuple(a.score, x.name.size(), x.name,
                                           x.library, x.module) <
                     std::forward_as_tuple(b.score, y.name.size(), y.name,
                                           y.library, y.module);
            });
}

}  // namespace zcore
