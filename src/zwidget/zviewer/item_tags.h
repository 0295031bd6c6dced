#pragma once

#include <QGraphicsItem>
#include <QVariant>

namespace zwidget::zcvpcb {

// The keys of QGraphicsItem::data that the scene loaders tag each item
// with, so that the viewer finds the file's element behind what is drawn;
// the items themselves know nothing of the model.
enum ItemTag {
  // The element's place in the file: the index of a `.kicad_mod`
  // footprint's child list, or of a legacy module's record.
  kElementTag = 0x5045,
  // For a pad: its place among the footprint's pads, in file order.
  kPadTag,
};

// -1 for an item without the tag.
inline int item_tag(const QGraphicsItem* item, ItemTag tag) {
  const QVariant value = item->data(tag);
  return value.isValid() ? value.toInt() : -1;
}

inline int element_of(const QGraphicsItem* item) {
  return item_tag(item, kElementTag);
}

inline int pad_of(const QGraphicsItem* item) {
  return item_tag(item, kPadTag);
}

}  // namespace zwidget::zcvpcb
