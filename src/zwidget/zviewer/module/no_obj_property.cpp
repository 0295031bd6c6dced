#include "zwidget/zviewer/module/no_obj_property.h"

#include <QFile>

#include <stdexcept>

namespace zwidget::zcvpcb {

NoObjProperty::NoObjProperty() {
  QFile page(":/no_module.html");
  if (!page.open(QIODevice::ReadOnly | QIODevice::Text))
    throw std::runtime_error("Failed to open resource(:/no_module.html)");
  set_html(QString::fromUtf8(page.readAll()));
}

}  // namespace zwidget::zcvpcb
