#pragma once

#include <exception>
#include <string>

namespace zcore {

// Malformed content found by a model reader; carries no position.
class ModelException : public std::exception {
public:
  explicit ModelException(std::string message) : message(std::move(message)) {}

  const char* what() const noexcept override { return message.c_str(); }

private:
  std::string message;
};

}  // namespace zcore
