#include "zcore/models.h"

#include "zcore/model_exception.h"
#include "zcore/to_double.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ios>
#include <sstream>

namespace zcore {
namespace {

void load(BaseModel& model, const std::string& text) {
  std::istringstream in(text);
  model.load(in);
}

TEST(SModel, AFailedLoadKeepsThePreviousTree) {
  S_Model model("module_parser");
  load(model, "()");
  EXPECT_EQ(model.root(), nullptr);
  load(model, "(a (b 1))");
  basenode* const first = model.root();
  ASSERT_NE(first, nullptr);
  EXPECT_THROW(load(model, "(a (b"), std::ios_base::failure);
  EXPECT_THROW(load(model, "((a b) c)"), ModelException);
  EXPECT_EQ(model.root(), first);
  EXPECT_EQ(first->find("b")->children[0]->name, "1");
  load(model, "(z)");
  EXPECT_EQ(model.root()->name, "z");
}

TEST(ToDouble, ReadsTheTableOfCases) {
  const std::pair<const char*, double> cases[] = {
      {"  -12.50", -12.5}, {"1E-3", 0.001},
      {"+.5", 0.5},        {"0x10", 0},
      {"\t7", 7},          {"\n7", 0},
      {"1.5mm", 1.5},      {"", 0},
      {"-0.25e+1", -2.5},  {"1e", 1},
      {"5E-400", 5e-308},  {"1e99999999999999999999", 1.0000000000000006e308},
      {"-", -0.0},         {"+", 0},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    EXPECT_DOUBLE_EQ(to_double(text), expected);
    EXPECT_EQ(std::signbit(to_double(text)), std::signbit(expected));
  }
  // Exactly: EXPECT_DOUBLE_EQ would take 1e308 too.
  EXPECT_EQ(to_double("1e400"), 1.0000000000000006e308);
}

}  // namespace
}  // namespace zcore
