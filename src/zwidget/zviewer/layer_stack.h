#pragma once

#include "zwidget/zviewer/colour_themes.h"

#include <QList>
#include <QMetaType>
#include <QSet>
#include <QString>
#include <QStringList>

#include <string>

class QGraphicsItem;

namespace zwidget::zcvpcb {

// What an item draws, for the order in which items stack and for hiding
// them by layer. A through pad has a drill and copper on both sides.
enum class ItemRole { zone, drawing, pad, through_pad, hole, text };

// The names of the two rows of the layers panel that are not layers.
inline const QString kPadsRow = QStringLiteral("Pads");
inline const QString kHolesRow = QStringLiteral("Holes");

// What a loader marks each item with, kept by its scene: the file's element
// behind it and, for a pad or its hole, the pad's place among the pads
// (item_tags.h); its role and the layers it lies on.
struct ItemMarks {
  int element = -1;
  int pad = -1;
  ItemRole role = ItemRole::drawing;
  QStringList layers;
};
// The defaults for an item that was never marked, or is on no footprint
// scene: a drawing on no layer.
ItemMarks marks_of(const QGraphicsItem& item);
ItemRole role_of(const QGraphicsItem& item);
QStringList layers_of(const QGraphicsItem& item);

// A layer name as KiCad spells it, whatever its letter case (F.SilkS for
// f.silks); a name KiCad does not know stays as it is.
QString layer_name(const std::string& name);
// Every layer KiCad knows, in the order of its layer list: F.Cu, In1.Cu to
// In30.Cu, B.Cu, the technical layers by pairs, the user layers.
const QStringList& known_layers();
bool is_copper(const QString& layer);
// Layers of one side: F.* and B.*.
bool is_front(const QString& layer);
bool is_back(const QString& layer);

// How the footprint is shown, beyond zoom and rotation.
struct PictureOptions {
  ColourTheme theme = ColourTheme::classic;
  // Layer names, and the Pads and Holes rows, left out of the picture.
  QSet<QString> hidden;
  // Seen from below: mirrored left to right, the back over the front.
  bool from_below = false;

  bool operator==(const PictureOptions& other) const {
    return theme == other.theme && hidden == other.hidden &&
           from_below == other.from_below;
  }
  bool operator!=(const PictureOptions& other) const {
    return !(*this == other);
  }
};

// Ready choices of layers, as KiCad's layer presets.
enum class LayerPreset { all, front, back, copper, assembly, silkscreen };
// "All", "Front", "Back", "Copper only", "Assembly", "Silkscreen and pads".
QString preset_name(LayerPreset preset);
const QList<LayerPreset>& layer_presets();
// What a preset shows: layer names and the Pads and Holes rows. The pads'
// copper layers come with the pads.
QSet<QString> preset_layers(LayerPreset preset);
// Every known layer and the two rows, but those in `shown`.
QSet<QString> hidden_but(const QSet<QString>& shown);
// The layers and rows that names such as "F.Cu,Pads,Front" show: layer and
// row names in any letter case, and preset names; empty, with the name in
// `unknown`, for a name that is neither.
QSet<QString> layers_named(const QStringList& names, QString* unknown);

// The layers the items lie on, in the order of KiCad's layer list and
// other names after them, then the Pads and Holes rows where there are
// pads and holes.
QStringList layers_used(const QList<QGraphicsItem*>& items);

// Whether an item is drawn with `hidden` left out: a drawing, text or zone
// while one of its layers is shown (or it has none), a pad while pads and
// one of its layers are, a hole while holes are.
bool is_shown(const QGraphicsItem& item, const QSet<QString>& hidden);

// Stacks, hides and shows the items as `options` say. Seen from below, a
// text on a layer of neither side is turned back about its middle, so that
// it still reads as KiCad shows it; a side's texts read as that side's
// do from below.
void arrange_items(const QList<QGraphicsItem*>& items,
                   const PictureOptions& options);

// Puts each item at its depth: back layers under front ones (seen from
// below, the other way round); on each side the drawings and the mask
// under the copper and the paste over it; zones under drawings under pads of a
// layer; holes over every layer, and texts over everything. Items of one depth
// keep the order in which they were added.
void stack_items(const QList<QGraphicsItem*>& items, bool from_below);

// The depth stack_items gives an item of `role` on `layers`, for items as
// they are made.
class ItemStacker {
public:
  explicit ItemStacker(bool from_below);
  double z_of(ItemRole role, const QStringList& layers);

private:
  bool from_below;
  int above_layers;
  ItemRole last_role = ItemRole::drawing;
  QStringList last_layers;
  int last_depth = -1;
};

}  // namespace zwidget::zcvpcb
