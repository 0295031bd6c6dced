#include "zcore/sexpr_reader.h"

#include "zcore/model_exception.h"
#include "zcore/models.h"
#include "zcore/to_double.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ios>
#include <memory>
#include <sstream>
#include <string>

namespace zcore {
namespace {

// A tree as text: atoms bare, lists as (name children...). Every child
// must name its list as its parent.
std::string dump(const basenode* node) {
  if (!node) return "null";
  if (node->children.empty()) return node->name;
  std::string text = "(" + node->name;
  for (const basenode* child : node->children) {
    EXPECT_EQ(child->parent, node) << child->name;
    text += " " + dump(child);
  }
  return text + ")";
}

// The bytes in blocks of `size`, as a buffered file hands them out.
class BlockAdapter : public StreamModelAdapterBase {
public:
  BlockAdapter(const std::string& bytes, std::size_t size)
      : rest(bytes), size(size) {}
  bool getline(std::string&) override { return false; }
  int get() override { return -1; }
  bool good() override { return false; }
  std::string_view block() override {
    const std::string_view taken = rest.substr(0, size);
    rest.remove_prefix(taken.size());
    return taken;
  }

private:
  std::string_view rest;
  std::size_t size;
};

// Through a std::istream a byte at a time when `block` is 0.
std::unique_ptr<S_Model> read(const std::string& text, std::size_t block = 0) {
  auto model = std::make_unique<S_Model>("module_parser");
  if (block == 0) {
    std::istringstream in(text);
    model->load(in);
  } else {
    BlockAdapter in(text, block);
    model->load(in);
  }
  return model;
}

// What reading `text` gives: the tree, or the message of what it threw.
std::string outcome(const std::string& text, std::size_t block) {
  try {
    return dump(read(text, block)->root());
  } catch (const std::ios_base::failure& e) {
    EXPECT_EQ(e.code(), std::io_errc::stream);
    return std::string("failure: ") + e.what();
  } catch (const ModelException& e) {
    return std::string("model: ") + e.what();
  }
}

TEST(SexprReader, ReadsTheTableOfCases) {
  const std::pair<std::string, std::string> cases[] = {
      {"(module R1 (layer F.Cu))", "(module R1 (layer F.Cu))"},
      {"(descr \"Resistor (SMD) 0805\")", "(descr Resistor (SMD) 0805)"},
      {"(a \"x\\\"y\\\\z\\n\\q\\t\\r\\f\\v\\\xe9\")",
       "(a x\"y\\z\nq\t\r\f\v\xe9)"},
      {"(a ab\"c d\\e)", "(a ab\"c d\\e)"},
      {"(a () b)", "(a b)"},
      {"(a \"b\" \"\" (c))", "(a b  c)"},
      {"()", "null"},
      {"((x) y)", "(x y)"},
      // Faults name the line and column (in characters) where they are met.
      {"((x z) y)",
       "model: The first atom (aka-name) must be POD. at line 1, column 2"},
      {"(a\r\n (b)\n\t((x z) y))",
       "model: The first atom (aka-name) must be POD. at line 3, column 3"},
      {"(a (b)", "failure: Unexpected EOF at line 1, column 7"},
      {"(a \"b)\n\n", "failure: Unexpected EOF at line 3, column 1"},
      {"(a \"b\\", "failure: Unexpected EOF at line 1, column 7"},
      {"(\xe2\x82\xac (b", "failure: Unexpected EOF at line 1, column 6"},
      {"", "failure: Failed to read stream."},
      {"  ", "failure: Unexpected EOF at line 1, column 3"},
      {"(a 1) (b 2", "(a 1)"},
      {"(a\r\n\t(b\v1)\f)", "(a (b 1))"},
      {"(a b(c d)e)", "(a b (c d) e)"},
      {"junk \"q\" (x 1)", "(x 1)"},
      {"a b ) (x)", "(a b)"},
      {") (x)", "null"},
      {"(\xff\x80 \"\xc3\xa9\")", "(\xff\x80 \xc3\xa9)"},
      {std::string(512, '(') + std::string(512, ')'), "null"},
      {"\n" + std::string(513, '('),
       "model: Lists nested deeper than 512 levels at line 2, column 513"},
  };
  for (const auto& [input, expected] : cases) {
    // Blocks that end anywhere in an atom, a quote or an escape.
    for (const std::size_t block : {0, 1, 2, 3, 1 << 20}) {
      SCOPED_TRACE(input.substr(0, 40) + " in blocks of " +
                   std::to_string(block));
      EXPECT_EQ(outcome(input, block), expected);
    }
  }
  for (int c = 0; c < 256; ++c)
    EXPECT_EQ(is_blank(static_cast<char>(c)), c == ' ' || (c >= 9 && c <= 13));
}

// Atoms are scanned several bytes at a time: every length, every byte that
// ends an atom, NULs within the text, and an input cut anywhere.
TEST(SexprReader, ScansAtomsOfEveryLengthToTheirEnd) {
  for (std::size_t length = 1; length <= 18; ++length) {
    std::string word;
    for (std::size_t i = 0; i < length; ++i)
      word += static_cast<char>("a\"\\!'&\x01\xc3"[i % 8]);
    SCOPED_TRACE(length);
    for (const char* end : {" ", ")", "\t", "\r\n", "(b)"}) {
      const std::string text = "(x " + word + end + (*end == ')' ? "" : ")");
      EXPECT_EQ(outcome(text, 1 << 20),
                "(x " + word + (std::string(end) == "(b)" ? " b" : "") + ")");
    }
    const std::string quoted(length, '\0');
    EXPECT_EQ(outcome("(x \"" + quoted + "\" " + quoted + ")", 1 << 20),
              "(x " + quoted + " " + quoted + ")");
  }
  using namespace std::string_literals;
  const std::string text =
      "(a b\xc3\xa9 \"\\\"q\0z\"\n  (c\0 \"0123456789\"))"s;
  for (std::size_t cut = 1; cut < text.size(); ++cut) {
    const std::string prefix = text.substr(0, cut);
    const std::size_t line_start = prefix.rfind('\n') + 1;
    std::size_t column = 1;
    for (std::size_t i = line_start; i < cut; ++i)
      column += (static_cast<unsigned char>(prefix[i]) & 0xC0) != 0x80;
    const std::size_t line = 1 + static_cast<std::size_t>(std::count(
                                     prefix.begin(), prefix.end(), '\n'));
    EXPECT_EQ(outcome(prefix, 1 << 20), "failure: Unexpected EOF at line " +
                                            std::to_string(line) + ", column " +
                                            std::to_string(column))
        << cut;
  }
}

TEST(Basenode, FindGivesTheLastOfEqualNamesAndFollowsPaths) {
  const auto model = read("(x (p 1) (p 2) q (effects (font (size 1 1))))");
  const basenode* x = model->root();
  EXPECT_EQ(dump(x->find("p")), "(p 2)");
  EXPECT_TRUE(x->has("q"));
  EXPECT_FALSE(x->has("pp") || x->has(""));
  EXPECT_EQ(dump(x->find(std::vector<std::string>{"effects", "font"})),
            "(font (size 1 1))");
  // Short lists are read whole; a long one for its first searches too, and
  // then through its sorted index.
  for (int count : {5, 40}) {
    SCOPED_TRACE(count);
    const std::string names[] = {"p", "\xe9", "A"};
    std::string text = "(x";
    for (int i = 0; i < count; ++i)
      text += " (" + names[i % 3] + " " + std::to_string(i) + ")";
    const auto list = read(text + ")");
    for (int n = 0; n < 12; ++n) {
      EXPECT_EQ(dump(list->root()->find(names[n % 3])),
                "(" + names[n % 3] + " " +
                    std::to_string((count - 1 - n % 3) / 3 * 3 + n % 3) + ")");
    }
    EXPECT_EQ(list->root()->index.size(), count > 24 ? 40u : 0u);
  }
}

TEST(Basenode, ArenaTreesStayWholeAndHeapNodesOwnTheirs) {
  std::string big = "(big";
  for (int i = 0; i < 3000; ++i)
    big += " (pad " + std::to_string(i) + " \"a name longer than sixteen\")";
  const auto kept = read(big + ")");
  const std::string expected = dump(kept->root());
  // Trees read and freed beside it; the last reuses their memory.
  EXPECT_EQ(dump(read(big + " \"\\\"\")")->root()),
            expected.substr(0, expected.size() - 1) + " \")");
  EXPECT_EQ(dump(read(big + ")")->root()), expected);
  EXPECT_EQ(dump(kept->root()), expected);
  EXPECT_EQ(kept->root()->find("pad")->children[0]->name, "2999");

  // Made with `new`, a list owns its children, and its index once built.
  std::vector<basenode*> elements;
  for (int i = 0; i < 40; ++i)
    elements.push_back(new basenode(std::to_string(i % 7)));
  const std::unique_ptr<basenode> made(new basenode("x", elements));
  for (int n = 0; n < 12; ++n) EXPECT_EQ(made->find("3"), elements[38]);
  dump(made.get());
  EXPECT_EQ(made->index.size(), 40u);
}

TEST(SModel, AFailedLoadKeepsThePreviousTree) {
  S_Model model("module_parser");
  const auto load = [&model](const std::string& text) {
    std::istringstream in(text);
    model.load(in);
  };
  load("(a (b 1))");
  basenode* const first = model.root();
  ASSERT_NE(first, nullptr);
  EXPECT_THROW(load("(a (b"), std::ios_base::failure);
  EXPECT_THROW(load("((a b) c)"), ModelException);
  EXPECT_EQ(model.root(), first);
  EXPECT_EQ(first->find("b")->children[0]->name, "1");
  load("(z)");
  EXPECT_EQ(model.root()->name, "z");
}

TEST(ToDouble, ReadsTheTableOfCases) {
  const std::pair<const char*, double> cases[] = {
      {"  -12.50", -12.5}, {"1E+3", 1000},
      {"+.5", 0.5},        {"0x10", 0},
      {"\t7", 7},          {"\n7", 0},
      {"1.5mm", 1.5},      {"", 0},
      {"1e", 1},           {"5E-400", 5e-308},
      {"-", -0.0},         {"1e99999999999999999999", 1.0000000000000006e308},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    EXPECT_DOUBLE_EQ(to_double(text), expected);
    EXPECT_EQ(std::signbit(to_double(text)), std::signbit(expected));
  }
  // Exactly: EXPECT_DOUBLE_EQ would take 1e308 too.
  EXPECT_EQ(to_double("1e400"), 1.0000000000000006e308);
  // A name views the file's bytes: the number ends with the view.
  EXPECT_EQ(to_double(std::string_view("1.25e3", 3)), 1.2);
  EXPECT_EQ(to_double(std::string_view("1e34", 3)), 1000);
}

}  // namespace
}  // namespace zcore
