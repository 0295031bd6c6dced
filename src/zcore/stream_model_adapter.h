#pragma once

#include "zcore/nocopy.h"

#include <string>

namespace zcore {

// The input of the model readers. The S-expression reader uses get and
// good, the legacy reader getline; an adapter may refuse the other one.
class StreamModelAdapterBase : private nocopy {
public:
  virtual ~StreamModelAdapterBase() = default;
  // Replaces `line` with the next line without its end; false at the end.
  virtual bool getline(std::string& line) = 0;
  virtual int get() = 0;
  // False once get has tried to read past the end or the source failed.
  virtual bool good() = 0;
};

}  // namespace zcore
