#pragma once

#include "zcore/stream_model_adapter.h"

#include <string_view>

namespace zcore {

// Bytes and lines from memory, as a file adapter gives them; the bytes
// must outlive the adapter.
class MemoryAdapter : public StreamModelAdapterBase {
public:
  explicit MemoryAdapter(std::string_view bytes)
      : next(bytes.data()), end(bytes.data() + bytes.size()) {}

  int get() override {
    if (next != end) return static_cast<unsigned char>(*next++);
    at_end = true;
    return -1;
  }
  bool good() override { return !at_end; }
  std::string_view block() override {
    if (next == end) at_end = true;
    const std::string_view rest(next, static_cast<std::size_t>(end - next));
    next = end;
    return rest;
  }
  bool getline(std::string& line) override {
    if (at_end) return false;
    const char* stop = next;
    while (stop != end && *stop != '\n') ++stop;
    line.assign(next, stop);
    at_end = stop == end;
    next = at_end ? end : stop + 1;
    return true;
  }

private:
  const char* next;
  const char* end;
  bool at_end = false;
};

}  // namespace zcore
