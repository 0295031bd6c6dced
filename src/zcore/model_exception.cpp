#include "zcore/model_exception.h"

namespace zcore {

std::string position_suffix(const source_position& where) {
  std::string suffix;
  if (where.line > 0) suffix = " at line " + std::to_string(where.line);
  if (where.line > 0 && where.column > 0)
    suffix += ", column " + std::to_string(where.column);
  if (!where.module.empty()) suffix += " (module " + where.module + ")";
  return suffix;
}

ModelException::ModelException(std::string message, source_position where)
    : message_(std::move(message)),
      where(std::move(where)),
      text(message_ + position_suffix(this->where)) {
}

ModelException ModelException::placed(const source_position& at) const {
  return where.line > 0 || !where.module.empty() ? *this
                                                 : ModelException(message_, at);
}

read_failure::read_failure(const std::string& message, source_position where)
    : std::ios_base::failure(message, std::io_errc::stream),
      message_(message),
      where(std::move(where)),
      text(message_ + position_suffix(this->where)) {
}

read_failure read_failure::placed(const source_position& at) const {
  return where.line > 0 || !where.module.empty() ? *this
                                                 : read_failure(message_, at);
}

}  // namespace zcore
