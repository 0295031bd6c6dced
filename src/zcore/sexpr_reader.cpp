#include "zcore/sexpr_reader.h"

#include "zcore/model_exception.h"

#include <ios>
#include <memory>
#include <string>
#include <vector>

namespace zcore {

namespace {

[[noreturn]] void throw_stream_error(const char* message) {
  throw std::ios_base::failure(message, std::io_errc::stream);
}

// The elements read so far of one list; frees them if reading fails.
struct pending_nodes {
  std::vector<basenode*> nodes;

  // A place for the next node, made before the node so that a failing
  // allocation cannot lose it.
  basenode*& add_slot() {
    if (nodes.empty()) nodes.reserve(4);
    nodes.push_back(nullptr);
    return nodes.back();
  }

  ~pending_nodes() {
    for (basenode* node : nodes) delete node;
  }
};

}  // namespace

bool is_blank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

char unescape_char(unsigned char c) {
  switch (c) {
    case 'n':
      return '\n';
    case 't':
      return '\t';
    case 'r':
      return '\r';
    case 'f':
      return '\f';
    case 'v':
      return '\v';
    default:
      return static_cast<char>(c);
  }
}

basenode* read_sexpr(StreamModelAdapterBase& in, std::size_t depth) {
  if (depth > kMaxListDepth)
    throw ModelException("Lists nested deeper than 512 levels");
  int c = in.get();
  if (depth == 0 && !in.good()) throw_stream_error("Failed to read stream.");

  // The list's first element becomes its name, so it is kept apart as a
  // string rather than as a node that would be deleted again.
  std::string head;
  bool has_head = false;
  bool head_has_elements = false;
  pending_nodes rest;
  std::string* atom = nullptr;
  enum { between, plain, quoted } state = between;
  bool escaped = false;

  for (;; c = in.get()) {
    if (!in.good()) throw_stream_error("Unexpected EOF");
    const char b = static_cast<char>(c);
    if (state == quoted) {
      if (escaped) {
        atom->push_back(unescape_char(static_cast<unsigned char>(b)));
        escaped = false;
      } else if (b == '\\') {
        escaped = true;
      } else if (b == '"') {
        state = between;
      } else {
        atom->push_back(b);
      }
      continue;
    }
    if (b == '(') {
      basenode* list = read_sexpr(in, depth + 1);
      if (depth == 0) return list;
      // A nested list ends a pending atom, so `b(c d)e` gives b, c, e.
      state = between;
      if (!list) continue;
      std::unique_ptr<basenode> owned(list);
      if (has_head) {
        basenode*& slot = rest.add_slot();
        slot = owned.release();
      } else {
        has_head = true;
        head_has_elements = !list->children.empty();
        head = std::move(list->name);
      }
    } else if (b == ')') {
      if (!has_head) return nullptr;
      if (head_has_elements)
        throw ModelException("The first atom (aka-name) must be POD.");
      return new basenode(std::move(head), std::move(rest.nodes));
    } else if (is_blank(b)) {
      state = between;
    } else if (state == plain) {
      atom->push_back(b);
    } else {
      if (has_head) {
        basenode*& slot = rest.add_slot();
        slot = new basenode(std::string());
        atom = &slot->name;
      } else {
        has_head = true;
        atom = &head;
      }
      if (b == '"') {
        state = quoted;
      } else {
        state = plain;
        atom->push_back(b);
      }
    }
  }
}

}  // namespace zcore
