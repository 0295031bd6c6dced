#pragma once

#include "zcore/index_entry.h"
#include "zcore/name_pattern.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zcore {

// An entry's texts as a query compares them, folded once.
struct entry_text {
  std::string name;
  // The name without ASCII punctuation and blanks: `SOT-23` gives `sot23`.
  std::string squashed;
  // The library's name.
  std::string library;
  std::string tags;
  std::string description;
};

entry_text text_of(const index_entry& entry);

// What a user types to find footprints. Blanks part the terms; each must
// hold, in any order:
// - a word matches the name, the library's name, the tags or the
//   description, in any letter case, with `*` and `?` as wildcards; a word
//   of letters and digits alone matches the name across its separators
//   too (`sot23` finds `SOT-23`);
// - a "quoted phrase" matches as written, blanks and wildcards included;
// - `pads:48`, `pitch:0.5`, `size:7x7` and `lib:NAME` compare figures
//   (`pads:>100`, `pitch:<=0.5`, `pads:40-50` compare or give a range;
//   `size:<10x10` fits within), and `smd` and `tht` the kind;
// - `-` before any term excludes what it matches.
// A figure term keeps out entries whose figures are not known.
class footprint_query {
public:
  // Pitches compare within this, in millimetres.
  static constexpr double kPitchTolerance = 0.01;
  // Sizes compare within this or the share below of the asked side,
  // whichever is larger.
  static constexpr double kSizeTolerance = 0.1;
  static constexpr double kSizeShare = 0.02;

  explicit footprint_query(std::string_view query);

  // True for a query of no term, which every entry meets.
  bool empty() const { return words.empty() && filters.empty(); }

  // How well an entry meets every term, lower being better; -1 for an
  // entry that does not. Each word adds, by where it matches best: 0 the
  // whole name, 1 the name's start, 2 the start of a word in the name, 3
  // elsewhere in the name, 4 the tags, 5 the description, 6 the library.
  int score(const index_entry& entry, const entry_text& text) const;

  // The bytes of `name` that the words and phrases match first, in order
  // and apart.
  std::vector<name_pattern::span> name_matches(std::string_view name) const;

private:
  struct word {
    name_pattern pattern;
    // Letters, digits and wildcards only: matched against the squashed
    // name too.
    bool squashable = false;
    bool excluded = false;
  };
  using filter = std::function<bool(const index_entry&, const entry_text&)>;

  bool add_figure(std::string_view term, bool excluded);
  int word_score(const word& w, const entry_text& text) const;

  std::vector<word> words;
  std::vector<filter> filters;
};

// An entry that meets a query, and its score.
struct search_hit {
  const index_entry* entry = nullptr;
  int score = 0;
};

// Adds the entries of `entries` that meet `query`; `texts` are theirs, in
// the same order. Returns false, leaving `hits` part done, once `stop`
// says so; it is asked every few hundred entries.
bool collect_hits(const footprint_query& query,
                  const std::vector<index_entry>& entries,
                  const std::vector<entry_text>& texts,
                  std::vector<search_hit>& hits,
                  const std::function<bool()>& stop = nullptr);

// Best first: by score, then the shorter name, then by name, library and
// module.
void rank_hits(std::vector<search_hit>& hits);

}  // namespace zcore
