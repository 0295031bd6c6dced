#include "zcore/model_exception.h"
#include "zcore/models.h"
#include "zcore/nodeview.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ios>
#include <sstream>
#include <string>

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

// The last child of that name, found by reading them all.
const zcore::basenode* last_named(const zcore::basenode* node,
                                  const zcore::node_name& name) {
  const zcore::basenode* last = nullptr;
  for (const zcore::basenode* child : node->children)
    if (child->name == name) last = child;
  return last;
}

// Every accessor on every node, and the tree's own promises: parents set,
// a search finds the last child of a name, and the index, once a search
// built it, is a sorted permutation of the children.
void walk(const zcore::basenode* node, const zcore::basenode* parent) {
  check(node->parent == parent);
  const bool few = node->children.size() <= 200;
  for (const zcore::basenode* child : node->children) {
    const zcore::basenode* found = node->find(child->name);
    check(few ? found == last_named(node, child->name)
              : found && found->name == child->name);
  }
  check(node->index.empty() || node->index.size() == node->children.size());
  for (std::size_t i = 1; i < node->index.size(); ++i)
    check(!(node->index[i]->name < node->index[i - 1]->name));
  const zcore::nodeview view(node);
  (void)view.first_text();
  (void)view.third_text();
  (void)view.tags();
  (void)view.at();
  (void)view.line();
  (void)view.pts();
  (void)view.drill_size();
  (void)view.drill_offset();
  (void)view.font();
  (void)view.width();
  (void)view.layer();
  for (const zcore::basenode* child : node->children) walk(child, node);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  zcore::S_Model model("module_parser");
  try {
    model.load(in);
  } catch (const zcore::ModelException&) {
    return 0;
  } catch (const std::ios_base::failure&) {
    return 0;
  }
  if (model.root()) walk(model.root(), nullptr);
  return 0;
}
