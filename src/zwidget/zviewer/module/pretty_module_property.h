#pragma once

#include "zwidget/zviewer/module/html_property.h"
#include "zwidget/zviewer/module/script_type1.h"

#include <memory>

namespace zwidget::zcvpcb {

// The attributes of a `.kicad_mod` footprint.
class PrettyModuleProperty : public HtmlProperty {
public:
  PrettyModuleProperty();
  ~PrettyModuleProperty() override;

protected:
  void updated() override;

private:
  std::unique_ptr<zaux::ScriptType1::Resolver> resolver;
};

}  // namespace zwidget::zcvpcb
