#pragma once

#include "zcore/nocopy.h"

#include <string>
#include <string_view>

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
  // The next bytes, as many as are at hand, taken as get would take them;
  // empty where get would fail. They stay valid until the next call. An
  // adapter with a buffer hands out the buffer: a byte at a time through a
  // virtual call cost a third of the reading.
  virtual std::string_view block() {
    const int byte = get();
    if (!good()) return {};
    one_byte = static_cast<char>(byte);
    return {&one_byte, 1};
  }

private:
  char one_byte = 0;
};

}  // namespace zcore
