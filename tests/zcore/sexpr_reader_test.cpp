#include "zcore/sexpr_reader.h"

#include "zcore/model_exception.h"
#include "zcore/models.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ios>
#include <memory>
#include <sstream>
#include <string>

namespace zcore {
namespace {

// A tree as text: atoms bare, lists as (name children...).
std::string dump(const basenode* node) {
  if (!node) return "null";
  if (node->children.empty()) return node->name;
  std::string text = "(" + node->name;
  for (const basenode* child : node->children) text += " " + dump(child);
  return text + ")";
}

std::unique_ptr<S_Model> read(const std::string& text) {
  std::istringstream in(text);
  auto model = std::make_unique<S_Model>("module_parser");
  model->load(in);
  return model;
}

// What reading `text` gives: the tree, or the message of what it threw.
std::string outcome(const std::string& text) {
  try {
    return dump(read(text)->root());
  } catch (const std::ios_base::failure& e) {
    EXPECT_EQ(e.code(), std::io_errc::stream);
    return std::string("failure: ") + e.what();
  } catch (const ModelException& e) {
    return std::string("model: ") + e.what();
  }
}

TEST(SexprReader, ReadsTheTableOfCases) {
  const struct {
    std::string input, expected;
  } cases[] = {
      {"(module R1 (layer F.Cu))", "(module R1 (layer F.Cu))"},
      {"(descr \"Resistor (SMD) 0805\")", "(descr Resistor (SMD) 0805)"},
      {"(a \"x\\\"y\\\\z\\n\")", "(a x\"y\\z\n)"},
      {"(a \"\\q\\t\\r\\f\\v\")", "(a q\t\r\f\v)"},
      {"(a ab\"c d\\e)", "(a ab\"c d\\e)"},
      {"(a () b)", "(a b)"},
      {"(a \"b\" \"\" (c))", "(a b  c)"},
      {"()", "null"},
      {"((x) y)", "(x y)"},
      {"((x z) y)", "model: The first atom (aka-name) must be POD."},
      {"(a (b)", "failure: Unexpected EOF"},
      {"(a \"b)", "failure: Unexpected EOF"},
      {"(a \"b\\", "failure: Unexpected EOF"},
      {"", "failure: Failed to read stream."},
      {"  ", "failure: Unexpected EOF"},
      {"(a 1) (b 2", "(a 1)"},
      {"(a\r\n\t(b\v1)\f)", "(a (b 1))"},
      {"(a b(c d)e)", "(a b (c d) e)"},
      {"(a (b)c)", "(a b c)"},
      {"junk \"q\" (x 1)", "(x 1)"},
      {"a b ) (x)", "(a b)"},
      {") (x)", "null"},
      {"(\xff\x80 \"\xc3\xa9\")", "(\xff\x80 \xc3\xa9)"},
      {std::string(512, '(') + std::string(512, ')'), "null"},
      {std::string(513, '('), "model: Lists nested deeper than 512 levels"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input.substr(0, 40));
    const std::string got = outcome(c.input);
    // ios_base::failure adds the error category's text after the message.
    EXPECT_EQ(got.substr(0, c.expected.size()), c.expected);
    if (got.rfind("failure: ", 0) != 0) {
      EXPECT_EQ(got, c.expected);
    }
  }
}

TEST(SexprReader, AMillionOpeningParenthesesEndInAnException) {
  EXPECT_EQ(outcome(std::string(1000000, '(')),
            "model: Lists nested deeper than 512 levels");
}

TEST(SexprReader, ReadsOnlyTheFirstTopLevelList) {
  std::istringstream in("(a 1) (b 2)");
  S_Model model("module_parser");
  model.load(in);
  EXPECT_EQ(in.tellg(), 5);
}

TEST(Basenode, FindGivesTheLastOfEqualNamesAndFollowsPaths) {
  const auto model = read("(x (p 1) (p 2) q (effects (font (size 1 1))))");
  const basenode* x = model->root();
  ASSERT_NE(x->find("p"), nullptr);
  EXPECT_EQ(dump(x->find("p")), "(p 2)");
  EXPECT_TRUE(x->has("q"));
  EXPECT_FALSE(x->has("pp"));
  EXPECT_FALSE(x->has(""));
  EXPECT_EQ(dump(x->find(std::vector<std::string>{"effects", "font"})),
            "(font (size 1 1))");
  EXPECT_EQ(x->find(std::vector<std::string>{"effects", "nope"}), nullptr);
  EXPECT_EQ(x->find(std::vector<std::string>{}), x);
  EXPECT_EQ(x->find("p")->parent, x);
}

TEST(Basenode, IndexIsSortedWithNewerEqualNamesFirstInLongLists) {
  // Long enough for the sorted build, short enough for the insertion one.
  for (int count : {5, 40}) {
    SCOPED_TRACE(count);
    std::string text = "(x";
    for (int i = 0; i < count; ++i)
      text += " (n" + std::to_string(i % 3) + " " + std::to_string(i) + ")";
    const auto model = read(text + ")");
    const basenode* x = model->root();
    ASSERT_EQ(x->index.size(), static_cast<std::size_t>(count));
    for (std::size_t i = 1; i < x->index.size(); ++i) {
      const basenode* a = x->index[i - 1];
      const basenode* b = x->index[i];
      ASSERT_LE(a->name, b->name);
      if (a->name == b->name) {
        EXPECT_GT(std::stoi(a->children[0]->name),
                  std::stoi(b->children[0]->name));
      }
    }
    EXPECT_EQ(dump(x->find("n0")),
              "(n0 " + std::to_string((count - 1) / 3 * 3) + ")");
  }
}

// The nodes of a read tree live in blocks kept by its root; blocks of
// deleted trees serve the next reads.
TEST(Basenode, TreesStayWholeWhileOthersComeAndGo) {
  std::string big = "(big";
  for (int i = 0; i < 3000; ++i)
    big += " (pad " + std::to_string(i) + " \"a name longer than sixteen\")";
  big += ")";
  auto kept = read(big);
  for (int round = 0; round < 3; ++round) {
    auto other = read(big);
    EXPECT_EQ(dump(other->root()), dump(kept->root()));
  }
  auto small = read("(a (b 1))");
  kept.reset();
  auto again = read(big);
  EXPECT_EQ(dump(small->root()), "(a (b 1))");
  const basenode* root = again->root();
  ASSERT_EQ(root->children.size(), 3000u);
  EXPECT_EQ(dump(root->children[2999]),
            "(pad 2999 a name longer than sixteen)");
  EXPECT_EQ(root->children[1234]->parent, root);
}

TEST(Basenode, SubtreesAndHeapNodesCanBeDeletedAlone) {
  auto model = read("(a (b 1 2) (c 3) d)");
  basenode* root = model->root();
  // Taken out of the tree and deleted while the root lives on.
  basenode* b = root->children[0];
  root->children.erase(root->children.begin());
  root->index.erase(std::find(root->index.begin(), root->index.end(), b));
  delete b;
  EXPECT_EQ(dump(root), "(a (c 3) d)");
  EXPECT_EQ(root->find("b"), nullptr);

  // Nodes made with new, alone and around one another, as before.
  delete new basenode("atom");
  auto* list = new basenode("x", {new basenode("z"), new basenode("y")});
  EXPECT_EQ(dump(list), "(x z y)");
  EXPECT_EQ(list->index[0]->name, "y");
  delete list;
}

TEST(SexprReader, BlanksAndEscapes) {
  for (int c = 0; c < 256; ++c) {
    const bool blank = c == ' ' || (c >= 9 && c <= 13);
    EXPECT_EQ(is_blank(static_cast<char>(c)), blank) << c;
  }
  EXPECT_EQ(unescape_char('n'), '\n');
  EXPECT_EQ(unescape_char('v'), '\v');
  EXPECT_EQ(unescape_char('"'), '"');
  EXPECT_EQ(unescape_char('a'), 'a');
  EXPECT_EQ(unescape_char(0xe9), '\xe9');
}

}  // namespace
}  // namespace zcore
