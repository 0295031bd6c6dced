#pragma once

#include "zwidget/zviewer/colour_themes.h"

#include <QColor>
#include <QPen>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zcore {
class basenode;
}

namespace zwidget::zcvpcb {

// The table of a colour theme from layer names (and legacy layer numbers) to
// colours, looked up without regard to ASCII letter case, and the pen
// outline elements are drawn with.
class ZGraphToolsFactory {
public:
  explicit ZGraphToolsFactory(ColourTheme theme = ColourTheme::classic);
  virtual ~ZGraphToolsFactory();

  // Black for any name not in the table, the empty name included; the tint
  // while one is set.
  QColor colour(const std::string& name) const;
  // The table's own colour of `name`, untinted; none outside the table.
  std::optional<QColor> find_colour(const std::string& name) const;
  // The colour of `prefix + name`, as for pads: "system.pad." and the type.
  QColor colour(const std::string& prefix, const std::string& name) const;
  // A pad's colour: the pad type's, "system.pad." and `type`; the back
  // copper's when its copper is all on the back; when its layers, wildcards
  // spelt out, hold no copper layer, the colour of the first of them.
  QColor pad_colour(const std::string& type,
                    const std::vector<std::string>& layers) const;
  // The layer pen: the layer's colour, `width` in scene units (0 is Qt's
  // cosmetic one-pixel pen), solid, round caps, bevel joins.
  QPen pen(const std::string& layer, double width) const;
  // The layer pen of a `.kicad_mod` drawing element, from its `layer`,
  // `width` and the line style of its `stroke`.
  QPen pen(const zcore::basenode* node) const;

  // One colour for everything but holes, as a comparison draws one side;
  // none for the table's colours again.
  void set_tint(const std::optional<QColor>& colour) { tint = colour; }

private:
  // Orders byte by byte with A to Z folded to lower case.
  struct CaseInsensitiveLess {
    bool operator()(const std::string& a, const std::string& b) const;
  };

  using ColourTable = std::map<std::string, QColor, CaseInsensitiveLess>;
  static const ColourTable& table_of(ColourTheme theme);
  static ColourTable make_table(ColourTheme theme);
  // The table's colour of `name`, for any name.
  static QColor colour_in(const ColourTable& colours, const std::string& name);

  // The theme's table, shared by every factory of that theme.
  const ColourTable* colours;
  std::optional<QColor> tint;
  // The last name asked for and its colour.
  mutable bool last_found = false;
  mutable std::string last_name;
  mutable QColor last_colour;
  // The last element's pen, untinted, and what made it.
  struct LastPen {
    std::string layer;
    double width;
    std::string style;
    QPen pen;
  };
  mutable std::optional<LastPen> last_pen;
  QPen styled_pen(const std::string& layer, double width,
                  const std::string& style) const;
};

}  // namespace zwidget::zcvpcb
