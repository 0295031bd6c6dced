#include "zcore/models.h"

#include "zcore/sexpr_reader.h"

#include <stdexcept>

namespace zcore {

namespace {

// Byte input over a std::istream for the S-expression reader.
class StreamAdapter : public StreamModelAdapterBase {
public:
  explicit StreamAdapter(std::istream& stream) : stream(stream) {}

  bool getline(std::string&) override {
    throw std::runtime_error("Do not need");
  }
  int get() override { return stream.get(); }
  bool good() override { return stream.good(); }
  std::string_view block() override {
    stream.read(buffer, sizeof buffer);
    return {buffer, static_cast<std::size_t>(stream.gcount())};
  }

private:
  std::istream& stream;
  char buffer[1 << 12];
};

}  // namespace

S_Model::~S_Model() {
  delete root_;
}

void S_Model::load(StreamModelAdapterBase& in) {
  basenode* tree = read_sexpr(in, 0);
  delete root_;
  root_ = tree;
}

void S_Model::load(std::istream& in) {
  StreamAdapter adapter(in);
  load(adapter);
}

}  // namespace zcore
