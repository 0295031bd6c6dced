#pragma once

namespace zcore {

// Private base of everything that owns a tree, a stream or a scene.
class nocopy {
protected:
  nocopy() = default;
  ~nocopy() = default;

public:
  nocopy(const nocopy&) = delete;
  nocopy& operator=(const nocopy&) = delete;
};

}  // namespace zcore
