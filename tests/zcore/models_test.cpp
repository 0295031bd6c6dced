#include "zcore/models.h"

#include "zcore/model_exception.h"
#include "zcore/to_double.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ios>
#include <sstream>

namespace zcore {
namespace {

void load(S_Model& model, const std::string& text) {
  std::istringstream in(text);
  model.load(in);
}

TEST(SModel, AFailedLoadKeepsThePreviousTree) {
  S_Model model("module_parser");
  EXPECT_EQ(model.name(), "module_parser");
  EXPECT_EQ(model.root(), nullptr);
  load(model, "()");
  EXPECT_EQ(model.root(), nullptr);
  load(model, "(a (b 1))");
  basenode* const first = model.root();
  ASSERT_NE(first, nullptr);
  EXPECT_THROW(load(model, "(a (b"), std::ios_base::failure);
  EXPECT_THROW(load(model, "((a b) c)"), ModelException);
  EXPECT_THROW(load(model, ""), std::ios_base::failure);
  EXPECT_EQ(model.root(), first);
  EXPECT_EQ(first->find("b")->children[0]->name, "1");
  load(model, "(z)");
  EXPECT_EQ(model.root()->name, "z");
}

TEST(SModel, LoadsThroughTheBaseClass) {
  S_Model model("module_parser");
  BaseModel& base = model;
  std::istringstream in("(module X)");
  base.load(in);
  EXPECT_EQ(model.root()->children[0]->name, "X");
}

TEST(ToDouble, ReadsTheTableOfCases) {
  const struct {
    const char* text;
    double expected;
  } cases[] = {
      {"  -12.50", -12.5},
      {"3e2", 300},
      {"1E-3", 0.001},
      {"+.5", 0.5},
      {"0x10", 0},
      {"\t7", 7},
      {"\n7", 0},
      {"1.5mm", 1.5},
      {"abc", 0},
      {"", 0},
      {"12", 12},
      {"-0.25e+1", -2.5},
      {"1e", 1},
      {"5E-400", 5e-308},
      {"1e99999999999999999999", 1.0000000000000006e308},
      {"1e400", 1.0000000000000006e308},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_DOUBLE_EQ(to_double(c.text), c.expected);
  }
  EXPECT_EQ(to_double("1e400"), 1.0000000000000006e308);
  EXPECT_EQ(to_double(std::string("  4.25")), 4.25);
}

TEST(ToDouble, ALoneMinusGivesNegativeZero) {
  EXPECT_EQ(to_double("-"), 0.0);
  EXPECT_TRUE(std::signbit(to_double("-")));
  EXPECT_FALSE(std::signbit(to_double("+")));
}

}  // namespace
}  // namespace zcore
