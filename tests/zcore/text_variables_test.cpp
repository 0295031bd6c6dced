#include "zcore/text_variables.h"

#include "zcore/models.h"

#include <gtest/gtest.h>

#include <sstream>

namespace zcore {
namespace {

std::string shown(const std::string& file, const std::string& text) {
  std::istringstream in(file);
  S_Model model("module_parser");
  model.load(in);
  return footprint_variables(model.root()).resolve(text);
}

TEST(TextVariables, ExpandAsKiCadShowsAFootprintOnItsOwn) {
  const char* const kNewer =
      "(footprint \"R_0805\" (version 20240108) (layer \"F.Cu\")"
      " (property \"Reference\" \"R7\") (property \"Value\" \"10k\")"
      " (property \"PROD_ID\" \"X-1\"))";
  const char* const kOlder =
      "(module R_0805 (layer B.Cu) (fp_text reference R1) (fp_text value 4k7)"
      " (property Sheet \"a b\"))";
  const struct {
    const char *file, *text, *shown;
  } cases[] = {
      {kNewer, "${REFERENCE}: ${VALUE} on ${LAYER}", "R7: 10k on F.Cu"},
      {kNewer, "${PROD_ID} of ${FOOTPRINT_NAME}", "X-1 of R_0805"},
      // Unknown names, unclosed ones and percent forms of newer files stay.
      {kNewer, "${NOPE} ${REFERENCE %R 100%", "${NOPE} ${REFERENCE %R 100%"},
      {kOlder, "%R/%V ${REFERENCE} ${Sheet} 100%", "R1/4k7 R1 a b 100%"},
      {kOlder, "${LAYER}$}{${}", "B.Cu$}{${}"},
      {"(footprint X (version 20211014) (fp_text reference U1))", "%R", "U1"},
      {"(footprint X (version 20221018) (fp_text reference U1))", "%R", "%R"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(shown(c.file, c.text), c.shown);
  }
  EXPECT_EQ(footprint_variables(nullptr).resolve("${REFERENCE}"),
            "${REFERENCE}");
}

}  // namespace
}  // namespace zcore
