#pragma once

#include "zcore/nocopy.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace zcore {

class node_arena;

// One node of an S-expression tree: an atom (no children) or a list named
// after its first atom. A node owns its children.
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
  // share it; null when none.
  basenode* find(const std::string& name) const;
  bool has(const std::string& name) const { return find(name) != nullptr; }
  // Applies find for each name in turn; an empty path gives this node.
  basenode* find(const std::vector<std::string>& path) const;

  // Makes this node (a root) keep the arena its descendants were made in:
  // the arena's memory goes when this node is deleted.
  void keep_arena(std::unique_ptr<node_arena> arena);

  std::string name;
  basenode* parent = nullptr;
  std::vector<basenode*> children;
  // The children sorted by name; among equal names the newer comes first.
  std::vector<basenode*> index;

private:
  std::unique_ptr<node_arena> arena_;
};

// Memory for the nodes of one tree, taken in blocks: a reader makes
// thousands of nodes and frees them all at once. Deleting a node made here
// runs its destructor; the memory stays until the arena is destroyed, so
// the arena must outlive every node made in it.
class node_arena : private nocopy {
public:
  node_arena() = default;
  ~node_arena();

  // Room for one node; construct it there with `::new`.
  void* allocate();

private:
  std::vector<void*> blocks;
  char* next = nullptr;
  char* end = nullptr;
};

}  // namespace zcore
