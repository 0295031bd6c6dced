#pragma once

namespace zcore {

struct point {
  double x = 0;
  double y = 0;
};

}  // namespace zcore
