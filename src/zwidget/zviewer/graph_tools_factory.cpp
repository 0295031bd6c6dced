#include "zwidget/zviewer/graph_tools_factory.h"

#include "zcore/legacy_elements.h"
#include "zcore/nodeview.h"

#include <QBrush>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>

namespace zwidget::zcvpcb {
namespace {

// The answer for every name outside the table.
const QColor kUnknownColour(Qt::black);

unsigned char fold(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

// The numbered user layers of newer files ("User.1", "User.2", ...): drawn
// like the user drawing layer, not black on black.
bool is_numbered_user_layer(const std::string& name) {
  const std::string_view prefix = "User.";
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix))
    return false;
  return std::all_of(name.begin() + prefix.size(), name.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

bool ZGraphToolsFactory::CaseInsensitiveLess::operator()(
    const std::string& a, const std::string& b) const {
  return std::lexicographical_compare(
      a.begin(), a.end(), b.begin(), b.end(),
      [](char x, char y) { return fold(x) < fold(y); });
}

ZGraphToolsFactory::ZGraphToolsFactory(ColourTheme theme)
    : colours(&table_of(theme)) {
}

const ZGraphToolsFactory::ColourTable& ZGraphToolsFactory::table_of(
    ColourTheme theme) {
  // Made once for the process: a scene, its loader and the render tool's
  // background each asked for a table of a footprint's theme.
  static const ColourTable tables[] = {make_table(ColourTheme::classic),
                                       make_table(ColourTheme::kicad),
                                       make_table(ColourTheme::light)};
  return tables[static_cast<int>(theme)];
}

ZGraphToolsFactory::ColourTable ZGraphToolsFactory::make_table(
    ColourTheme theme) {
  ColourTable colours;
  // The Classic theme: layer names of .kicad_mod files, two legacy layer
  // numbers and the pad types; "F.Silks" also answers the format's F.SilkS.
  const struct {
    const char* name;
    int red, green, blue;
  } table[] = {
      {"F.Cu", 132, 0, 0},
      {"B.Cu", 0, 132, 0},
      {"F.Adhes", 132, 0, 132},
      {"B.Adhes", 0, 0, 132},
      {"F.Paste", 132, 0, 0},
      {"B.Paste", 0, 194, 194},
      {"F.Silks", 0, 132, 132},
      {"21", 0, 132, 132},
      {"B.Silks", 132, 0, 132},
      {"25", 132, 0, 132},
      {"F.Mask", 132, 0, 132},
      {"B.Mask", 132, 132, 0},
      {"Dwgs.User", 194, 194, 194},
      {"Cmts.User", 0, 0, 132},
      {"Eco1.User", 0, 132, 0},
      {"Eco2.User", 194, 194, 0},
      {"Edge.Cuts", 194, 194, 0},
      {"Margin", 194, 0, 194},
      {"F.CrtYd", 132, 132, 132},
      {"B.CrtYd", 194, 194, 0},
      {"F.Fab", 194, 194, 0},
      {"B.Fab", 132, 0, 0},
      {"system.pad.thru_hole", 194, 194, 0},
      {"system.pad.smd", 132, 0, 0},
      {"system.pad.connect", 132, 0, 0},
      {"system.pad.np_thru_hole", 194, 194, 0},
      // The rims of plated holes and of bare ones.
      {"system.hole.plated", 194, 194, 194},
      {"system.hole.bare", 0, 194, 255},
      {"system.background", 0, 0, 0},
      {"system.grid", 255, 255, 255},
      {"system.label", 255, 255, 255},
  };
  if (theme == ColourTheme::classic) {
    for (const auto& row : table)
      colours.emplace(row.name, QColor(row.red, row.green, row.blue));
    // Inner copper layers cycle through colours no other layer has, so
    // that neighbours differ and none is black on black.
    const QColor inner[] = {{194, 132, 0},   {64, 194, 132}, {194, 64, 132},
                            {132, 132, 194}, {0, 194, 0},    {194, 0, 0},
                            {132, 194, 132}, {194, 132, 194}};
    for (int layer = 1; layer <= 30; ++layer)
      colours.emplace("In" + std::to_string(layer) + ".Cu",
                      inner[(layer - 1) % std::size(inner)]);
  }
  for (const auto& [name, colour] : theme_colours(theme))
    colours.emplace(name, colour);
  // Every other legacy layer number in the colour of the layer it stands
  // for; 21 and 25 keep their rows.
  for (int number = 0; number <= 28; ++number) {
    const std::string name = zcore::legacy_layer_name(number);
    if (!name.empty())
      colours.emplace(std::to_string(number), colour_in(colours, name));
  }
  return colours;
}

QColor ZGraphToolsFactory::colour_in(const ColourTable& colours,
                                     const std::string& name) {
  const auto found = colours.find(name);
  if (found != colours.end()) return found->second;
  return is_numbered_user_layer(name) ? colour_in(colours, "Dwgs.User")
                                      : kUnknownColour;
}

ZGraphToolsFactory::~ZGraphToolsFactory() = default;

QColor ZGraphToolsFactory::colour(const std::string& name) const {
  if (tint && name.rfind("system.hole.", 0) != 0) return *tint;
  // A loader asks for the colours of runs of elements on one layer.
  if (!last_found || last_name != name) {
    last_colour = colour_in(*colours, name);
    last_name = name;
    last_found = true;
  }
  return last_colour;
}

std::optional<QColor> ZGraphToolsFactory::find_colour(
    const std::string& name) const {
  const auto found = colours->find(name);
  if (found == colours->end()) return std::nullopt;
  return found->second;
}

QColor ZGraphToolsFactory::colour(const std::string& prefix,
                                  const std::string& name) const {
  return colour(prefix + name);
}

QColor ZGraphToolsFactory::pad_colour(
    const std::string& type, const std::vector<std::string>& layers) const {
  // F.Cu, In1.Cu, *.Cu: every copper layer ends so.
  const auto copper = [](const std::string& layer) {
    const std::size_t n = layer.size();
    return n >= 3 && layer[n - 3] == '.' && fold(layer[n - 2]) == 'c' &&
           fold(layer[n - 1]) == 'u';
  };
  const auto back = [](const std::string& layer) {
    return layer.size() > 2 && fold(layer[0]) == 'b' && layer[1] == '.';
  };
  if (layers.empty()) return colour("system.pad.", type);
  if (std::none_of(layers.begin(), layers.end(), copper))
    return colour(layers.front());
  // Copper on the back alone is seen as the back copper, whatever the type.
  const bool back_only = std::all_of(
      layers.begin(), layers.end(),
      [&](const std::string& layer) { return !copper(layer) || back(layer); });
  return back_only ? colour("B.Cu") : colour("system.pad.", type);
}

QPen ZGraphToolsFactory::pen(const std::string& layer, double width) const {
  const QBrush brush(colour(layer), Qt::SolidPattern);
  return QPen(brush, width, Qt::SolidLine, Qt::RoundCap, Qt::BevelJoin);
}

QPen ZGraphToolsFactory::pen(const zcore::basenode* node) const {
  const zcore::nodeview element(node);
  const std::string layer = element.layer();
  const double width = element.width();
  const std::string style = element.stroke_type();
  if (tint) return styled_pen(layer, width, style);
  // Runs of elements share one pen, as they share layer, width and style;
  // widths compare by their bits, so that -0 keeps a pen of its own.
  if (!last_pen || layer != last_pen->layer ||
      std::memcmp(&width, &last_pen->width, sizeof width) != 0 ||
      style != last_pen->style)
    last_pen = LastPen{layer, width, style, styled_pen(layer, width, style)};
  return last_pen->pen;
}

QPen ZGraphToolsFactory::styled_pen(const std::string& layer, double width,
                                    const std::string& style) const {
  QPen layer_pen = pen(layer, width);
  // In pen widths, as KiCad measures them: dashes 12 long, gaps 3 and dots
  // a round cap alone. Round caps lengthen every dash by one width, so the
  // pattern asks for one less and the gaps for one more.
  const double dash = 11, dot = 0.01, gap = 4;
  if (style == "dash") layer_pen.setDashPattern({dash, gap});
  if (style == "dot") layer_pen.setDashPattern({dot, gap});
  if (style == "dash_dot") layer_pen.setDashPattern({dash, gap, dot, gap});
  if (style == "dash_dot_dot")
    layer_pen.setDashPattern({dash, gap, dot, gap, dot, gap});
  return layer_pen;
}

}  // namespace zwidget::zcvpcb
