#include "zwidget/zviewer/layer_stack.h"

#include "zwidget/zviewer/zscene.h"

#include <QGraphicsItem>
#include <QHash>
#include <QTransform>

#include <algorithm>

namespace zwidget::zcvpcb {
namespace {

constexpr int kInnerLayers = 30;

QStringList make_known_layers() {
  QStringList layers{"F.Cu"};
  for (int i = 1; i <= kInnerLayers; ++i)
    layers << QStringLiteral("In%1.Cu").arg(i);
  layers << "B.Cu"
         << "F.Adhes"
         << "B.Adhes"
         << "F.Paste"
         << "B.Paste"
         << "F.SilkS"
         << "B.SilkS"
         << "F.Mask"
         << "B.Mask"
         << "Dwgs.User"
         << "Cmts.User"
         << "Eco1.User"
         << "Eco2.User"
         << "Edge.Cuts"
         << "Margin"
         << "F.CrtYd"
         << "B.CrtYd"
         << "F.Fab"
         << "B.Fab";
  for (int i = 1; i <= 9; ++i) layers << QStringLiteral("User.%1").arg(i);
  return layers;
}

// Lower-case name to KiCad's spelling, with the longer names KiCad 7 shows
// for some layers.
const QHash<QString, QString>& spellings() {
  static const QHash<QString, QString> names = [] {
    QHash<QString, QString> table;
    for (const QString& layer : known_layers())
      table.insert(layer.toLower(), layer);
    const std::pair<const char*, const char*> aliases[] = {
        {"f.silkscreen", "F.SilkS"},    {"b.silkscreen", "B.SilkS"},
        {"f.courtyard", "F.CrtYd"},     {"b.courtyard", "B.CrtYd"},
        {"f.adhesive", "F.Adhes"},      {"b.adhesive", "B.Adhes"},
        {"user.drawings", "Dwgs.User"}, {"user.comments", "Cmts.User"},
        {"user.eco1", "Eco1.User"},     {"user.eco2", "Eco2.User"}};
    for (const auto& [alias, layer] : aliases) table.insert(alias, layer);
    return table;
  }();
  return names;
}

// One side's layers from the bottom of the picture to its top: the
// drawings and the mask, often one opening over a whole area, under the
// copper, which shows its pads whole; the paste's openings over the copper
// they lie on.
QStringList side_layers(const char* side) {
  QStringList layers;
  for (const char* layer :
       {"Fab", "CrtYd", "SilkS", "Adhes", "Mask", "Cu", "Paste"})
    layers << QStringLiteral("%1.%2").arg(side, layer);
  return layers;
}

// From the bottom of the picture to its top: the far side, the inner
// copper from the far side on, the near side. Layers of neither side lie
// over both.
QHash<QString, int> depths(bool from_below) {
  QStringList order = side_layers(from_below ? "F" : "B");
  for (int i = 1; i <= kInnerLayers; ++i)
    order << QStringLiteral("In%1.Cu").arg(from_below ? i
                                                      : kInnerLayers + 1 - i);
  order << side_layers(from_below ? "B" : "F");
  QHash<QString, int> table;
  for (int i = 0; i < order.size(); ++i) table.insert(order[i], i);
  return table;
}

const QHash<QString, int>& depths_of(bool from_below) {
  static const QHash<QString, int> from_front = depths(false);
  static const QHash<QString, int> from_back = depths(true);
  return from_below ? from_back : from_front;
}

int neutral_depth() {
  return depths_of(false).size();
}

int depth_of(const QString& layer, bool from_below) {
  return depths_of(from_below).value(layer, neutral_depth());
}

// The nearest of an item's layers; for a pad, the nearest of its copper
// layers when it has any, where its copper shows.
int item_depth(ItemRole role, const QStringList& layers, bool from_below) {
  const bool pad = role == ItemRole::pad || role == ItemRole::through_pad;
  const bool by_copper =
      pad && std::any_of(layers.begin(), layers.end(), is_copper);
  int depth = -1;
  for (const QString& layer : layers)
    if (!by_copper || is_copper(layer))
      depth = std::max(depth, depth_of(layer, from_below));
  return depth < 0 ? neutral_depth() : depth;
}

}  // namespace

ItemMarks marks_of(const QGraphicsItem& item) {
  const auto* scene = qobject_cast<const ZScene*>(item.scene());
  const ItemMarks* marks = scene ? scene->marks_of(item) : nullptr;
  return marks ? *marks : ItemMarks();
}

ItemRole role_of(const QGraphicsItem& item) {
  return marks_of(item).role;
}

QStringList layers_of(const QGraphicsItem& item) {
  return marks_of(item).layers;
}

QString layer_name(const std::string& name) {
  const QString given = QString::fromStdString(name);
  return spellings().value(given.toLower(), given);
}

const QStringList& known_layers() {
  static const QStringList layers = make_known_layers();
  return layers;
}

bool is_copper(const QString& layer) {
  return layer.endsWith(QLatin1String(".Cu"), Qt::CaseInsensitive);
}

bool is_front(const QString& layer) {
  return layer.startsWith(QLatin1String("F."), Qt::CaseInsensitive);
}

bool is_back(const QString& layer) {
  return layer.startsWith(QLatin1String("B."), Qt::CaseInsensitive);
}

ItemStacker::ItemStacker(bool from_below)
    : from_below(from_below),
      // Four roles share a layer's depth: zones, drawings, pads, through
      // pads.
      above_layers((neutral_depth() + 1) * 4) {
}

double ItemStacker::z_of(ItemRole role, const QStringList& layers) {
  // Holes lie over every layer; each comes between two pads, which keep
  // their depth for the next.
  if (role == ItemRole::hole) return above_layers;
  // Loaders share one list among the items on the same layers, and items
  // come in runs of one role: a list compared by its data is an item's
  // depth found again.
  if (last_depth < 0 || role != last_role || layers != last_layers) {
    last_depth = item_depth(role, layers, from_below);
    last_role = role;
    last_layers = layers;
  }
  if (role == ItemRole::text) return above_layers + 1 + last_depth;
  return last_depth * 4 + static_cast<int>(role);
}

void stack_items(const QList<QGraphicsItem*>& items, bool from_below) {
  ItemStacker stacker(from_below);
  for (QGraphicsItem* item : items) {
    const ItemMarks marks = marks_of(*item);
    item->setZValue(stacker.z_of(marks.role, marks.layers));
  }
}

bool is_shown(const QGraphicsItem& item, const QSet<QString>& hidden) {
  const ItemMarks marks = marks_of(item);
  const ItemRole role = marks.role;
  if (role == ItemRole::hole) return !hidden.contains(kHolesRow);
  if ((role == ItemRole::pad || role == ItemRole::through_pad) &&
      hidden.contains(kPadsRow))
    return false;
  const QStringList& layers = marks.layers;
  return layers.isEmpty() ||
         std::any_of(layers.begin(), layers.end(), [&](const QString& layer) {
           return !hidden.contains(layer);
         });
}

void arrange_items(const QList<QGraphicsItem*>& items,
                   const PictureOptions& options) {
  stack_items(items, options.from_below);
  for (QGraphicsItem* item : items) {
    item->setVisible(is_shown(*item, options.hidden));
    if (role_of(*item) != ItemRole::text) continue;
    const QStringList layers = layers_of(*item);
    const bool sided = std::any_of(
        layers.begin(), layers.end(),
        [](const QString& layer) { return is_front(layer) || is_back(layer); });
    if (!options.from_below || sided) {
      item->resetTransform();
      continue;
    }
    const double middle = item->boundingRect().center().x();
    item->setTransform(QTransform(-1, 0, 0, 1, 2 * middle, 0));
  }
}

QString preset_name(LayerPreset preset) {
  switch (preset) {
    case LayerPreset::front:
      return QStringLiteral("Front");
    case LayerPreset::back:
      return QStringLiteral("Back");
    case LayerPreset::copper:
      return QStringLiteral("Copper only");
    case LayerPreset::assembly:
      return QStringLiteral("Assembly");
    case LayerPreset::silkscreen:
      return QStringLiteral("Silkscreen and pads");
    case LayerPreset::all:
      break;
  }
  return QStringLiteral("All");
}

const QList<LayerPreset>& layer_presets() {
  static const QList<LayerPreset> presets{
      LayerPreset::all,    LayerPreset::front,    LayerPreset::back,
      LayerPreset::copper, LayerPreset::assembly, LayerPreset::silkscreen};
  return presets;
}

QSet<QString> preset_layers(LayerPreset preset) {
  QSet<QString> shown{kPadsRow, kHolesRow};
  for (const QString& layer : known_layers()) {
    const bool sided = is_front(layer) || is_back(layer);
    const bool outer_copper = layer == "F.Cu" || layer == "B.Cu";
    bool in = false;
    switch (preset) {
      case LayerPreset::all:
        in = true;
        break;
      case LayerPreset::front:
        in = is_front(layer) || (!sided && !is_copper(layer));
        break;
      case LayerPreset::back:
        in = is_back(layer) || (!sided && !is_copper(layer));
        break;
      case LayerPreset::copper:
        in = is_copper(layer);
        break;
      case LayerPreset::assembly:
        in = outer_copper || layer.endsWith(".Fab") || layer.endsWith(".CrtYd");
        break;
      case LayerPreset::silkscreen:
        in = outer_copper || layer.endsWith(".SilkS");
        break;
    }
    if (in) shown.insert(layer);
  }
  return shown;
}

QSet<QString> hidden_but(const QSet<QString>& shown) {
  QSet<QString> hidden{kPadsRow, kHolesRow};
  for (const QString& layer : known_layers()) hidden.insert(layer);
  return hidden.subtract(shown);
}

QSet<QString> layers_named(const QStringList& names, QString* unknown) {
  QSet<QString> shown;
  for (const QString& given : names) {
    const QString name = given.trimmed();
    bool found = false;
    for (const LayerPreset preset : layer_presets()) {
      if (name.compare(preset_name(preset), Qt::CaseInsensitive) == 0) {
        shown.unite(preset_layers(preset));
        found = true;
      }
    }
    for (const QString& row : {kPadsRow, kHolesRow}) {
      if (name.compare(row, Qt::CaseInsensitive) == 0) {
        shown.insert(row);
        found = true;
      }
    }
    const QString layer = layer_name(name.toStdString());
    if (known_layers().contains(layer)) {
      shown.insert(layer);
      found = true;
    }
    if (!found) {
      if (unknown) *unknown = name;
      return {};
    }
  }
  return shown;
}

QStringList layers_used(const QList<QGraphicsItem*>& items) {
  QSet<QString> used;
  bool pads = false, holes = false;
  for (const QGraphicsItem* item : items) {
    const ItemRole role = role_of(*item);
    pads |= role == ItemRole::pad || role == ItemRole::through_pad;
    holes |= role == ItemRole::hole;
    for (const QString& layer : layers_of(*item)) used.insert(layer);
  }
  QStringList rows;
  for (const QString& layer : known_layers())
    if (used.remove(layer)) rows << layer;
  QStringList others = used.values();
  others.sort();
  rows << others;
  if (pads) rows << kPadsRow;
  if (holes) rows << kHolesRow;
  return rows;
}

}  // namespace zwidget::zcvpcb
