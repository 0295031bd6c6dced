#include "zcore/sexpr_reader.h"

#include "zcore/model_exception.h"

#include <algorithm>
#include <ios>
#include <memory>
#include <string>
#include <vector>

namespace zcore {

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

// The bytes of the atom being read, so that its node is made once with its
// whole name; kept for the whole read, it seldom grows.
class atom_text {
public:
  atom_text() = default;
  atom_text(atom_text&& other) noexcept
      : bytes(std::move(other.bytes)), size(other.size) {
    other.size = 0;
  }
  atom_text& operator=(atom_text&& other) noexcept {
    bytes = std::move(other.bytes);
    size = other.size;
    other.size = 0;
    return *this;
  }

  void clear() { size = 0; }
  void push(char b) {
    if (size == bytes.size()) bytes.resize(bytes.empty() ? 64 : 2 * size);
    bytes[size++] = b;
  }
  void append(const char* first, const char* last) {
    const auto count = static_cast<std::size_t>(last - first);
    if (size + count > bytes.size())
      bytes.resize(std::max<std::size_t>(64, 2 * (size + count)));
    std::copy(first, last, bytes.data() + size);
    size += count;
  }
  std::string str() const { return std::string(bytes.data(), size); }
  std::size_t capacity() const { return bytes.capacity(); }

private:
  std::vector<char> bytes;
  std::size_t size = 0;
};

// One read: the input, the arena of the tree's nodes, and the elements of
// every open list, innermost last.
struct reader {
  reader(StreamModelAdapterBase& in, std::size_t root_depth)
      : root_depth(root_depth),
        input(std::move(spare().input)),
        pending(std::move(spare().pending)),
        text(std::move(spare().text)) {
    gather(in);
  }

  // The buffers go back for the next read: taking a kilobyte or more from
  // the C library makes it merge all its free memory first. Those a huge
  // file grew are given back instead: they would stay for the program's life.
  ~reader() {
    pending.clear();
    if (pending.capacity() <= kKeptPending)
      spare().pending = std::move(pending);
    if (text.capacity() <= kKeptText) spare().text = std::move(text);
    input.clear();
    if (input.capacity() <= kKeptInput) spare().input = std::move(input);
  }
  static constexpr std::size_t kKeptPending = 1 << 13;
  static constexpr std::size_t kKeptText = 1 << 16;
  static constexpr std::size_t kKeptInput = 1 << 20;

  struct buffers {
    std::string input;
    std::vector<basenode*> pending;
    atom_text text;
  };
  static buffers& spare() {
    thread_local buffers kept;
    return kept;
  }

  // A list node made at this depth or above is the result, which keeps the
  // arena.
  std::size_t root_depth;
  // The whole input, so that a fault can tell its line and column; `at` is
  // the next byte to read.
  std::string input;
  const char* at = nullptr;
  const char* stop = nullptr;
  std::unique_ptr<node_arena> arena = std::make_unique<node_arena>();
  std::vector<basenode*> pending;
  atom_text text;

  basenode* read(std::size_t depth);

  // Reads the whole input. A source that fails tells where it stopped.
  void gather(StreamModelAdapterBase& in) {
    input.clear();
    try {
      for (std::string_view block = in.block(); !block.empty();
           block = in.block())
        input.append(block);
    } catch (const read_failure& failure) {
      if (input.empty()) throw;
      throw failure.placed(position_at(input.data() + input.size()));
    }
    at = input.data();
    stop = at + input.size();
  }

  // The line and column of the byte at `p`; a column counts characters
  // (UTF-8 sequences), not bytes.
  source_position position_at(const char* p) const {
    const char* line_start = input.data();
    source_position where;
    where.line = 1;
    for (const char* c = input.data(); c != p; ++c) {
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

  // The next byte; an input that ends inside a list throws.
  char next() {
    if (at == stop) fail_at_end();
    return *at++;
  }
  // Reads up to and with the first byte for which `ends` holds, which it
  // returns; the bytes before go to `text`, or nowhere.
  template <typename Ends>
  char take_until(Ends ends, bool keep = true) {
    const char* end = std::find_if(at, stop, ends);
    if (keep) text.append(at, end);
    at = end;
    if (at == stop) fail_at_end();
    return *at++;
  }
  template <typename Ends>
  char skip_until(Ends ends) {
    return take_until(ends, false);
  }

  basenode* make_atom() {
    void* slot = arena->allocate();
    return ::new (slot) basenode(text.str());
  }

  basenode* make_list(std::size_t depth, std::size_t first, std::string name) {
    std::vector<basenode*> elements(pending.begin() + first, pending.end());
    const bool root = depth <= root_depth;
    void* slot =
        root ? basenode::operator new(sizeof(basenode)) : arena->allocate();
    // The node's constructor deletes its elements if it fails.
    pending.resize(first);
    basenode* list;
    try {
      list = ::new (slot) basenode(std::move(name), std::move(elements));
    } catch (...) {
      if (root) basenode::operator delete(slot);
      throw;
    }
    if (root) list->keep_arena(std::move(arena));
    return list;
  }
};

// Deletes the elements a list level read when it fails.
struct level_guard {
  std::vector<basenode*>& pending;
  std::size_t first;

  ~level_guard() {
    for (std::size_t i = first; i < pending.size(); ++i) delete pending[i];
    pending.resize(first);
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

basenode* reader::read(std::size_t depth) {
  if (depth > kMaxListDepth)
    throw ModelException("Lists nested deeper than 512 levels",
                         position_at(at - 1));
  if (at == stop) {
    if (depth == 0) throw read_failure("Failed to read stream.");
    fail_at_end();
  }
  char b = *at++;

  // The list's first element becomes its name, so it is kept apart as a
  // string rather than as a node that would be deleted again.
  std::string head;
  bool has_head = false;
  // The `(` of a head that is a list with elements, which fails the list.
  const char* bad_head = nullptr;
  const std::size_t first = pending.size();
  level_guard guard{pending, first};

  // The atom in `text` is complete: it names the list or joins it.
  const auto end_atom = [&] {
    if (!has_head) {
      has_head = true;
      head = text.str();
    } else {
      pending.push_back(nullptr);
      pending.back() = make_atom();
    }
  };

  for (;;) {
    switch (kind_of(b)) {
      case byte_kind::blank:
        b = skip_until([](char c) { return kind_of(c) != byte_kind::blank; });
        break;
      case byte_kind::atom:
        // A plain atom runs to a blank or a parenthesis; a nested list ends
        // it too, so `b(c d)e` gives b, c, e. Quotes and backslashes are
        // ordinary bytes here.
        text.clear();
        text.push(b);
        b = take_until([](char c) {
          return kind_of(c) != byte_kind::atom &&
                 kind_of(c) != byte_kind::quote;
        });
        end_atom();
        break;
      case byte_kind::quote:
        // Parentheses, blanks and line ends are ordinary bytes in quotes.
        text.clear();
        while ((b = take_until([](char c) { return c == '"' || c == '\\'; })) ==
               '\\')
          text.push(unescape_char(static_cast<unsigned char>(next())));
        end_atom();
        b = next();
        break;
      case byte_kind::open: {
        const char* opened = at - 1;
        basenode* list = read(depth + 1);
        if (depth == 0) return list;
        if (list) {
          std::unique_ptr<basenode> owned(list);
          if (has_head) {
            pending.push_back(nullptr);
            pending.back() = owned.release();
          } else {
            has_head = true;
            if (!list->children.empty()) bad_head = opened;
            head = std::move(list->name);
          }
        }
        b = next();
        break;
      }
      case byte_kind::close:
        if (!has_head) return nullptr;
        if (bad_head)
          throw ModelException("The first atom (aka-name) must be POD.",
                               position_at(bad_head));
        return make_list(depth, first, std::move(head));
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
