#include "zwidget/zviewer/module/legacy_module_property.h"

#include "zcore/legacy_model.h"
#include "zcore/to_double.h"

#include <QFile>
#include <QTextCodec>

#include <cstdlib>
#include <map>
#include <stdexcept>

namespace zwidget::zcvpcb {

namespace {

using record = std::vector<std::string>;

// The module's own records: those of the first module, outside the blocks
// nested in it. Pads (`$PAD`) repeat `Po`, `At` and `.SolderMask` with
// their own meaning, and a library's `$INDEX` lists bare names.
std::map<std::string, const record*> module_records(
    const zcore::BaseModel* model) {
  std::map<std::string, const record*> found;
  const auto* legacy = dynamic_cast<const zcore::LegacyStringModel*>(model);
  if (!legacy) return found;
  std::vector<std::string> blocks;
  for (const record& fields : legacy->records()) {
    if (fields.empty()) continue;
    const std::string& tag = fields.front();
    if (tag == "$EndMODULE") break;
    if (tag.rfind("$End", 0) == 0) {
      if (!blocks.empty()) blocks.pop_back();
    } else if (tag.front() == '$') {
      blocks.push_back(tag);
    } else if (blocks.empty() || blocks.back() == "$MODULE") {
      found.emplace(tag, &fields);
    }
  }
  return found;
}

// Old libraries carry no encoding line and were written in Latin-1.
QString decoded(const std::string& value) {
  QTextCodec::ConverterState state;
  const QString text = QTextCodec::codecForMib(106)->toUnicode(
      value.data(), static_cast<int>(value.size()), &state);
  if (state.invalidChars == 0) return text;
  return QString::fromLatin1(value.data(), static_cast<int>(value.size()));
}

class Resolver : public zaux::ScriptType1::Resolver {
public:
  Resolver(std::shared_ptr<zcore::BaseModel> model, zcore::length_unit unit)
      : model(std::move(model)),
        header(module_records(this->model.get())),
        unit(unit) {}

  QString resolve(QString key) override {
    if (key == QObject::tr("{Name}")) return name();
    if (key == QObject::tr("{Locked}"))
      return held("Po", 7, flag(po_flags(0) == 'F'));
    if (key == QObject::tr("{Placed}"))
      return held("Po", 7, flag(po_flags(1) == 'P'));
    if (key == QObject::tr("{Layer}")) return layer();
    if (key == QObject::tr("{Last Edit}")) return text("Po", 5);
    if (key == QObject::tr("{Position}")) return position();
    if (key == QObject::tr("{Type}")) return rest("At");
    if (key == QObject::tr("{Description}")) return rest("Cd");
    if (key == QObject::tr("{Tags}")) return tags();
    if (key == QObject::tr("{autoplace_cost90}"))
      return held("Op", 1, hex_number("Op", 1));
    if (key == QObject::tr("{autoplace_cost180}"))
      return held("Op", 2, hex_number("Op", 2));
    if (key == QObject::tr("{solder_mask_margin}"))
      return length(".SolderMask");
    if (key == QObject::tr("{solder_paste_margin}"))
      return length(".SolderPaste");
    if (key == QObject::tr("{solder_paste_ratio}"))
      return number(".SolderPasteRatio");
    if (key == QObject::tr("{Clearance}")) return length(".LocalClearance");
    if (key == QObject::tr("{zone_connect}")) return number(".ZoneConnection");
    if (key == QObject::tr("{thermal_width}")) return length(".ThermalWidth");
    if (key == QObject::tr("{thermal_gap}")) return length(".ThermalGap");
    if (key == QObject::tr("{DefaultsNote}"))
      return any_default ? defaults_note() : QString();
    return key;
  }

private:
  const std::string* field(const std::string& tag, std::size_t index) const {
    const auto found = header.find(tag);
    if (found == header.end() || found->second->size() <= index) return nullptr;
    return &(*found->second)[index];
  }

  static QString escaped(const std::string& value) {
    return elided(decoded(value)).toHtmlEscaped();
  }

  static QString flag(bool value) {
    return value ? QObject::tr("true") : QObject::tr("false");
  }

  static QString format(double value) {
    return QString("%1").arg(value, 0, 'g', -1, QChar(' '));
  }

  QString text(const std::string& tag, std::size_t index) const {
    const std::string* value = field(tag, index);
    return value ? escaped(*value) : QString();
  }

  // All fields after the tag, as one text: descriptions and types
  // ("SMD VIRTUAL") are not quoted.
  QString rest(const std::string& tag) const {
    const auto found = header.find(tag);
    if (found == header.end()) return QString();
    std::string joined;
    for (std::size_t i = 1;
         i < found->second->size() &&
         joined.size() <= static_cast<std::size_t>(kLongestValue);
         ++i) {
      if (i > 1) joined += ' ';
      joined += (*found->second)[i];
    }
    return escaped(joined);
  }

  QString tags() const {
    const auto found = header.find("Kw");
    QString list;
    if (found == header.end()) return list;
    for (std::size_t i = 1; i < found->second->size(); ++i) {
      if (list.size() > kLongestValue) return list + QChar(0x2026);
      list += QString("'%1'").arg(escaped((*found->second)[i]));
    }
    return list;
  }

  // `value` as it stands when the module has field `index` of `tag`, else
  // greyed.
  QString held(const std::string& tag, std::size_t index,
               const QString& value) {
    if (field(tag, index)) return value;
    any_default = true;
    return defaulted(value);
  }

  QString number(const std::string& tag) {
    const std::string* value = field(tag, 1);
    return held(tag, 1, format(value ? zcore::to_double(value->c_str()) : 0.0));
  }

  // A length in the unit of the window: most libraries are in tenths of a
  // mil.
  QString length(const std::string& tag) {
    const std::string* value = field(tag, 1);
    const auto* legacy =
        dynamic_cast<const zcore::LegacyStringModel*>(model.get());
    const double scale = legacy ? legacy->millimetres_per_unit() : 1.0;
    const double mm = value ? zcore::to_double(value->c_str()) * scale : 0.0;
    return held(tag, 1, QString::fromStdString(zcore::format_length(mm, unit)));
  }

  // The module's name from its `$MODULE` line, else its `Li` record.
  QString name() const {
    const auto* legacy =
        dynamic_cast<const zcore::LegacyStringModel*>(model.get());
    if (legacy) {
      for (const record& fields : legacy->records())
        if (fields.size() > 1 && fields.front() == "$MODULE")
          return escaped(fields[1]);
    }
    return text("Li", 1);
  }

  // The autoplace costs are written in hexadecimal ("Op 0 A 0").
  QString hex_number(const std::string& tag, std::size_t index) const {
    const std::string* value = field(tag, index);
    return format(value ? std::strtol(value->c_str(), nullptr, 16) : 0);
  }

  char po_flags(std::size_t position) const {
    const std::string* value = field("Po", 7);
    return value && value->size() > position ? (*value)[position] : '~';
  }

  QString layer() const {
    const std::string* value = field("Po", 4);
    if (!value) return QString();
    if (*value == "15") return QObject::tr("15 (F.Cu, front copper)");
    if (*value == "0") return QObject::tr("0 (B.Cu, back copper)");
    return escaped(*value);
  }

  QString position() const {
    const std::string* x = field("Po", 1);
    const std::string* y = field("Po", 2);
    if (!x || !y) return QString();
    return QString("%1, %2").arg(escaped(*x), escaped(*y));
  }

  std::shared_ptr<zcore::BaseModel> model;
  std::map<std::string, const record*> header;
  zcore::length_unit unit;
  bool any_default = false;
};

}  // namespace

LegacyModuleProperty::LegacyModuleProperty()
    : resolver(std::make_unique<Resolver>(model, unit_)) {
  with_figures = true;
}

LegacyModuleProperty::~LegacyModuleProperty() = default;

void LegacyModuleProperty::updated() {
  QFile page(":/legacy_module.html");
  if (!page.open(QIODevice::ReadOnly | QIODevice::Text))
    throw std::runtime_error("Failed to open resource(:/legacy_module.html)");
  resolver = std::make_unique<Resolver>(model, unit_);
  zaux::ScriptType1 script(QString::fromUtf8(page.readAll()), resolver.get());
  set_html(script.process());
}

}  // namespace zwidget::zcvpcb
