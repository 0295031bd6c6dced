#include "zwidget/zviewer/legacy_module_scene_loader.h"

#include "zcore/legacy_elements.h"
#include "zcore/legacy_model.h"
#include "zcore/model_exception.h"
#include "zcore/text_markup.h"
#include "zcore/text_variables.h"
#include "zwidget/zgraph/arc_geometry.h"
#include "zwidget/zgraph/arc_item.h"
#include "zwidget/zgraph/circle_item.h"
#include "zwidget/zgraph/line_item.h"
#include "zwidget/zgraph/pad_item.h"
#include "zwidget/zgraph/polygon_item.h"
#include "zwidget/zgraph/text_item.h"
#include "zwidget/zviewer/debug_log.h"

#include <QPolygonF>

#include <cmath>
#include <iostream>
#include <optional>

namespace zwidget::zcvpcb {

namespace {

// The other format's name of a legacy layer number; the number itself for
// one it has no name for.
std::string named(int number) {
  const std::string name = zcore::legacy_layer_name(number);
  return name.empty() ? std::to_string(number) : name;
}

std::string named(const std::string& number) {
  for (const char c : number)
    if (c < '0' || c > '9') return number;
  return number.empty() || number.size() > 3 ? number
                                             : named(std::stoi(number));
}

zgraph::PadSpec spec_of(const zcore::l_pad& pad, const std::string& type) {
  zgraph::PadSpec spec;
  spec.number = QString::fromStdString(pad.number);
  spec.type = zgraph::pad_type_of(type);
  spec.shape = zgraph::pad_shape_of(pad.kicad_shape());
  // A circle is as wide as its first size, whatever the second says.
  spec.size = pad.shape == "C" ? QSizeF(pad.size_x, pad.size_x)
                               : QSizeF(pad.size_x, pad.size_y);
  spec.position = QPointF(pad.x, pad.y);
  // Tenths of a degree, counter-clockwise as in the other format.
  spec.turn = pad.orientation / 10;
  spec.deltas = QSizeF(pad.delta_x, pad.delta_y);
  spec.drill = {QSizeF(pad.drill_x, pad.drill_y), pad.oblong_drill};
  spec.offset = QPointF(pad.drill_offset_x, pad.drill_offset_y);
  return spec;
}

}  // namespace

ZLegacyModuleSceneLoader::ZLegacyModuleSceneLoader(
    ZScene* scene, const std::vector<std::vector<std::string>>* records)
    : ZSceneLoader(scene), records(records) {
}

ZLegacyModuleSceneLoader::ZLegacyModuleSceneLoader(
    ZScene* scene, const zcore::LegacyStringModel& model)
    : ZSceneLoader(scene), records(&model.records()), model(&model) {
}

QPen ZLegacyModuleSceneLoader::pen(const std::string& layer,
                                   double width) const {
  return tools.pen(layer, width);
}

template <typename Step>
void ZLegacyModuleSceneLoader::at_record(std::size_t i, Step&& step) const {
  try {
    step();
  } catch (const zcore::ModelException& error) {
    if (!model) throw;
    throw error.placed(model->position_of(i));
  }
}

void ZLegacyModuleSceneLoader::load() {
  for (std::size_t i = 0; i < records->size(); ++i)
    at_record(i, [this, i] { add_record(i); });
  add_texts();
}

void ZLegacyModuleSceneLoader::add_record(std::size_t i) {
  using namespace zwidget::zgraph;
  const std::vector<std::string>& record = (*records)[i];
  // The reader makes no empty record, but a model can be built from any.
  if (record.empty()) return;
  begin_element(i);
  if (zcore::is_failed_line(record)) throw zcore::ModelException(record[1]);
  const std::string& tag = record.front();
  if (zcore::is_line_tag(tag)) {
    const zcore::l_line line(record);
    add(new GraphicsLineItem(QLineF(line.x1, line.y1, line.x2, line.y2),
                             pen(line.layer, line.width)),
        named(line.layer));
  } else if (zcore::is_circle_tag(tag)) {
    const zcore::l_circle circle(record);
    const double radius =
        std::sqrt((circle.y1 - circle.y2) * (circle.y1 - circle.y2) +
                  (circle.x1 - circle.x2) * (circle.x1 - circle.x2));
    add(new GraphicsCircleItem(QPointF(circle.x1, circle.y1), radius,
                               pen(circle.layer, circle.width)),
        named(circle.layer));
  } else if (zcore::is_arc_tag(tag)) {
    const zcore::l_arc arc(record);
    const ArcShape shape = arc_around(QPointF(arc.x1, arc.y1),
                                      QPointF(arc.x2, arc.y2), arc.sweep());
    add(new GraphicsArcItem(shape.centre, shape.radius, shape.start, shape.span,
                            pen(arc.layer, arc.width)),
        named(arc.layer));
  } else if (zcore::is_poly_tag(tag)) {
    const zcore::l_poly poly = zcore::l_poly::with_corners(*records, i);
    QPolygonF polygon;
    for (const zcore::point& corner : poly.corners)
      polygon.append(QPointF(corner.x, corner.y));
    add(new GraphicsPolygonItem(polygon, pen(poly.layer, poly.width), QBrush()),
        named(poly.layer));
  } else {
    if (zcore::is_pad_tag(tag)) add_pad(zcore::l_pad(*records, i));
    // A line per record: flushing each one cost a write to the terminal
    // for every line of a library.
    if (loader_log().isDebugEnabled())
      std::cout << "ZLegacyModuleSceneLoader tag:" << tag << '\n';
  }
}

void ZLegacyModuleSceneLoader::add_texts() {
  using namespace zwidget::zgraph;
  const auto is_text = [this](std::size_t i) {
    const std::vector<std::string>& record = (*records)[i];
    return !record.empty() && zcore::is_text_tag(record.front());
  };
  // %R and %V stand for the reference (T0) and the value (T1).
  zcore::text_variables variables;
  variables.expand_percent_forms(true);
  for (std::size_t i = 0; i < records->size(); ++i) {
    const std::vector<std::string>& record = (*records)[i];
    if (record.size() > 1 && record.front() == "$MODULE")
      variables.set("FOOTPRINT_NAME", record[1]);
    if (!is_text(i)) continue;
    at_record(i, [&] {
      const zcore::l_text text(record);
      if (text.tag == "T0") variables.set("REFERENCE", text.text);
      if (text.tag == "T1") variables.set("VALUE", text.text);
    });
  }
  for (std::size_t i = 0; i < records->size(); ++i) {
    if (!is_text(i)) continue;
    at_record(i, [&] {
      const zcore::l_text text((*records)[i]);
      if (text.text.empty()) return;
      const std::optional<std::string> expanded =
          shown_text(variables, text.text);
      if (!expanded) return;
      // The format's overbars are single tildes.
      const std::string shown = zcore::with_markup_overbars(*expanded);
      begin_element(i);
      TextStyle style;
      style.mirrored = text.mirrored;
      style.runs = markup_of(shown);
      // Orientations are in tenths of a degree too.
      double angle = text.orientation / 10;
      keep_upright(angle);
      add(new GraphicsTextItem(QString::fromStdString(text.kind),
                               QString::fromStdString(shown),
                               QPointF(text.x, text.y), angle, text.hidden,
                               QSizeF(text.size_x, text.size_y), text.pen_width,
                               text.italic, tools.colour(text.layer), style),
          ItemRole::text, QStringList(layer_name(named(text.layer))));
    });
  }
}

void ZLegacyModuleSceneLoader::add_pad(const zcore::l_pad& pad) {
  for (const std::string& fault : pad.faults)
    std::cout << "ZLegacyModuleSceneLoader pad \"" << pad.number
              << "\": " << fault << '\n';
  const std::string type = pad.kicad_type();
  // Copper on the back alone takes its colour, as in the other format.
  const bool back_only = pad.back() && !(pad.layer_mask & 0xFFFE);
  QColor colour =
      back_only ? tools.colour("B.Cu") : tools.colour("system.pad.", type);
  // Bits 0 to 15 are the copper layers; without them the pad takes the
  // colour of its first layer.
  if ((pad.layer_mask & 0xFFFF) == 0 && pad.layer_mask != 0) {
    int first = 16;
    while (!((pad.layer_mask >> first) & 1)) ++first;
    colour = tools.colour(zcore::legacy_layer_name(first));
  }
  QStringList layers;
  for (int bit = 0; bit <= 28; ++bit)
    if ((pad.layer_mask >> bit) & 1) layers << layer_name(named(bit));
  ZSceneLoader::add_pad(
      new zgraph::GraphicsPadItem(
          spec_of(pad, type), colour, tools.colour("system.label"),
          tools.find_colour("system.label.rim").value_or(QColor())),
      layers);
}

}  // namespace zwidget::zcvpcb
