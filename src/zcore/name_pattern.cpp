#include "zcore/name_pattern.h"

#include <algorithm>
#include <cstring>

namespace zcore {

namespace {

using span = name_pattern::span;
using piece = name_pattern::piece;

constexpr std::size_t npos = std::string_view::npos;
// Pieces up to this long are tried at each position; longer ones run as a
// bit-parallel automaton, whose time does not grow with repetitions.
constexpr std::size_t kShortPiece = 16;
constexpr std::size_t kWordBits = 64;

bool is_continuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The length of the match of `p` at `at`, or npos: `?` takes one
// character, a lead byte with its UTF-8 continuation bytes.
std::size_t match_at(std::string_view text, std::size_t at, const piece& p) {
  std::size_t t = at;
  for (std::size_t i = 0; i < p.bytes.size(); ++i) {
    if (t == text.size()) return npos;
    if (p.any[i]) {
      ++t;
      while (t < text.size() && is_continuation(text[t])) ++t;
    } else if (text[t++] != p.bytes[i]) {
      return npos;
    }
  }
  return t - at;
}

std::optional<span> find_short(std::string_view text, std::size_t from,
                               const piece& p) {
  const std::size_t size = p.bytes.size();
  for (std::size_t at = from; at + size <= text.size(); ++at) {
    if (!p.any[0]) {
      const void* hit =
          std::memchr(text.data() + at, p.bytes[0], text.size() - at);
      if (!hit) return std::nullopt;
      at =
          static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
      if (at + size > text.size()) return std::nullopt;
    }
    if (is_continuation(text[at])) continue;
    const std::size_t length = match_at(text, at, p);
    if (length != npos) return span{at, at + length};
  }
  return std::nullopt;
}

// Shift-And over the piece's positions: the match that ends first.
std::optional<span> find_long(std::string_view text, std::size_t from,
                              const piece& p) {
  const std::size_t size = p.bytes.size();
  const std::size_t words = (size + kWordBits - 1) / kWordBits;
  const std::size_t last_word = (size - 1) / kWordBits;
  const std::uint64_t last_bit = std::uint64_t(1) << ((size - 1) % kWordBits);
  std::vector<std::uint64_t> state(words, 0);
  for (std::size_t t = from; t < text.size(); ++t) {
    const bool continuation = is_continuation(text[t]);
    const std::uint64_t* mask =
        &p.masks[static_cast<unsigned char>(text[t]) * words];
    std::uint64_t carry = continuation ? 0 : 1;
    for (std::size_t w = 0; w < words; ++w) {
      const std::uint64_t old = state[w];
      std::uint64_t next = ((old << 1) | carry) & mask[w];
      // A character that `?` took goes on over its continuation bytes.
      if (continuation) next |= old & p.any_mask[w];
      carry = old >> 63;
      state[w] = next;
    }
    if (!(state[last_word] & last_bit)) continue;
    std::size_t end = t + 1;
    if (p.any.back()) {
      while (end < text.size() && is_continuation(text[end])) ++end;
    }
    // Each `?` takes one to four bytes; the first start that ends here.
    const std::size_t earliest = end >= 4 * size ? end - 4 * size : 0;
    for (std::size_t at = std::max(from, earliest); at + size <= end; ++at) {
      if (!is_continuation(text[at]) && match_at(text, at, p) == end - at)
        return span{at, end};
    }
  }
  return std::nullopt;
}

std::optional<span> find_piece(std::string_view text, std::size_t from,
                               const piece& p) {
  return p.bytes.size() <= kShortPiece ? find_short(text, from, p)
                                       : find_long(text, from, p);
}

piece make_piece(std::string bytes, std::vector<bool> any) {
  piece p{std::move(bytes), std::move(any), {}, {}};
  const std::size_t size = p.bytes.size();
  if (size <= kShortPiece) return p;
  const std::size_t words = (size + kWordBits - 1) / kWordBits;
  p.masks.assign(256 * words, 0);
  p.any_mask.assign(words, 0);
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint64_t bit = std::uint64_t(1) << (i % kWordBits);
    const std::size_t word = i / kWordBits;
    if (!p.any[i]) {
      p.masks[static_cast<unsigned char>(p.bytes[i]) * words + word] |= bit;
      continue;
    }
    p.any_mask[word] |= bit;
    for (int c = 0; c < 256; ++c) {
      if (!is_continuation(static_cast<char>(c)))
        p.masks[c * words + word] |= bit;
    }
  }
  return p;
}

}  // namespace

name_pattern::name_pattern(std::string_view pattern, bool wildcards)
    : text_(fold(pattern)) {
  std::string bytes;
  std::vector<bool> any;
  const auto flush = [&] {
    if (!bytes.empty()) pieces.push_back(make_piece(bytes, any));
    bytes.clear();
    any.clear();
  };
  for (char c : text_) {
    if (wildcards && c == '*') {
      literal_ = false;
      flush();
      continue;
    }
    const bool wild = wildcards && c == '?';
    literal_ = literal_ && !wild;
    bytes += c;
    any.push_back(wild);
  }
  flush();
}

std::optional<name_pattern::span> name_pattern::find_folded(
    std::string_view text, std::size_t from) const {
  if (from > text.size()) return std::nullopt;
  if (pieces.empty()) return span{from, from};
  const std::optional<span> first = find_piece(text, from, pieces.front());
  if (!first) return std::nullopt;
  std::size_t end = first->end;
  for (std::size_t i = 1; i < pieces.size(); ++i) {
    const std::optional<span> next = find_piece(text, end, pieces[i]);
    if (!next) return std::nullopt;
    end = next->end;
  }
  return span{first->begin, end};
}

std::string name_pattern::fold(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return result;
}

}  // namespace zcore
