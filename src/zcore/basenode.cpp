#include "zcore/basenode.h"

#include <algorithm>

namespace zcore {

namespace {

bool name_less(const basenode* node, const std::string& name) {
  return node->name < name;
}

// Up to this many children, inserting each at its lower bound is cheapest;
// above it the quadratic shifting shows (a BGA has thousands of pads).
constexpr std::size_t kInsertionLimit = 16;

}  // namespace

basenode::basenode(std::string name) : name(std::move(name)) {
}

basenode::basenode(std::string name, std::vector<basenode*> elements)
    : name(std::move(name)), children(std::move(elements)) {
  try {
    index.reserve(children.size());
    if (children.size() <= kInsertionLimit) {
      for (basenode* child : children) {
        index.insert(std::lower_bound(index.begin(), index.end(), child->name,
                                      name_less),
                     child);
      }
    } else {
      // Reversed, then stably sorted: equal names end up newest first, as
      // the insertion above orders them.
      index.assign(children.rbegin(), children.rend());
      std::stable_sort(index.begin(), index.end(),
                       [](const basenode* a, const basenode* b) {
                         return a->name < b->name;
                       });
    }
  } catch (...) {
    for (basenode* child : children) delete child;
    throw;
  }
  for (basenode* child : children) child->parent = this;
}

basenode::~basenode() {
  for (basenode* child : children) delete child;
}

basenode* basenode::find(const std::string& name) const {
  const auto it = std::lower_bound(index.begin(), index.end(), name, name_less);
  return it != index.end() && (*it)->name == name ? *it : nullptr;
}

basenode* basenode::find(const std::vector<std::string>& path) const {
  const basenode* node = this;
  for (const std::string& name : path) {
    node = node->find(name);
    if (!node) return nullptr;
  }
  return const_cast<basenode*>(node);
}

}  // namespace zcore
