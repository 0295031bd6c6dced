#pragma once

#include "zcore/basenode.h"
#include "zcore/stream_model_adapter.h"

#include <cstddef>

namespace zcore {

// Lists nested deeper than this make the reader throw ModelException;
// real footprints nest fewer than ten levels.
constexpr std::size_t kMaxListDepth = 512;

// Reads the first top-level list of `in` in one pass over the input's
// bytes, which it takes whole: the tree keeps them, and its names view
// them. Returns the root (owned by the caller; deleting it frees the whole
// tree), or null for an empty list `()`. Throws read_failure (a
// std::ios_base::failure) on empty input or an early end, and
// ModelException for a list headed by a list with elements or too deep a
// nesting; each names the line and column where it was found.
basenode* read_sexpr(StreamModelAdapterBase& in, std::size_t depth);

// The space and the bytes 0x09 to 0x0D.
bool is_blank(char c);

// The byte an escape `\c` stands for: n, t, r, f, v are control bytes,
// every other byte stands for itself.
char unescape_char(unsigned char c);

}  // namespace zcore
