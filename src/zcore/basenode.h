#pragma once

#include "zcore/nocopy.h"

#include <string>
#include <vector>

namespace zcore {

// One node of an S-expression tree: an atom (no children) or a list named
// after its first atom. A node owns its children.
class basenode : private nocopy {
public:
  explicit basenode(std::string name);
  // Adopts the elements in order; this node deletes them when destroyed.
  basenode(std::string name, std::vector<basenode*> elements);
  virtual ~basenode();

  // The child of that exact name; the last in input order when several
  // share it; null when none.
  basenode* find(const std::string& name) const;
  bool has(const std::string& name) const { return find(name) != nullptr; }
  // Applies find for each name in turn; an empty path gives this node.
  basenode* find(const std::vector<std::string>& path) const;

  std::string name;
  basenode* parent = nullptr;
  std::vector<basenode*> children;
  // The children sorted by name; among equal names the newer comes first.
  std::vector<basenode*> index;
};

}  // namespace zcore
