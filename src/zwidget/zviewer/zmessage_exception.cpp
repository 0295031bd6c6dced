#include "zwidget/zviewer/zmessage_exception.h"

namespace zwidget::zaux {

ZMessageException::ZMessageException(const QString& message)
    : message(message.toStdString()) {
}

ZMessageException::~ZMessageException() = default;

const char* ZMessageException::what() const noexcept {
  return message.c_str();
}

void ZMessageException::raise() const {
  throw *this;
}

ZMessageException* ZMessageException::clone() const {
  return new ZMessageException(*this);
}

}  // namespace zwidget::zaux
