#pragma once

#include "zcore/nocopy.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zcore {

class basenode;
class node_arena;

// The text of a node: a view of bytes its tree holds (for a tree the reader
// made, the file's own bytes), compared, searched and converted as a
// std::string would be.
class node_name {
public:
  static constexpr std::size_t npos = std::string_view::npos;

  node_name() = default;
  node_name(const char* data, std::size_t size) : data_(data), size_(size) {}

  std::string_view view() const { return {data_, size_}; }
  operator std::string_view() const { return view(); }
  operator std::string() const { return std::string(data_, size_); }
  std::string str() const { return std::string(data_, size_); }

  const char* data() const { return data_; }
  std::size_t size() const { return size_; }
  std::size_t length() const { return size_; }
  bool empty() const { return size_ == 0; }
  char operator[](std::size_t i) const { return data_[i]; }
  char front() const { return data_[0]; }
  char back() const { return data_[size_ - 1]; }
  const char* begin() const { return data_; }
  const char* end() const { return data_ + size_; }

  int compare(std::string_view other) const { return view().compare(other); }
  std::size_t find(std::string_view part, std::size_t from = 0) const {
    return view().find(part, from);
  }
  std::size_t find(char c, std::size_t from = 0) const {
    return view().find(c, from);
  }
  std::size_t rfind(std::string_view part, std::size_t from = npos) const {
    return view().rfind(part, from);
  }
  std::string substr(std::size_t from, std::size_t count = npos) const {
    return std::string(view().substr(from, count));
  }

private:
  const char* data_ = "";
  std::size_t size_ = 0;
};

inline bool operator==(const node_name& a, const node_name& b) {
  return a.view() == b.view();
}
inline bool operator==(const node_name& a, std::string_view b) {
  return a.view() == b;
}
inline bool operator==(std::string_view a, const node_name& b) {
  return a == b.view();
}
inline bool operator!=(const node_name& a, const node_name& b) {
  return !(a == b);
}
inline bool operator!=(const node_name& a, std::string_view b) {
  return !(a == b);
}
inline bool operator!=(std::string_view a, const node_name& b) {
  return !(a == b);
}
inline bool operator<(const node_name& a, const node_name& b) {
  return a.view() < b.view();
}
inline bool operator<(const node_name& a, std::string_view b) {
  return a.view() < b;
}
inline bool operator<(std::string_view a, const node_name& b) {
  return a < b.view();
}
std::string operator+(std::string a, const node_name& b);
std::string operator+(const node_name& a, std::string_view b);
std::string operator+(const node_name& a, const node_name& b);
std::ostream& operator<<(std::ostream& out, const node_name& name);

// Nodes in input order: a view of an array its tree holds.
class node_list {
public:
  node_list() = default;
  node_list(basenode* const* data, std::size_t size)
      : data_(data), size_(size) {}

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  basenode* operator[](std::size_t i) const { return data_[i]; }
  basenode* front() const { return data_[0]; }
  basenode* back() const { return data_[size_ - 1]; }
  basenode* const* begin() const { return data_; }
  basenode* const* end() const { return data_ + size_; }

private:
  basenode* const* data_ = nullptr;
  std::size_t size_ = 0;
};

// One node of an S-expression tree: an atom (no children) or a list named
// after its first atom. A tree the reader made lives in one arena, which
// its root holds: deleting the root frees the whole tree at once. A node
// made with `new` owns its name, its children and their memory.
class basenode : private nocopy {
public:
  explicit basenode(std::string name);
  // Adopts the elements in order; this node deletes them when destroyed.
  basenode(std::string name, std::vector<basenode*> elements);
  virtual ~basenode();

  // Nodes made with `new` come from the heap, those of a node_arena from
  // its blocks; `delete` works on both and gives back only heap memory.
  static void* operator new(std::size_t size);
  static void operator delete(void* node) noexcept;

  // The child of that exact name; the last in input order when several
  // share it; null when none. A list of many children is searched through
  // `index`, which the first search builds: a tree is searched by one
  // thread at a time.
  basenode* find(std::string_view name) const;
  bool has(std::string_view name) const { return find(name) != nullptr; }
  // Applies find for each name in turn; an empty path gives this node.
  basenode* find(const std::vector<std::string>& path) const;

  node_name name;
  basenode* parent = nullptr;
  node_list children;
  // The children sorted by name, among equal names the newer first; empty
  // until a search needs it.
  mutable node_list index;

private:
  friend class tree_builder;
  // A node of a tree in `arena`, its name and children held there.
  basenode(node_name name, basenode* parent, node_list children) noexcept
      : name(name), parent(parent), children(children) {}

  // Kept apart from the scan, which then needs few registers.
  [[gnu::noinline]] basenode* find_in_index(std::string_view wanted) const;
  void build_index() const;
  node_arena* tree_arena() const;

  // Set for the root of a read tree; the arena goes with it.
  std::unique_ptr<node_arena> arena_;
  // What a node made with `new` holds on the heap.
  bool owns_heap = false;
  // The searches that read the children before `index` was built.
  mutable unsigned char scans = 0;
};

// Memory for one tree: its nodes, their children's arrays and the input's
// bytes, taken in blocks and freed at once. A node made here is never
// destroyed: it holds nothing but memory of the arena.
class node_arena : private nocopy {
public:
  node_arena();
  ~node_arena();

  // Room for `size` bytes aligned for a pointer. Inline: a read takes
  // room for every node and every list.
  void* allocate(std::size_t size) {
    size = (size + kAlign - 1) / kAlign * kAlign;
    if (static_cast<std::size_t>(end - next) < size) return allocate_more(size);
    void* room = next;
    next += size;
    return room;
  }
  // Room for one node, behind the header that operator delete reads;
  // construct it there with `::new`.
  void* allocate_node() {
    auto* slot = static_cast<char*>(allocate(kNodeSlot));
    *reinterpret_cast<origin*>(slot) = origin::arena;
    return slot + kNodeHeader;
  }
  // The input's bytes, which the tree's names view: filled before the
  // first name is made, and not changed after.
  std::string& text() { return text_; }

  // Every node is preceded by a header that tells where its memory came
  // from, so that `delete` frees heap nodes and leaves arena nodes to their
  // arena.
  enum class origin : std::uint8_t { heap, arena };
  static constexpr std::size_t kNodeHeader = alignof(basenode);
  static constexpr std::size_t kAlign = alignof(void*);
  static constexpr std::size_t kNodeSlot =
      kNodeHeader +
      (sizeof(basenode) + kNodeHeader - 1) / kNodeHeader * kNodeHeader;
  static_assert(kNodeHeader >= sizeof(origin));

private:
  // Room from a new block, or a block of its own for a large array.
  void* allocate_more(std::size_t size);

  std::vector<void*> blocks;
  // Arrays too large to share a block.
  std::vector<void*> large;
  char* next = nullptr;
  char* end = nullptr;
  std::string text_;
};

}  // namespace zcore
