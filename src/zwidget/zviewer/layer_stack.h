#pragma once

#include <QList>
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

// Marks an item with its role and the layers it lies on, as a loader knows
// them.
void set_layers(QGraphicsItem& item, ItemRole role, const QStringList& layers);
// A drawing on no layer for an item that was never marked.
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

// Puts each item at its depth: back layers under front ones (seen from
// below, the other way round); on each side the drawings under the copper
// and mask and paste over it; zones under drawings under pads of a layer;
// holes over every layer, and texts over everything. Items of one depth
// keep the order in which they were added.
void stack_items(const QList<QGraphicsItem*>& items, bool from_below);

}  // namespace zwidget::zcvpcb
