#include "zcore/sexpr_reader.h"

#include "zcore/model_exception.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace zcore {

// Makes the nodes of a read tree, all in the tree's arena but the root,
// which holds the arena.
class tree_builder {
public:
  static basenode* atom(node_arena& arena, node_name name, basenode* parent) {
    return ::new (arena.allocate_node()) basenode(name, parent, node_list());
  }

  // A list made in the room taken for it when it opened, which its
  // elements already name as their parent.
  static basenode* list(node_arena& arena, void* room, node_name name,
                        basenode* parent, basenode* const* elements,
                        std::size_t count) {
    return ::new (room) basenode(name, parent, copy(arena, elements, count));
  }

  static basenode* root(std::unique_ptr<node_arena> arena, node_name name,
                        basenode* const* elements, std::size_t count) {
    const node_list children = copy(*arena, elements, count);
    basenode* made = new basenode(name, nullptr, children);
    made->arena_ = std::move(arena);
    for (basenode* child : made->children) child->parent = made;
    return made;
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
};

namespace {

// How the reader treats a byte outside quotes. A NUL may be the end of the
// input, which is followed by NULs; elsewhere it is an atom's byte.
enum class byte_kind : unsigned char { atom, blank, open, close, quote, nul };

struct byte_kinds {
  byte_kind of[256];

  constexpr byte_kinds() : of() {
    for (int c = '\t'; c <= '\r'; ++c) of[c] = byte_kind::blank;
    of[static_cast<unsigned char>(' ')] = byte_kind::blank;
    of[static_cast<unsigned char>('(')] = byte_kind::open;
    of[static_cast<unsigned char>(')')] = byte_kind::close;
    of[static_cast<unsigned char>('"')] = byte_kind::quote;
    of[0] = byte_kind::nul;
  }
};

constexpr byte_kinds kKinds;

byte_kind kind_of(char b) {
  return kKinds.of[static_cast<unsigned char>(b)];
}

// A blank or a parenthesis: quotes and backslashes are ordinary bytes in
// a plain atom.
bool ends_plain_atom(char b) {
  const byte_kind kind = kind_of(b);
  return kind == byte_kind::blank || kind == byte_kind::open ||
         kind == byte_kind::close;
}

// The reader scans eight bytes at a time: the input is followed by this
// many NULs, so a word read at any byte before its end stays in bounds.
constexpr std::size_t kWord = sizeof(std::uint64_t);
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the first byte of a word is its lowest");

constexpr std::uint64_t repeated(unsigned char b) {
  return 0x0101010101010101ULL * b;
}

std::uint64_t word_at(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, kWord);
  return word;
}

// The high bit of the first byte of `word` below `limit` (at most 0x80),
// and possibly of later bytes: a borrow only runs upwards.
std::uint64_t bytes_below(std::uint64_t word, unsigned char limit) {
  return (word - repeated(limit)) & ~word & repeated(0x80);
}

std::size_t first_marked(std::uint64_t marks) {
  return static_cast<std::size_t>(__builtin_ctzll(marks)) / 8;
}

// One list being read: its name (the first element) once known, and where
// its other elements begin on the element stack.
struct open_list {
  node_name head;
  bool has_head = false;
  // The `(` of a head that is a list with elements, which fails the list.
  const char* bad_head = nullptr;
  // Where this list began, for the head it gives its parent.
  const char* opened = nullptr;
  // The arena's room for the node of a list below the root, taken when it
  // opens so that its elements are made with their parent; null for the
  // root, which adopts its elements when it closes.
  void* room = nullptr;
  std::size_t from = 0;
};

// The elements of every open list, innermost last, and the lists
// themselves, kept from one read to the next on a thread.
struct reader_stacks {
  std::vector<basenode*> elements;
  std::vector<open_list> lists;
};

// One read: the whole input in the arena of the tree, and the elements of
// every open list, innermost last.
class reader {
public:
  reader(StreamModelAdapterBase& in, std::size_t root_depth)
      : root_depth(root_depth), stacks(spare_stacks()) {
    gather(in);
    if (stacks.elements.empty()) stacks.elements.resize(256);
    if (stacks.lists.size() < kMaxListDepth + 1)
      stacks.lists.resize(kMaxListDepth + 1);
    top = stacks.elements.data();
    limit = top + stacks.elements.size();
  }

  // The element stack stays for the next read, unless a huge file grew
  // it: it would stay for the program's life.
  ~reader() {
    if (stacks.elements.size() > kKeptElements) {
      stacks.elements.clear();
      stacks.elements.shrink_to_fit();
    }
  }

  basenode* read(std::size_t depth);

private:
  static constexpr std::size_t kKeptElements = 1 << 13;
  static reader_stacks& spare_stacks() {
    thread_local reader_stacks kept;
    return kept;
  }

  // Takes the whole input into the arena, and the NULs behind it. A source
  // that fails tells where it stopped.
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
    const std::size_t size = text.size();
    text.append(kWord, '\0');
    first = at = text.data();
    stop = first + size;
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

  void push(basenode* element) {
    if (top == limit) grow();
    *top++ = element;
  }
  void grow() {
    const std::size_t used =
        static_cast<std::size_t>(top - stacks.elements.data());
    stacks.elements.resize(2 * stacks.elements.size());
    top = stacks.elements.data() + used;
    limit = stacks.elements.data() + stacks.elements.size();
  }
  std::size_t height() const {
    return static_cast<std::size_t>(top - stacks.elements.data());
  }

  const char* plain_atom_end(const char* p) const;
  node_name plain_atom();
  node_name quoted_atom();
  void element(open_list& list, node_name name);
  basenode* close(const open_list& list, std::size_t depth);

  // A list node made at this depth or above is the result, which keeps the
  // arena.
  std::size_t root_depth;
  std::unique_ptr<node_arena> arena = std::make_unique<node_arena>();
  // The input, and the next byte to read; NULs follow `stop`.
  const char* first = nullptr;
  const char* at = nullptr;
  const char* stop = nullptr;
  reader_stacks& stacks;
  basenode** top = nullptr;
  basenode** limit = nullptr;
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

// The first blank, parenthesis or end of input from `p`, which is in a
// plain atom. Every byte that ends one is below 0x2A; a word without such
// bytes is passed whole.
const char* reader::plain_atom_end(const char* p) const {
  for (;;) {
    const std::uint64_t low = bytes_below(word_at(p), 0x2A);
    if (!low) {
      p += kWord;
      continue;
    }
    p += first_marked(low);
    if (ends_plain_atom(*p) || p == stop) return p;
    ++p;
  }
}

// The plain atom that begins at `at`, which it reads. It runs to a blank
// or a parenthesis; a nested list ends it too, so `b(c d)e` gives b, c, e.
node_name reader::plain_atom() {
  const char* start = at;
  at = plain_atom_end(at + 1);
  return node_name(start, static_cast<std::size_t>(at - start));
}

// The text of the quoted atom whose opening quote was just read, which it
// reads with its closing quote. Parentheses, blanks and line ends are
// ordinary bytes in quotes. Without escapes the name views the input;
// with them it is a copy, so that the input stays as the file has it.
node_name reader::quoted_atom() {
  const char* start = at;
  for (;;) {
    const std::uint64_t word = word_at(at);
    const std::uint64_t marks = bytes_below(word, 1) |
                                bytes_below(word ^ repeated('"'), 1) |
                                bytes_below(word ^ repeated('\\'), 1);
    if (!marks) {
      at += kWord;
      continue;
    }
    at += first_marked(marks);
    if (*at != '\0') break;
    if (at == stop) fail_at_end();
    ++at;
  }
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

// An atom or list that is complete names the list or joins it.
void reader::element(open_list& list, node_name name) {
  if (!list.has_head) {
    list.has_head = true;
    list.head = name;
  } else {
    push(tree_builder::atom(*arena, name, static_cast<basenode*>(list.room)));
  }
}

// The node of the list whose `)` was just read: null for `()`.
basenode* reader::close(const open_list& list, std::size_t depth) {
  if (!list.has_head) return nullptr;
  if (list.bad_head)
    throw ModelException("The first atom (aka-name) must be POD.",
                         position_at(list.bad_head));
  basenode* const* elements = stacks.elements.data() + list.from;
  const std::size_t count = height() - list.from;
  if (depth <= root_depth)
    return tree_builder::root(std::move(arena), list.head, elements, count);
  const open_list& parent = (&list)[-1];
  return tree_builder::list(*arena, list.room, list.head,
                            static_cast<basenode*>(parent.room), elements,
                            count);
}

// Reads the list levels from `depth` on, the open lists kept on a stack
// rather than by recursion: a list costs a few stores, not a call.
basenode* reader::read(std::size_t depth) {
  if (depth > kMaxListDepth)
    throw ModelException("Lists nested deeper than 512 levels",
                         position_at(at - 1));
  if (at == stop && depth == 0) throw read_failure("Failed to read stream.");

  const std::size_t base = depth;
  open_list* list = &stacks.lists[0];
  *list = open_list();
  list->from = height();

  for (;;) {
    // Blanks come before most tokens: they are passed here rather than
    // through the dispatch.
    byte_kind kind = kind_of(*at);
    if (kind == byte_kind::blank) {
      for (++at; (kind = kind_of(*at)) == byte_kind::blank;) ++at;
    }
    switch (kind) {
      case byte_kind::blank:
        break;
      case byte_kind::nul:
        if (at == stop) fail_at_end();
        [[fallthrough]];
      case byte_kind::atom:
        element(*list, plain_atom());
        break;
      case byte_kind::quote:
        ++at;
        element(*list, quoted_atom());
        break;
      case byte_kind::open: {
        const char* opened = at++;
        if (depth + 1 > kMaxListDepth)
          throw ModelException("Lists nested deeper than 512 levels",
                               position_at(opened));
        ++depth;
        ++list;
        *list = open_list();
        list->opened = opened;
        list->from = height();
        if (depth > root_depth) list->room = arena->allocate_node();
        // Nearly every list begins with its name.
        if (kind_of(*at) == byte_kind::atom) {
          list->has_head = true;
          list->head = plain_atom();
        }
        break;
      }
      case byte_kind::close: {
        ++at;
        basenode* made = close(*list, depth);
        top = stacks.elements.data() + list->from;
        if (depth == base) return made;
        const char* opened = list->opened;
        --depth;
        --list;
        // At depth 0 the first list is the result: the rest of the input
        // is not read.
        if (depth == 0) return made;
        if (!made) break;
        if (list->has_head) {
          push(made);
        } else {
          list->has_head = true;
          list->head = made->name;
          if (!made->children.empty()) list->bad_head = opened;
        }
        break;
      }
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
