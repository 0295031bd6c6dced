#pragma once

#include <QFont>
#include <QPainterPath>
#include <QString>

namespace zwidget::zgraph {

// `text` in `font`, element for element the path that
// QPainterPath::addText(0, 0, font, text) makes. Qt reads every glyph's
// outline from the font file anew, running its hinting program: a BGA's two
// thousand new pad numbers took 17 ms. Here a line of printable ASCII is laid
// out by Qt as before, and each glyph's outline, read once per process, is
// placed where the layout puts it; any other text is left to Qt.
QPainterPath text_outline(const QString& text, const QFont& font);

}  // namespace zwidget::zgraph
