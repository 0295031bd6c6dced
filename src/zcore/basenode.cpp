#include "zcore/basenode.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <ostream>

namespace zcore {

namespace {

// std::string's order (bytes compared as unsigned), deciding most pairs of
// names by their first byte without a call into the C library.
bool before(const node_name& a, const node_name& b) {
  if (!a.empty() && !b.empty() && a[0] != b[0])
    return static_cast<unsigned char>(a[0]) < static_cast<unsigned char>(b[0]);
  return a < b;
}

bool node_less(const basenode* a, const basenode* b) {
  return before(a->name, b->name);
}

// Up to this many children a search reads them all, from the last: a
// sorted index would cost more to build than it saves.
constexpr std::size_t kScanLimit = 24;
// A longer list is read whole by its first few searches too: a footprint's
// root is searched a few times per load, and sorting its children for them
// cost more than reading them.
constexpr unsigned char kScansBeforeIndex = 8;

using origin = node_arena::origin;
constexpr std::size_t kHeader = node_arena::kNodeHeader;

// Below the size at which freeing a block makes the C library merge all
// its free memory, which cost more than the reading itself.
constexpr std::size_t kBlockSize = 32 * 1024 - 64;

// Memory of deleted trees, kept for the next read: a viewer or an index
// reads one file after another. Up to 64 blocks, and the largest input
// buffer up to 4 MiB.
class spare_memory {
public:
  ~spare_memory() {
    for (void* block : blocks) ::operator delete(block);
  }
  void* take_block() {
    if (blocks.empty()) return ::operator new(kBlockSize);
    void* block = blocks.back();
    blocks.pop_back();
    return block;
  }
  void give_block(void* block) noexcept {
    if (blocks.size() < kKeptBlocks) {
      blocks.push_back(block);
    } else {
      ::operator delete(block);
    }
  }
  std::string take_text() {
    std::string taken = std::move(text);
    taken.clear();
    return taken;
  }
  void give_text(std::string& given) noexcept {
    if (given.capacity() <= kKeptText && given.capacity() > text.capacity())
      text.swap(given);
  }

private:
  static constexpr std::size_t kKeptBlocks = 64;
  static constexpr std::size_t kKeptText = std::size_t(4) << 20;
  std::vector<void*> blocks = reserved();
  std::string text;

  static std::vector<void*> reserved() {
    std::vector<void*> empty;
    empty.reserve(kKeptBlocks);
    return empty;
  }
};

spare_memory& spares() {
  thread_local spare_memory memory;
  return memory;
}

void* after_header(void* block, origin from) {
  *static_cast<origin*>(block) = from;
  return static_cast<char*>(block) + kHeader;
}

// A copy of `text` on the heap, for a node made with `new`.
node_name heap_copy(const std::string& text) {
  char* copy = new char[text.size() + 1];
  std::memcpy(copy, text.c_str(), text.size() + 1);
  return node_name(copy, text.size());
}

}  // namespace

std::string operator+(std::string a, const node_name& b) {
  a.append(b.data(), b.size());
  return a;
}

std::string operator+(const node_name& a, std::string_view b) {
  std::string joined = a.str();
  joined.append(b);
  return joined;
}

std::string operator+(const node_name& a, const node_name& b) {
  return a + b.view();
}

std::ostream& operator<<(std::ostream& out, const node_name& name) {
  return out << name.view();
}

basenode::basenode(std::string text) : name(heap_copy(text)), owns_heap(true) {
}

basenode::basenode(std::string text, std::vector<basenode*> elements)
    : owns_heap(true) {
  try {
    name = heap_copy(text);
    auto* array = new basenode*[elements.size()];
    std::copy(elements.begin(), elements.end(), array);
    children = node_list(array, elements.size());
  } catch (...) {
    delete[] name.data();
    for (basenode* element : elements) delete element;
    throw;
  }
  for (basenode* child : children) child->parent = this;
}

basenode::~basenode() {
  if (owns_heap) {
    for (basenode* child : children) delete child;
    delete[] children.begin();
    delete[] index.begin();
    delete[] name.data();
  }
}

void* basenode::operator new(std::size_t size) {
  return after_header(::operator new(kHeader + size), origin::heap);
}

void basenode::operator delete(void* node) noexcept {
  if (!node) return;
  void* header = static_cast<char*>(node) - kHeader;
  if (*static_cast<origin*>(header) == origin::heap) ::operator delete(header);
}

basenode* basenode::find(std::string_view wanted) const {
  if (children.size() > kScanLimit &&
      (!index.empty() || scans++ >= kScansBeforeIndex))
    return find_in_index(wanted);
  // Length and first byte decide most names without a call to memcmp.
  const std::size_t size = wanted.size();
  for (std::size_t i = children.size(); i-- > 0;) {
    const node_name& name = children[i]->name;
    if (name.size() == size &&
        (size == 0 || (name[0] == wanted[0] &&
                       std::memcmp(name.data(), wanted.data(), size) == 0)))
      return children[i];
  }
  return nullptr;
}

basenode* basenode::find_in_index(std::string_view wanted) const {
  if (index.empty()) build_index();
  const node_name key(wanted.data(), wanted.size());
  const auto it =
      std::lower_bound(index.begin(), index.end(), key,
                       [](const basenode* node, const node_name& name) {
                         return before(node->name, name);
                       });
  return it != index.end() && (*it)->name == wanted ? *it : nullptr;
}

basenode* basenode::find(const std::vector<std::string>& path) const {
  const basenode* node = this;
  for (const std::string& step : path) {
    node = node->find(step);
    if (!node) return nullptr;
  }
  return const_cast<basenode*>(node);
}

node_arena* basenode::tree_arena() const {
  for (const basenode* node = this; node; node = node->parent)
    if (node->arena_) return node->arena_.get();
  return nullptr;
}

void basenode::build_index() const {
  node_arena* arena = owns_heap ? nullptr : tree_arena();
  const std::size_t size = children.size();
  auto* array =
      arena ? static_cast<basenode**>(arena->allocate(size * sizeof(basenode*)))
            : new basenode*[size];
  // Reversed, then stably sorted: equal names end up newest first.
  std::reverse_copy(children.begin(), children.end(), array);
  std::stable_sort(array, array + size, node_less);
  index = node_list(array, size);
}

node_arena::node_arena() : text_(spares().take_text()) {
}

node_arena::~node_arena() {
  for (void* block : blocks) spares().give_block(block);
  for (void* block : large) ::operator delete(block);
  spares().give_text(text_);
}

void* node_arena::allocate_more(std::size_t size) {
  if (size > kBlockSize / 4) {
    // Reserved first, so that the memory is never lost to a failed push.
    large.reserve(large.size() + 1);
    large.push_back(::operator new(size));
    return large.back();
  }
  // Reserved first, so that a new block is never lost to a failed push.
  blocks.reserve(blocks.size() + 1);
  auto* block = static_cast<char*>(spares().take_block());
  blocks.push_back(block);
  next = block + size;
  end = block + kBlockSize;
  return block;
}

}  // namespace zcore
