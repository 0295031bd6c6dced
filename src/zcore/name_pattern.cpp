#include "zcore/name_pattern.h"

#include <cstddef>

namespace zcore {

namespace {

bool is_continuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The length of the match of `piece` at `at`, or npos: `?` takes one
// character, a lead byte with its UTF-8 continuation bytes.
std::size_t match_at(std::string_view text, std::size_t at,
                     const std::string& piece) {
  std::size_t t = at;
  for (char p : piece) {
    if (t == text.size()) return std::string_view::npos;
    if (p == '?') {
      ++t;
      while (t < text.size() && is_continuation(text[t])) ++t;
    } else if (text[t++] != p) {
      return std::string_view::npos;
    }
  }
  return t - at;
}

}  // namespace

name_pattern::name_pattern(std::string_view pattern) {
  const std::string folded = fold(pattern);
  std::string piece;
  for (char c : folded) {
    if (c != '*') {
      piece += c;
    } else if (!piece.empty()) {
      pieces.push_back(std::move(piece));
      piece.clear();
    }
  }
  if (!piece.empty()) pieces.push_back(std::move(piece));
}

bool name_pattern::matches_folded(std::string_view text) const {
  // Unanchored at both ends, so the leftmost match of each piece in turn
  // is as good as any.
  std::size_t from = 0;
  for (const std::string& piece : pieces) {
    std::size_t length = std::string_view::npos;
    for (; from + piece.size() <= text.size(); ++from) {
      if (is_continuation(text[from])) continue;
      length = match_at(text, from, piece);
      if (length != std::string_view::npos) break;
    }
    if (length == std::string_view::npos) return false;
    from += length;
  }
  return true;
}

std::string name_pattern::fold(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return result;
}

}  // namespace zcore
