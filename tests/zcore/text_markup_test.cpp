#include "zcore/text_markup.h"

#include <gtest/gtest.h>

namespace zcore {
namespace {

// The runs as "a|~b|_c|^~d": each run's text after a mark for its bar and
// its shift.
std::string describe(const std::vector<markup_run>& runs) {
  std::string out;
  for (const markup_run& run : runs) {
    if (!out.empty()) out += '|';
    if (run.position == markup_run::shift::subscript) out += '_';
    if (run.position == markup_run::shift::superscript) out += '^';
    if (run.overbar) out += '~';
    out += run.text;
  }
  return out;
}

TEST(MarkupRuns, SplitTheTextAtEachPairAndNest) {
  const struct {
    const char *text, *runs;
  } cases[] = {
      {"RST", "RST"},
      {"~{RST}", "~RST"},
      {"V_{CC} x^{2}", "V|_CC| x|^2"},
      // Bars and shifts nest; the innermost shift wins.
      {"~{I_{I}}", "~I|_~I"},
      {"I_{I^{I}}", "I|_I|^I"},
      // Plain braces inside a pair nest and are drawn.
      {"~{I{I}I}II", "~I{I}I|II"},
      // Nothing to draw; an opening never closed, a tilde alone, as written.
      {"~{}", ""},
      {"I~{II", "I~{II"},
      {"a~b}~", "a~b}~"},
      {"~~{a}", "~|~a"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(describe(markup_runs(c.text)), c.runs);
  }
}

// As KiCad 9 rewrites the texts of legacy libraries and older files.
TEST(MarkupOverbars, TurnTildesIntoPairs) {
  const struct {
    const char *old, *marked;
  } cases[] = {
      {"~RST~", "~{RST}"},  {"~a~b~c", "~{a}b~{c}"},
      {"~ab", "~{ab}"},     {"a~", "a~{}"},
      {"a~~b", "a~b"},      {"~a~~b~", "~{a~b}"},
      {"~", "~"},           {"~~", "~"},
      {"~{a}~b", "~{a}~b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.old);
    EXPECT_EQ(with_markup_overbars(c.old), c.marked);
  }
}

}  // namespace
}  // namespace zcore
