#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zcore {

// One word of what a user types to find a footprint, compared without
// regard to ASCII case: a substring where `*` stands for any run of
// characters and `?` for one character (or, as a phrase, every character
// for itself). The pattern may match anywhere in the text; an empty
// pattern matches everything. The time of a search grows with the text's
// length times at most 16, or times the pattern's length over 64, so that
// a pasted pattern over a huge text takes milliseconds, not seconds.
class name_pattern {
public:
  // Byte offsets into the text, end past the last byte of the match.
  struct span {
    std::size_t begin = 0;
    std::size_t end = 0;
  };

  explicit name_pattern(std::string_view pattern, bool wildcards = true);

  bool empty() const { return pieces.empty(); }
  // Whether the pattern is a plain substring, without `*` or `?`.
  bool literal() const { return literal_; }
  // The folded pattern as typed.
  const std::string& text() const { return text_; }

  // `text` as fold gives it.
  bool matches_folded(std::string_view text) const {
    return find_folded(text, 0).has_value();
  }
  bool matches(std::string_view text) const {
    return matches_folded(fold(text));
  }
  // A match in `text` (folded) that starts at or after `from`, from the
  // start of its first piece to the end of its last; the leftmost for a
  // pattern of short pieces.
  std::optional<span> find_folded(std::string_view text,
                                  std::size_t from) const;

  // ASCII letters in lower case; other bytes, UTF-8 included, as they are.
  static std::string fold(std::string_view text);

  // One run of the pattern between stars: bytes, some of which may stand
  // for any one character.
  struct piece {
    std::string bytes;
    std::vector<bool> any;
    // For a long piece: per byte value, the positions it may take, in
    // words of 64 bits; and the positions that stand for any character.
    std::vector<std::uint64_t> masks;
    std::vector<std::uint64_t> any_mask;
  };

private:
  std::vector<piece> pieces;
  std::string text_;
  bool literal_ = true;
};

}  // namespace zcore
