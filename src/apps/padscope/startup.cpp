#include "apps/padscope/startup.h"

namespace padscope {

namespace {
constexpr int kWidth = 900;
constexpr int kHeight = 700;
}  // namespace

QRect centred_geometry(const QSize& screen) {
  return QRect(screen.width() / 2 - kWidth / 2,
               screen.height() / 2 - kHeight / 2, kWidth, kHeight);
}

}  // namespace padscope
