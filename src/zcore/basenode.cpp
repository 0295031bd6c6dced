#include "zcore/basenode.h"

#include <algorithm>
#include <cstdint>
#include <new>

namespace zcore {

namespace {

// std::string's order (bytes compared as unsigned), deciding most pairs of
// names by their first byte without a call into the C library.
bool before(const std::string& a, const std::string& b) {
  if (!a.empty() && !b.empty() && a[0] != b[0])
    return static_cast<unsigned char>(a[0]) < static_cast<unsigned char>(b[0]);
  return a < b;
}

bool name_less(const basenode* node, const std::string& name) {
  return before(node->name, name);
}

bool node_less(const basenode* a, const basenode* b) {
  return before(a->name, b->name);
}

// Up to this many children, an insertion sort is cheapest; above it the
// quadratic shifting shows (a BGA has thousands of pads).
constexpr std::size_t kInsertionLimit = 16;

// Every node is preceded by a header that tells where its memory came from,
// so that `delete` frees heap nodes and leaves arena nodes to their arena.
enum class origin : std::uint8_t { heap, arena };
constexpr std::size_t kHeader = alignof(basenode);
static_assert(kHeader >= sizeof(origin));
constexpr std::size_t kSlot =
    kHeader + (sizeof(basenode) + kHeader - 1) / kHeader * kHeader;

// Below the size at which freeing a block makes the C library merge all
// its free memory, which cost more than the reading itself.
constexpr std::size_t kBlockSize = 32 * 1024 - 64;

// Blocks of deleted trees, kept for the next read (up to 2 MB): a viewer
// reads one file after another.
class spare_blocks {
public:
  ~spare_blocks() {
    for (void* block : blocks) ::operator delete(block);
  }
  void* take() {
    if (blocks.empty()) return ::operator new(kBlockSize);
    void* block = blocks.back();
    blocks.pop_back();
    return block;
  }
  void give(void* block) noexcept {
    if (blocks.size() < kKept) {
      blocks.push_back(block);
    } else {
      ::operator delete(block);
    }
  }

private:
  static constexpr std::size_t kKept = 64;
  std::vector<void*> blocks = reserved();

  static std::vector<void*> reserved() {
    std::vector<void*> empty;
    empty.reserve(kKept);
    return empty;
  }
};

spare_blocks& spares() {
  thread_local spare_blocks blocks;
  return blocks;
}

void* after_header(void* block, origin from) {
  *static_cast<origin*>(block) = from;
  return static_cast<char*>(block) + kHeader;
}

}  // namespace

basenode::basenode(std::string name) : name(std::move(name)) {
}

basenode::basenode(std::string name, std::vector<basenode*> elements)
    : name(std::move(name)), children(std::move(elements)) {
  try {
    // Reversed, then stably sorted: equal names end up newest first, each
    // inserted before the older ones.
    index.assign(children.rbegin(), children.rend());
    if (index.size() <= kInsertionLimit) {
      for (std::size_t i = 1; i < index.size(); ++i) {
        basenode* const node = index[i];
        std::size_t j = i;
        for (; j > 0 && node_less(node, index[j - 1]); --j)
          index[j] = index[j - 1];
        index[j] = node;
      }
    } else {
      std::stable_sort(index.begin(), index.end(), node_less);
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

void* basenode::operator new(std::size_t size) {
  return after_header(::operator new(kHeader + size), origin::heap);
}

void basenode::operator delete(void* node) noexcept {
  if (!node) return;
  void* header = static_cast<char*>(node) - kHeader;
  if (*static_cast<origin*>(header) == origin::heap) ::operator delete(header);
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

void basenode::keep_arena(std::unique_ptr<node_arena> arena) {
  arena_ = std::move(arena);
}

node_arena::~node_arena() {
  for (void* block : blocks) spares().give(block);
}

void* node_arena::allocate() {
  if (static_cast<std::size_t>(end - next) < kSlot) {
    // Reserved first, so that a new block is never lost to a failed push.
    blocks.reserve(blocks.size() + 1);
    auto* block = static_cast<char*>(spares().take());
    blocks.push_back(block);
    next = block;
    end = block + kBlockSize;
  }
  void* slot = next;
  next += kSlot;
  return after_header(slot, origin::arena);
}

}  // namespace zcore
