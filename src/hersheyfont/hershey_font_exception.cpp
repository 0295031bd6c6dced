#include "hersheyfont/hershey_font_exception.h"

#include <utility>

namespace hersheyfont {

HersheyFontException::HersheyFontException(std::string message)
    : message(std::move(message)) {
}

HersheyFontException::~HersheyFontException() = default;

const char* HersheyFontException::what() const noexcept {
  return message.c_str();
}

void HersheyFontException::raise() const {
  throw *this;
}

HersheyFontException* HersheyFontException::clone() const {
  return new HersheyFontException(*this);
}

}  // namespace hersheyfont
