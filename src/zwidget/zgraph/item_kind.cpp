#include "zwidget/zgraph/item_kind.h"

#include "zwidget/zgraph/arc_item.h"
#include "zwidget/zgraph/circle_item.h"
#include "zwidget/zgraph/curve_item.h"
#include "zwidget/zgraph/dimension_item.h"
#include "zwidget/zgraph/hole_item.h"
#include "zwidget/zgraph/line_item.h"
#include "zwidget/zgraph/pad_item.h"
#include "zwidget/zgraph/polygon_item.h"
#include "zwidget/zgraph/text_item.h"
#include "zwidget/zgraph/zone_item.h"

#include <typeinfo>

namespace zwidget::zgraph {

std::string kind_of(const QGraphicsItem* item) {
  if (!item) return "other";
  // A dynamic_cast through our items' two bases costs hundreds of
  // instructions, comparing the exact type a few; the casts are left for
  // classes derived from ours.
  const std::type_info& type = typeid(*item);
  if (type == typeid(GraphicsLineItem)) return "line";
  if (type == typeid(GraphicsPadItem)) return "pad";
  if (type == typeid(GraphicsTextItem)) return "text";
  if (type == typeid(GraphicsHoleItem)) return "hole";
  if (dynamic_cast<const GraphicsLineItem*>(item)) return "line";
  if (dynamic_cast<const GraphicsArcItem*>(item)) return "arc";
  if (dynamic_cast<const GraphicsCircleItem*>(item)) return "circle";
  if (dynamic_cast<const GraphicsCurveItem*>(item)) return "curve";
  if (dynamic_cast<const GraphicsPolygonItem*>(item)) return "polygon";
  if (dynamic_cast<const GraphicsPadItem*>(item)) return "pad";
  if (dynamic_cast<const GraphicsTextItem*>(item)) return "text";
  if (dynamic_cast<const GraphicsZoneItem*>(item)) return "zone";
  if (dynamic_cast<const GraphicsDimensionItem*>(item)) return "dimension";
  return "other";
}

}  // namespace zwidget::zgraph
