#pragma once

#include "zcore/element_facts.h"
#include "zcore/length_units.h"

#include <QString>

namespace zwidget::zcvpcb {

// A length in millimetres as the window shows it: "0.5000 mm".
QString length_text(double mm, zcore::length_unit unit);
// An angle in degrees: "90°", "12.5°".
QString angle_text(double degrees);

// A fact's value in `unit`: "1.2000 mm", "0.5000, -1.0000 mm",
// "1.7000 × 1.0000 mm", "45°", ...
QString fact_value(const zcore::fact& fact, zcore::length_unit unit);
// A fact's label, translated.
QString fact_label(const zcore::fact& fact);

// One "Label: value" line per fact: the text that is copied.
QString facts_as_text(const zcore::fact_list& facts, zcore::length_unit unit);
// The same as rows of an HTML table, escaped.
QString facts_as_html(const zcore::fact_list& facts, zcore::length_unit unit);

}  // namespace zwidget::zcvpcb
