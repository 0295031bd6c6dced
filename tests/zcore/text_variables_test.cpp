#include "zcore/text_variables.h"

#include "zcore/models.h"

#include <gtest/gtest.h>

#include <sstream>

namespace zcore {
namespace {

// The twins of the loader tests cover ${REFERENCE}, ${VALUE} and %R/%V.
TEST(TextVariables, ExpandKnownNamesAndLeaveTheRestAsWritten) {
  const struct {
    const char *file, *text, *shown;
  } cases[] = {
      {"(footprint \"R_0805\" (version 20240108) (layer \"F.Cu\")"
       " (property \"PROD_ID\" \"X-1\"))",
       "${PROD_ID} of ${FOOTPRINT_NAME} on ${LAYER}: ${NOPE} %R 100% ${X",
       "X-1 of R_0805 on F.Cu: ${NOPE} %R 100% ${X"},
      {"(module R (fp_text reference R1) (property Sheet \"a b\"))",
       "%R%V ${Sheet}$}{${}", "R1%V a b$}{${}"},
      {"(footprint X (version 20211014) (fp_text reference U1))", "%R", "U1"},
  };
  for (const auto& c : cases) {
    std::istringstream in(c.file);
    S_Model model("module_parser");
    model.load(in);
    EXPECT_EQ(footprint_variables(model.root()).resolve(c.text), c.shown);
  }
}

}  // namespace
}  // namespace zcore
