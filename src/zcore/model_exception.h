#pragma once

#include <cstddef>
#include <exception>
#include <ios>
#include <string>

namespace zcore {

// Where a reader met a fault: a line and column of a `.kicad_mod` file, or
// a line of a legacy library and the module holding it. Lines and columns
// count from 1; 0 means not known.
struct source_position {
  std::size_t line = 0;
  std::size_t column = 0;
  std::string module;
};

// " at line 12, column 7", " at line 40 (module R_0805)", " (module R_0805)"
// for a record given rather than read, or nothing for a position not known.
std::string position_suffix(const source_position& where);

// Malformed content found by a model reader. `what` is the message with
// the position appended when one is known.
class ModelException : public std::exception {
public:
  explicit ModelException(std::string message,
                          source_position where = source_position());

  const char* what() const noexcept override { return text.c_str(); }
  const std::string& message() const { return message_; }
  const source_position& position() const { return where; }
  // The same fault at `at`; one that already has a position keeps it.
  ModelException placed(const source_position& at) const;

private:
  std::string message_;
  source_position where;
  std::string text;
};

// An input that ends early or cannot be read, as std::ios_base::failure
// with the stream error code. `what` is the message with the position, and
// without the standard library's text for the error code, which told the
// user nothing ("Unexpected EOF: iostream error").
class read_failure : public std::ios_base::failure {
public:
  explicit read_failure(const std::string& message,
                        source_position where = source_position());

  const char* what() const noexcept override { return text.c_str(); }
  const std::string& message() const { return message_; }
  const source_position& position() const { return where; }
  read_failure placed(const source_position& at) const;

private:
  std::string message_;
  source_position where;
  std::string text;
};

}  // namespace zcore
