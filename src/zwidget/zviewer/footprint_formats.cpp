#include "zwidget/zviewer/footprint_formats.h"

#include "zcore/basenode.h"
#include "zcore/legacy_model.h"
#include "zcore/models.h"
#include "zcore/nodeview.h"
#include "zwidget/zviewer/footprint_file.h"
#include "zwidget/zviewer/legacy_module_scene_loader.h"
#include "zwidget/zviewer/mine_enum.h"
#include "zwidget/zviewer/pretty_module_scene_loader.h"
#include "zwidget/zviewer/zmessage_exception.h"

#include <QFile>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace zwidget::zcvpcb {
namespace {

// A name fit to be quoted in a message: short, printable ASCII.
bool is_plain_word(const std::string& name) {
  return !name.empty() && name.size() <= 40 &&
         std::all_of(name.begin(), name.end(),
                     [](char c) { return c > ' ' && c < 127; });
}

const zcore::basenode* root_of(const zcore::BaseModel& model) {
  return static_cast<const zcore::S_Model&>(model).root();
}

const std::vector<zcore::record>& records_of(const zcore::BaseModel& model) {
  return static_cast<const zcore::LegacyStringModel&>(model).records();
}

const zcore::record* first_module(const zcore::BaseModel& model) {
  for (const zcore::record& record : records_of(model))
    if (!record.empty() && record.front() == "$MODULE") return &record;
  return nullptr;
}

// Whether `head` starts with the list `(word` followed by a separator.
bool opens_list(const QByteArray& head, const char* word) {
  if (!head.startsWith('(')) return false;
  const QByteArray rest = head.mid(1).trimmed();
  const int length = static_cast<int>(std::strlen(word));
  if (!rest.startsWith(word)) return false;
  if (rest.size() == length) return true;
  const char after = rest[length];
  return std::isspace(static_cast<unsigned char>(after)) || after == '(' ||
         after == ')' || after == '"';
}

double in_millimetres(const zcore::BaseModel&) {
  return 1.0;
}

std::optional<FootprintLibrary> single(
    const std::shared_ptr<zcore::BaseModel>&) {
  return std::nullopt;
}

std::optional<FootprintLibrary> legacy_library(
    const std::shared_ptr<zcore::BaseModel>& read) {
  auto legacy = std::static_pointer_cast<zcore::LegacyStringModel>(read);
  std::vector<zcore::legacy_module> modules = legacy->modules();
  if (modules.size() < 2) return std::nullopt;
  FootprintLibrary library;
  for (const zcore::legacy_module& module : modules)
    library.names.push_back(module.name);
  library.model = [legacy, modules = std::move(modules)](std::size_t index) {
    return std::make_shared<zcore::LegacyStringModel>(
        legacy->name(), legacy->module_records(modules[index]),
        legacy->millimetres_per_unit());
  };
  return library;
}

}  // namespace

const std::vector<FootprintFormat>& footprint_formats() {
  static const std::vector<FootprintFormat> formats = {
      {"Modules Files", "*.kicad_mod", "module_parser",
       []() -> std::shared_ptr<zcore::BaseModel> {
         return std::make_shared<zcore::S_Model>(pretty_format().parser);
       },
       [](const zcore::BaseModel& model) {
         return dynamic_cast<const zcore::S_Model*>(&model) != nullptr;
       },
       single,
       [](ZScene* scene,
          const zcore::BaseModel& model) -> std::unique_ptr<ZSceneLoader> {
         return std::make_unique<ZPrettyModuleSceneLoader>(scene,
                                                           root_of(model));
       },
       [](const zcore::BaseModel& model) {
         const zcore::basenode* root = root_of(model);
         return root ? zcore::nodeview(root).first_text() : std::string();
       },
       [](const zcore::BaseModel& model) -> std::string {
         const zcore::basenode* root = root_of(model);
         if (root && (root->name == "footprint" || root->name == "module"))
           return "";
         if (root && is_plain_word(root->name))
           return "Not a footprint: the file holds (" + root->name + " ...)";
         return "Not a footprint: no (footprint ...) or (module ...) list";
       },
       [](const QByteArray& head) {
         return opens_list(head, "footprint") || opens_list(head, "module");
       },
       in_millimetres,
       []() -> ZObjFactory::Item* { return new PrettyFacItem; }},
      {"Legacy modules Files", "*.mod", "module_legacy_parser",
       []() -> std::shared_ptr<zcore::BaseModel> {
         return std::make_shared<zcore::LegacyStringModel>(
             legacy_format().parser);
       },
       [](const zcore::BaseModel& model) {
         return dynamic_cast<const zcore::LegacyStringModel*>(&model) !=
                nullptr;
       },
       legacy_library,
       [](ZScene* scene,
          const zcore::BaseModel& model) -> std::unique_ptr<ZSceneLoader> {
         return std::make_unique<ZLegacyModuleSceneLoader>(scene,
                                                           &records_of(model));
       },
       [](const zcore::BaseModel& model) {
         const zcore::record* module = first_module(model);
         return module && module->size() > 1 ? (*module)[1] : std::string();
       },
       [](const zcore::BaseModel& model) -> std::string {
         if (first_module(model)) return "";
         return "Not a footprint library: no $MODULE in the file";
       },
       [](const QByteArray& head) {
         return head.startsWith("PCBNEW-LibModule");
       },
       [](const zcore::BaseModel& model) {
         return static_cast<const zcore::LegacyStringModel&>(model)
             .millimetres_per_unit();
       },
       []() -> ZObjFactory::Item* { return new LegacyFacItem; }},
  };
  return formats;
}

const FootprintFormat& pretty_format() {
  return footprint_formats()[0];
}

const FootprintFormat& legacy_format() {
  return footprint_formats()[1];
}

const FootprintFormat* format_named(const QString& parser) {
  for (const FootprintFormat& format : footprint_formats())
    if (parser == QLatin1String(format.parser)) return &format;
  return nullptr;
}

const FootprintFormat* format_for_path(const QString& path) {
  static const MineEnum types = [] {
    MineEnum filled;
    for (const FootprintFormat& format : footprint_formats())
      filled.add(QString::fromUtf8(format.pattern),
                 QString::fromUtf8(format.parser));
    return filled;
  }();
  return format_named(types.parser_for(path));
}

const FootprintFormat* format_for_file(const QString& path) {
  if (const FootprintFormat* named = format_for_path(path)) return named;
  // Opened as a footprint is: a FIFO of any name would block here.
  QFile file;
  try {
    open_footprint_file(path, file);
  } catch (const zaux::ZMessageException&) {
    return nullptr;
  }
  QByteArray head = file.read(256);
  if (head.startsWith("\xEF\xBB\xBF")) head.remove(0, 3);
  head = head.trimmed();
  for (const FootprintFormat& format : footprint_formats())
    if (format.opens(head)) return &format;
  return nullptr;
}

const FootprintFormat* format_of(const zcore::BaseModel& model) {
  for (const FootprintFormat& format : footprint_formats())
    if (format.holds(model)) return &format;
  return nullptr;
}

}  // namespace zwidget::zcvpcb
