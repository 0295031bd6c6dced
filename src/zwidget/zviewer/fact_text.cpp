#include "zwidget/zviewer/fact_text.h"

#include <QCoreApplication>
#include <QStringList>

namespace zwidget::zcvpcb {

namespace {

QString number(double mm, zcore::length_unit unit) {
  return QString::fromStdString(zcore::format_number(mm, unit));
}

QString symbol(zcore::length_unit unit) {
  return QString::fromLatin1(zcore::unit_symbol(unit));
}

}  // namespace

QString length_text(double mm, zcore::length_unit unit) {
  return QString::fromStdString(zcore::format_length(mm, unit));
}

QString angle_text(double degrees) {
  // Whole degrees where the file has them, else to a thousandth.
  QString text = QString::number(degrees, 'f', 3);
  while (text.endsWith('0')) text.chop(1);
  if (text.endsWith('.')) text.chop(1);
  if (text == "-0") text = "0";
  return text + QChar(0x00b0);
}

QString fact_value(const zcore::fact& fact, zcore::length_unit unit) {
  using kind = zcore::fact::kind;
  switch (fact.type) {
    case kind::length:
      return length_text(fact.x, unit);
    case kind::point:
      return QString("%1, %2 %3")
          .arg(number(fact.x, unit), number(fact.y, unit), symbol(unit));
    case kind::size:
      return QString("%1 \u00d7 %2 %3")
          .arg(number(fact.x, unit), number(fact.y, unit), symbol(unit));
    case kind::angle:
      return angle_text(fact.x);
    case kind::area:
      return QString::fromStdString(zcore::format_area(fact.x, unit));
    case kind::count:
      return QString::number(static_cast<long long>(fact.x));
    case kind::text:
    case kind::link:
      break;
  }
  return QString::fromStdString(fact.text);
}

QString fact_label(const zcore::fact& fact) {
  return QCoreApplication::translate("facts", fact.label.c_str());
}

QString facts_as_text(const zcore::fact_list& facts, zcore::length_unit unit) {
  QStringList lines;
  for (const zcore::fact& fact : facts)
    lines << fact_label(fact) + ": " + fact_value(fact, unit);
  return lines.join('\n');
}

QString facts_as_html(const zcore::fact_list& facts, zcore::length_unit unit) {
  QString rows;
  for (const zcore::fact& fact : facts) {
    QString value = fact_value(fact, unit).toHtmlEscaped();
    if (fact.type == zcore::fact::kind::link)
      value = QString("<a style=\"color:#9fcfff;\" href=\"%1\">%2</a>")
                  .arg(value, value);
    rows += QString("<tr><td><b>%1:</b></td><td>%2</td></tr>\n")
                .arg(fact_label(fact).toHtmlEscaped(), value);
  }
  return rows;
}

}  // namespace zwidget::zcvpcb
