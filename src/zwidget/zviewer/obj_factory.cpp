#include "zwidget/zviewer/obj_factory.h"

#include "zwidget/zviewer/canvas_variants.h"
#include "zwidget/zviewer/module/legacy_module_property.h"
#include "zwidget/zviewer/module/no_obj_property.h"
#include "zwidget/zviewer/module/pretty_module_property.h"

namespace zwidget::zcvpcb {

ZObjFactory::~ZObjFactory() {
  delete fallback;
  for (auto& entry : items) delete entry.second;
}

void ZObjFactory::set_default(Item* item) {
  delete fallback;
  fallback = item;
}

void ZObjFactory::add(const QString& parserName, Item* item) {
  Item*& slot = items[parserName];
  if (slot != item) delete slot;
  slot = item;
}

std::pair<ZObjCanvas*, HtmlProperty*> ZObjFactory::create(
    const QString& parserName) {
  const auto found = items.find(parserName);
  if (found != items.end()) return found->second->create();
  if (fallback) return fallback->create();
  return {nullptr, nullptr};
}

}  // namespace zwidget::zcvpcb

using zwidget::zcvpcb::HtmlProperty;
using zwidget::zcvpcb::ZObjCanvas;

std::pair<ZObjCanvas*, HtmlProperty*> PrettyFacItem::create() {
  HtmlProperty* property = new zwidget::zcvpcb::PrettyModuleProperty();
  return {new zwidget::zcvpcb::PrettyModuleCanvas(nullptr), property};
}

std::pair<ZObjCanvas*, HtmlProperty*> LegacyFacItem::create() {
  HtmlProperty* property = new zwidget::zcvpcb::LegacyModuleProperty();
  return {new zwidget::zcvpcb::LegacyModuleCanvas(nullptr), property};
}

std::pair<ZObjCanvas*, HtmlProperty*> NoFacItem::create() {
  HtmlProperty* property = new zwidget::zcvpcb::NoObjProperty();
  return {new zwidget::zcvpcb::NoObjCanvas(nullptr), property};
}
