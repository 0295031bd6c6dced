#include "zwidget/zviewer/layer_stack.h"

#include <QGraphicsItem>
#include <QHash>

#include <algorithm>

namespace zwidget::zcvpcb {
namespace {

// Keys of the item data a loader marks its items with.
constexpr int kRoleKey = 0x7a01;
constexpr int kLayersKey = 0x7a02;

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
// drawings under the copper, which shows its pads whole, and the openings
// of mask and paste over the copper they lie on.
QStringList side_layers(const char* side) {
  QStringList layers;
  for (const char* layer :
       {"Fab", "CrtYd", "SilkS", "Adhes", "Cu", "Mask", "Paste"})
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

void set_layers(QGraphicsItem& item, ItemRole role, const QStringList& layers) {
  item.setData(kRoleKey, static_cast<int>(role));
  item.setData(kLayersKey, layers);
}

ItemRole role_of(const QGraphicsItem& item) {
  const QVariant role = item.data(kRoleKey);
  return role.isValid() ? static_cast<ItemRole>(role.toInt())
                        : ItemRole::drawing;
}

QStringList layers_of(const QGraphicsItem& item) {
  return item.data(kLayersKey).toStringList();
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

void stack_items(const QList<QGraphicsItem*>& items, bool from_below) {
  // Four roles share a layer's depth: zones, drawings, pads, through pads.
  const int above_layers = (neutral_depth() + 1) * 4;
  for (QGraphicsItem* item : items) {
    const ItemRole role = role_of(*item);
    const int depth = item_depth(role, layers_of(*item), from_below);
    double z = depth * 4 + static_cast<int>(role);
    if (role == ItemRole::hole) z = above_layers;
    if (role == ItemRole::text) z = above_layers + 1 + depth;
    item->setZValue(z);
  }
}

}  // namespace zwidget::zcvpcb
