#pragma once

#include <QWidget>

namespace zwidget::zaux {

// A fixed blank gap between status-bar widgets.
class ZIntent : public QWidget {
public:
  explicit ZIntent(int width);
};

}  // namespace zwidget::zaux
