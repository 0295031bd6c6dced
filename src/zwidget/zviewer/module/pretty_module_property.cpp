#include "zwidget/zviewer/module/pretty_module_property.h"

#include "zcore/basenode.h"
#include "zcore/models.h"
#include "zcore/nodeview.h"
#include "zwidget/zviewer/debug_log.h"

#include <QFile>

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <vector>

namespace zwidget::zcvpcb {

namespace {

QString text(const std::string& value) {
  // Values come from the file: markup in them must not reach the page.
  return elided(QString::fromStdString(value)).toHtmlEscaped();
}

QString flag(bool value) {
  return value ? QObject::tr("true") : QObject::tr("false");
}

QString number(double value) {
  return QString("%1").arg(value, 0, 'g', -1, QChar(' '));
}

QString tag_list(const std::vector<std::string>& tags) {
  QString list;
  for (const std::string& tag : tags) {
    if (list.size() > kLongestValue) return list + QChar(0x2026);
    list += QString("'%1'").arg(text(tag));
  }
  return list;
}

// "smd, exclude_from_bom"
QString flag_list(const std::vector<std::string>& flags) {
  QStringList shown;
  for (const std::string& flag : flags) shown << QString::fromStdString(flag);
  return elided(shown.join(", ")).toHtmlEscaped();
}

// "x, y" in millimetres, and " @ angle°" when the module is turned.
QString position(const zcore::placement& at) {
  QString shown =
      QString("%1, %2").arg(at.pos.x, 0, 'g', 6).arg(at.pos.y, 0, 'g', 6);
  if (at.angle != 0) shown += QString(" @ %1\u00b0").arg(at.angle, 0, 'g', 6);
  return shown;
}

// The properties of a newer file, one list item each: Reference, Value,
// Datasheet and Description first, then the user fields in file order.
// Older files, without a Reference property, have none.
QString fields(const zcore::basenode* root) {
  if (!root) return QString();
  static const std::vector<std::string> kStandard{"Reference", "Value",
                                                  "Datasheet", "Description"};
  std::vector<std::pair<std::string, std::string>> found;
  for (const zcore::basenode* child : root->children) {
    const zcore::nodeview property(child);
    // Footprint names the footprint itself, not a field of the part.
    if (child->name == "property" && property.first_text() != "Footprint")
      found.emplace_back(property.first_text(), property.second_text());
  }
  const auto rank = [](const std::string& key) {
    return std::find(kStandard.begin(), kStandard.end(), key) -
           kStandard.begin();
  };
  if (std::none_of(found.begin(), found.end(), [](const auto& field) {
        return field.first == "Reference";
      }))
    return QString();
  std::stable_sort(found.begin(), found.end(),
                   [&rank](const auto& a, const auto& b) {
                     return rank(a.first) < rank(b.first);
                   });
  QString items;
  for (const auto& [key, value] : found)
    items += QString(
                 "<li style=\" color:#ffaa7f;\" style=\" margin-top:12px; "
                 "margin-bottom:12px; margin-left:0px; margin-right:0px; "
                 "-qt-block-indent:0; text-indent:0px;\"><span style=\" "
                 "font-weight:600;\">%1:</span>%2</li>\n")
                 .arg(text(key), text(value));
  return items;
}

class Resolver : public zaux::ScriptType1::Resolver {
public:
  Resolver(std::shared_ptr<zcore::BaseModel> model, zcore::length_unit unit)
      : model(std::move(model)), unit(unit) {}

  QString resolve(QString key) override {
    // A model without a tree, or of another kind, shows the defaults.
    const auto* tree = dynamic_cast<const zcore::S_Model*>(model.get());
    const zcore::nodeview mod(tree ? tree->root() : nullptr);
    if (key == QObject::tr("{Name}")) return text(mod.first_text());
    if (key == QObject::tr("{Locked}"))
      return held(mod, "locked", flag(mod.locked()));
    if (key == QObject::tr("{Placed}"))
      return held(mod, "placed", flag(mod.placed()));
    if (key == QObject::tr("{Layer}")) return text(mod.layer());
    if (key == QObject::tr("{TEdit}")) return text(mod.tedit());
    if (key == QObject::tr("{TStamp}")) return text(mod.tstamp());
    if (key == QObject::tr("{Position}")) return position(mod.at());
    if (key == QObject::tr("{Attribute}")) return flag_list(mod.attr());
    if (key == QObject::tr("{Description}")) return text(mod.descr());
    if (key == QObject::tr("{AutoplaceCost90}"))
      return held(mod, "autoplace_cost90", number(mod.autoplace_cost90()));
    if (key == QObject::tr("{AutoplaceCost180}"))
      return held(mod, "autoplace_cost180", number(mod.autoplace_cost180()));
    if (key == QObject::tr("{SolderMaskMargin}"))
      return held(mod, "solder_mask_margin", length(mod.solder_mask_margin()));
    if (key == QObject::tr("{SolderPasteMargin}"))
      return held(mod, "solder_paste_margin",
                  length(mod.solder_paste_margin()));
    if (key == QObject::tr("{SolderPasteRatio}"))
      return held(mod, "solder_paste_ratio", number(mod.solder_paste_ratio()));
    if (key == QObject::tr("{Clearance}"))
      return held(mod, "clearance", length(mod.clearance()));
    if (key == QObject::tr("{ZoneConnect}"))
      return held(mod, "zone_connect", number(mod.zone_connect()));
    if (key == QObject::tr("{ThermalWidth}"))
      return held(mod, "thermal_width", length(mod.thermal_width()));
    if (key == QObject::tr("{ThermalGap}"))
      return held(mod, "thermal_gap", length(mod.thermal_gap()));
    if (key == QObject::tr("{Tags}")) return tag_list(mod.tags());
    if (key == QObject::tr("{Fields}")) return fields(mod.node());
    if (key == QObject::tr("{DefaultsNote}"))
      return any_default ? defaults_note() : QString();
    return key;
  }

private:
  // `value` as it stands when the footprint holds `key`, else greyed.
  QString held(const zcore::nodeview& mod, const char* key,
               const QString& value) {
    if (mod.node() && mod.node()->has(key)) return value;
    any_default = true;
    return defaulted(value);
  }
  QString length(double mm) const {
    return QString::fromStdString(zcore::format_length(mm, unit));
  }

  std::shared_ptr<zcore::BaseModel> model;
  zcore::length_unit unit;
  bool any_default = false;
};

}  // namespace

PrettyModuleProperty::PrettyModuleProperty()
    : resolver(std::make_unique<Resolver>(model, unit_)) {
  with_figures = true;
}

PrettyModuleProperty::~PrettyModuleProperty() = default;

void PrettyModuleProperty::updated() {
  QFile page(":/pretty_module.html");
  if (!page.open(QIODevice::ReadOnly | QIODevice::Text))
    throw std::runtime_error("Failed to open resource(:/pretty_module.html)");
  resolver = std::make_unique<Resolver>(model, unit_);
  zaux::ScriptType1 script(QString::fromUtf8(page.readAll()), resolver.get());
  const QString result = script.process();
  qCDebug(panel_log).noquote() << script.script();
  qCDebug(panel_log).noquote() << result;
  set_html(result);
}

}  // namespace zwidget::zcvpcb
