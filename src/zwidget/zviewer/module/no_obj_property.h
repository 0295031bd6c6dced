#pragma once

#include "zwidget/zviewer/module/html_property.h"

namespace zwidget::zcvpcb {

// The panel while nothing is loaded: a fixed page.
class NoObjProperty : public HtmlProperty {
public:
  NoObjProperty();

protected:
  void updated() override {}
};

}  // namespace zwidget::zcvpcb
