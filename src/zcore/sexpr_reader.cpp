#include "zcore/sexpr_reader.h"

#include "zcore/model_exception.h"

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace zcore {

// Makes the nodes of a read tree, all in the tree's arena but the root,
// which holds the arena.
class tree_builder {
public:
  static basenode* atom(node_arena& arena, node_name name) {
    return ::new (arena.allocate_node()) basenode(name, node_list());
  }

  static basenode* list(node_arena& arena, node_name name,
                        basenode* const* elements, std::size_t count) {
    return adopt(::new (arena.allocate_node())
                     basenode(name, copy(arena, elements, count)));
  }

  static basenode* root(std::unique_ptr<node_arena> arena, node_name name,
                        basenode* const* elements, std::size_t count) {
    const node_list children = copy(*arena, elements, count);
    basenode* made = new basenode(name, children);
    made->arena_ = std::move(arena);
    return adopt(made);
  }

private:
  static node_list copy(node_arena& arena, basenode* const* elements,
                        std::size_t count) {
    if (count == 0) return node_list();
    auto* array =
        static_cast<basenode**>(arena.allocate(count * sizeof(basenode*)));
    std::copy(elements, elements + count, array);
    return node_list(array, count);
  }

  static basenode* adopt(basenode* list) {
    for (basenode* child : list->children) child->parent = list;
    return list;
  }
};

namespace {

// How the reader treats a byte outside quotes.
enum class byte_kind : unsigned char { atom, blank, open, close, quote };

struct byte_kinds {
  byte_kind of[256];

  constexpr byte_kinds() : of() {
    for (int c = '\t'; c <= '\r'; ++c) of[c] = byte_kind::blank;
    of[static_cast<unsigned char>(' ')] = byte_kind::blank;
    of[static_cast<unsigned char>('(')] = byte_kind::open;
    of[static_cast<unsigned char>(')')] = byte_kind::close;
    of[static_cast<unsigned char>('"')] = byte_kind::quote;
  }
};

constexpr byte_kinds kKinds;

byte_kind kind_of(char b) {
  return kKinds.of[static_cast<unsigned char>(b)];
}

// Quotes and backslashes are ordinary bytes in a plain atom.
bool in_plain_atom(char b) {
  const byte_kind kind = kind_of(b);
  return kind == byte_kind::atom || kind == byte_kind::quote;
}

// One read: the whole input in the arena of the tree, and the elements of
// every open list, innermost last.
class reader {
public:
  reader(StreamModelAdapterBase& in, std::size_t root_depth)
      : root_depth(root_depth), pending(std::move(spare_pending())) {
    gather(in);
  }

  // The list buffer goes back for the next read, unless a huge file grew
  // it: it would stay for the program's life.
  ~reader() {
    pending.clear();
    if (pending.capacity() <= kKeptPending)
      spare_pending() = std::move(pending);
  }

  basenode* read(std::size_t depth);

private:
  static constexpr std::size_t kKeptPending = 1 << 13;
  static std::vector<basenode*>& spare_pending() {
    thread_local std::vector<basenode*> kept;
    return kept;
  }

  // Takes the whole input into the arena. A source that fails tells where
  // it stopped.
  void gather(StreamModelAdapterBase& in) {
    std::string& text = arena->text();
    try {
      for (std::string_view block = in.block(); !block.empty();
           block = in.block())
        text.append(block);
    } catch (const read_failure& failure) {
      if (text.empty()) throw;
      first = text.data();
      throw failure.placed(position_at(text.data() + text.size()));
    }
    first = at = text.data();
    stop = first + text.size();
  }

  // The line and column of the byte at `p`; a column counts characters
  // (UTF-8 sequences), not bytes.
  source_position position_at(const char* p) const {
    const char* line_start = first;
    source_position where;
    where.line = 1;
    for (const char* c = first; c != p; ++c) {
      if (*c == '\n') {
        ++where.line;
        line_start = c + 1;
      }
    }
    where.column = 1;
    for (const char* c = line_start; c != p; ++c)
      where.column += (static_cast<unsigned char>(*c) & 0xC0) != 0x80;
    return where;
  }
  [[noreturn]] void fail_at_end() const {
    throw read_failure("Unexpected EOF", position_at(stop));
  }

  node_name quoted_atom();
  basenode* make_list(std::size_t depth, std::size_t from, node_name name);

  // A list node made at this depth or above is the result, which keeps the
  // arena.
  std::size_t root_depth;
  std::unique_ptr<node_arena> arena = std::make_unique<node_arena>();
  // The input, and the next byte to read.
  const char* first = nullptr;
  const char* at = nullptr;
  const char* stop = nullptr;
  std::vector<basenode*> pending;
};

// Forgets the elements a list level gathered, when it ends or fails; the
// arena holds their memory.
struct level_guard {
  std::vector<basenode*>& pending;
  std::size_t from;

  ~level_guard() { pending.resize(from); }
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

// The text of the quoted atom whose opening quote was just read, which it
// reads with its closing quote. Parentheses, blanks and line ends are
// ordinary bytes in quotes. Without escapes the name views the input;
// with them it is a copy, so that the input stays as the file has it.
node_name reader::quoted_atom() {
  const char* start = at;
  while (at != stop && *at != '"' && *at != '\\') ++at;
  if (at == stop) fail_at_end();
  if (*at == '"')
    return node_name(start, static_cast<std::size_t>(at++ - start));
  std::string text(start, at);
  for (;;) {
    const char b = *at++;
    if (b == '"') break;
    if (b == '\\') {
      if (at == stop) fail_at_end();
      text.push_back(unescape_char(static_cast<unsigned char>(*at++)));
    } else {
      text.push_back(b);
    }
    if (at == stop) fail_at_end();
  }
  auto* copy = static_cast<char*>(arena->allocate(text.size() + 1));
  std::copy(text.begin(), text.end(), copy);
  return node_name(copy, text.size());
}

basenode* reader::make_list(std::size_t depth, std::size_t from,
                            node_name name) {
  basenode* const* elements = pending.data() + from;
  const std::size_t count = pending.size() - from;
  if (depth <= root_depth)
    return tree_builder::root(std::move(arena), name, elements, count);
  return tree_builder::list(*arena, name, elements, count);
}

basenode* reader::read(std::size_t depth) {
  if (depth > kMaxListDepth)
    throw ModelException("Lists nested deeper than 512 levels",
                         position_at(at - 1));
  if (at == stop && depth == 0) throw read_failure("Failed to read stream.");

  // The list's first element becomes its name; it makes no node.
  node_name head;
  bool has_head = false;
  // The `(` of a head that is a list with elements, which fails the list.
  const char* bad_head = nullptr;
  const std::size_t from = pending.size();
  level_guard guard{pending, from};

  // An atom or list that is complete names the list or joins it.
  const auto element = [&](node_name name) {
    if (!has_head) {
      has_head = true;
      head = name;
    } else {
      pending.push_back(tree_builder::atom(*arena, name));
    }
  };

  for (;;) {
    if (at == stop) fail_at_end();
    switch (kind_of(*at)) {
      case byte_kind::blank:
        for (++at; at != stop && kind_of(*at) == byte_kind::blank;) ++at;
        break;
      case byte_kind::atom: {
        // A plain atom runs to a blank or a parenthesis; a nested list ends
        // it too, so `b(c d)e` gives b, c, e.
        const char* start = at;
        for (++at; at != stop && in_plain_atom(*at);) ++at;
        element(node_name(start, static_cast<std::size_t>(at - start)));
        break;
      }
      case byte_kind::quote:
        ++at;
        element(quoted_atom());
        break;
      case byte_kind::open: {
        const char* opened = at++;
        basenode* list = read(depth + 1);
        if (depth == 0) return list;
        if (!list) break;
        if (has_head) {
          pending.push_back(list);
        } else {
          has_head = true;
          head = list->name;
          if (!list->children.empty()) bad_head = opened;
        }
        break;
      }
      case byte_kind::close:
        ++at;
        if (!has_head) return nullptr;
        if (bad_head)
          throw ModelException("The first atom (aka-name) must be POD.",
                               position_at(bad_head));
        return make_list(depth, from, head);
    }
  }
}

basenode* read_sexpr(StreamModelAdapterBase& in, std::size_t depth) {
  // At depth 0 the result is the first list, one level down, or what a
  // stray `)` closes.
  reader state(in, depth == 0 ? 1 : depth);
  return state.read(depth);
}

}  // namespace zcore
