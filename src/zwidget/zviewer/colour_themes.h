#pragma once

#include <QColor>
#include <QString>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zwidget::zcvpcb {

// The colour sets of the picture: the viewer's own table on black, KiCad's
// default theme with each layer its own colour, and one for white paper.
enum class ColourTheme { classic, kicad, light };

// "Classic", "KiCad" or "Light".
QString theme_name(ColourTheme theme);
// The theme of that name in any letter case; none for any other name.
std::optional<ColourTheme> theme_named(const QString& name);
// Every theme, the default first.
const std::vector<ColourTheme>& colour_themes();

// The colours of the KiCad and Light themes by layer name, with the pads'
// ("system.pad." and the type), the holes' ("system.hole.plated",
// "system.hole.bare"), the background's, the grid's and the pad numbers'
// ("system.background", "system.grid", "system.label") and the rim around
// the numbers ("system.label.rim"). None for Classic,
// whose table the colour factory keeps.
std::vector<std::pair<std::string, QColor>> theme_colours(ColourTheme theme);

}  // namespace zwidget::zcvpcb
