#include "zwidget/zviewer/colour_themes.h"

#include <cmath>

namespace zwidget::zcvpcb {
namespace {

using Rows = std::vector<std::pair<std::string, QColor>>;

// KiCad's inner copper colours, which it repeats every twelve layers.
const QColor kKiCadInner[] = {
    {127, 200, 127}, {206, 125, 44}, {79, 203, 203},  {219, 98, 139},
    {167, 165, 198}, {40, 204, 217}, {232, 178, 167}, {242, 237, 161},
    {141, 203, 129}, {237, 124, 51}, {91, 195, 235},  {247, 111, 142}};

// In1.Cu to In30.Cu: KiCad's colours, each round of twelve darker than the
// last, so that no two layers share one; the seventh and eighth, KiCad's
// silkscreen colours, darker still. `shade` darkens them all for white.
void add_inner(Rows& rows, double shade) {
  for (int i = 0; i < 30; ++i) {
    const QColor& kicad = kKiCadInner[i % 12];
    double factor = (1.0 - 0.18 * (i / 12)) * shade;
    if (i % 12 == 6 || i % 12 == 7) factor *= 0.85;
    const auto part = [factor](int value) {
      return static_cast<int>(std::round(value * factor));
    };
    rows.emplace_back(
        "In" + std::to_string(i + 1) + ".Cu",
        QColor(part(kicad.red()), part(kicad.green()), part(kicad.blue())));
  }
}

// As KiCad 9 plots its layers with its default theme; where its theme gives
// two layers one colour (Margin and F.CrtYd, the numbered user layers and
// the drawing layers), the second gets one of its own.
Rows kicad_rows() {
  const QColor front(200, 52, 52);
  Rows rows{
      {"F.Cu", front},
      {"B.Cu", {77, 127, 196}},
      {"F.Adhes", {132, 0, 132}},
      {"B.Adhes", {0, 0, 132}},
      // Paste and mask see-through, as KiCad plots them.
      {"F.Paste", {180, 160, 154, 230}},
      {"B.Paste", {0, 194, 194, 230}},
      {"F.SilkS", {242, 237, 161}},
      {"B.SilkS", {232, 178, 167}},
      {"F.Mask", {216, 100, 255, 102}},
      {"B.Mask", {2, 255, 238, 102}},
      {"Dwgs.User", {194, 194, 194}},
      {"Cmts.User", {89, 148, 220}},
      {"Eco1.User", {180, 219, 210}},
      {"Eco2.User", {216, 200, 82}},
      {"Edge.Cuts", {208, 210, 205}},
      {"Margin", {255, 110, 170}},
      {"F.CrtYd", {255, 38, 226}},
      {"B.CrtYd", {38, 233, 255}},
      {"F.Fab", {175, 175, 175}},
      {"B.Fab", {88, 93, 132}},
      {"User.1", {140, 180, 110}},
      {"User.2", {110, 200, 160}},
      {"User.3", {200, 140, 220}},
      {"User.4", {230, 150, 90}},
      {"User.5", {150, 150, 255}},
      {"User.6", {255, 200, 120}},
      {"User.7", {160, 110, 80}},
      {"User.8", {120, 160, 190}},
      {"User.9", {255, 90, 90}},
      {"system.pad.thru_hole", {227, 183, 46}},
      {"system.pad.np_thru_hole", {227, 183, 46}},
      {"system.pad.smd", front},
      {"system.pad.connect", front},
      {"system.hole.plated", {194, 194, 0}},
      {"system.hole.bare", {26, 196, 210}},
      {"system.background", {0, 16, 35}},
      {"system.grid", {132, 132, 132}},
      {"system.label", {255, 255, 255}},
      {"system.label.rim", {0, 16, 35}},
  };
  add_inner(rows, 1.0);
  return rows;
}

// Every layer dark enough to read on white.
Rows light_rows() {
  const QColor front(200, 40, 40);
  Rows rows{
      {"F.Cu", front},
      {"B.Cu", {40, 90, 200}},
      {"F.Adhes", {150, 30, 150}},
      {"B.Adhes", {30, 30, 160}},
      {"F.Paste", {150, 115, 105}},
      {"B.Paste", {0, 140, 140}},
      {"F.SilkS", {40, 40, 40}},
      {"B.SilkS", {160, 85, 60}},
      {"F.Mask", {170, 60, 220}},
      {"B.Mask", {0, 175, 155}},
      {"Dwgs.User", {150, 150, 150}},
      {"Cmts.User", {60, 120, 170}},
      {"Eco1.User", {60, 140, 110}},
      {"Eco2.User", {150, 130, 20}},
      {"Edge.Cuts", {200, 170, 0}},
      {"Margin", {255, 120, 0}},
      {"F.CrtYd", {210, 30, 200}},
      {"B.CrtYd", {0, 160, 220}},
      {"F.Fab", {95, 95, 95}},
      {"B.Fab", {90, 95, 150}},
      {"User.1", {100, 140, 60}},
      {"User.2", {40, 150, 110}},
      {"User.3", {150, 80, 170}},
      {"User.4", {190, 100, 40}},
      {"User.5", {90, 90, 210}},
      {"User.6", {190, 140, 60}},
      {"User.7", {130, 50, 100}},
      {"User.8", {70, 110, 140}},
      {"User.9", {220, 50, 50}},
      {"system.pad.thru_hole", {190, 140, 0}},
      {"system.pad.np_thru_hole", {190, 140, 0}},
      {"system.pad.smd", front},
      {"system.pad.connect", front},
      {"system.hole.plated", {60, 60, 60}},
      {"system.hole.bare", {20, 120, 160}},
      {"system.background", {255, 255, 255}},
      {"system.grid", {170, 170, 170}},
      {"system.label", {255, 255, 255}},
      // White numbers over a hole show on white paper only with a rim.
      {"system.label.rim", {40, 40, 40}},
  };
  add_inner(rows, 0.62);
  return rows;
}

}  // namespace

QString theme_name(ColourTheme theme) {
  switch (theme) {
    case ColourTheme::kicad:
      return QStringLiteral("KiCad");
    case ColourTheme::light:
      return QStringLiteral("Light");
    case ColourTheme::classic:
      break;
  }
  return QStringLiteral("Classic");
}

std::optional<ColourTheme> theme_named(const QString& name) {
  for (const ColourTheme theme : colour_themes())
    if (name.compare(theme_name(theme), Qt::CaseInsensitive) == 0) return theme;
  return std::nullopt;
}

const std::vector<ColourTheme>& colour_themes() {
  static const std::vector<ColourTheme> themes{
      ColourTheme::classic, ColourTheme::kicad, ColourTheme::light};
  return themes;
}

std::vector<std::pair<std::string, QColor>> theme_colours(ColourTheme theme) {
  switch (theme) {
    case ColourTheme::kicad:
      return kicad_rows();
    case ColourTheme::light:
      return light_rows();
    case ColourTheme::classic:
      break;
  }
  return {};
}

}  // namespace zwidget::zcvpcb
