#include "zwidget/zviewer/module/html_property.h"

#include "ui_html_property.h"
#include "zwidget/zviewer/fact_text.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFont>
#include <QFontMetrics>

// The templates and their image are a resource bundle of their own, there
// while any panel is.
static void register_templates() {
  Q_INIT_RESOURCE(padscope_templates);
}

static void unregister_templates() {
  Q_CLEANUP_RESOURCE(padscope_templates);
}

namespace zwidget::zcvpcb {

namespace {
// Qt does not count registrations: one unregistering would take the bundle
// from every other panel.
int panels_alive = 0;
}  // namespace

QString elided(const QString& value) {
  if (value.size() <= kLongestValue) return value;
  return value.left(kLongestValue) + QChar(0x2026);
}

QString defaulted(const QString& value) {
  return QString("<span style=\" color:#8a8a8a; font-style:italic;\">%1</span>")
      .arg(value);
}

QString defaults_note() {
  return QCoreApplication::translate(
      "HtmlProperty", "Grey values are defaults: the file does not set them.");
}

HtmlProperty::HtmlProperty() : QWidget(nullptr), ui(new Ui::HtmlProperty) {
  if (panels_alive++ == 0) register_templates();
  // setupUi also connects the slots by name.
  ui->setupUi(this);
  // A narrow panel broke "false" into "f alse": wrap between words only.
  ui->textBrowser->setWordWrapMode(QTextOption::WordWrap);
  // The datasheet opens in the desktop's browser, never in the panel.
  ui->textBrowser->setOpenLinks(false);
  connect(ui->textBrowser, &QTextBrowser::anchorClicked,
          [](const QUrl& url) { QDesktopServices::openUrl(url); });
}

HtmlProperty::~HtmlProperty() {
  delete ui;
  if (--panels_alive == 0) unregister_templates();
}

void HtmlProperty::set_html(QString html) {
  page = std::move(html);
  show_page();
}

void HtmlProperty::set_unit(zcore::length_unit unit) {
  if (unit == unit_) return;
  unit_ = unit;
  if (model) updated();
  show_page();
}

void HtmlProperty::set_selection(const zcore::fact_list& facts) {
  selection = facts;
  show_page();
}

int HtmlProperty::reading_width() const {
  // A name of three dozen characters in the pages' font beside its label,
  // the list's indent and a scroll bar.
  const QFontMetrics metrics(QFont("Sans Serif", 9));
  return metrics.averageCharWidth() * 36 + 60;
}

namespace {

// A heading and a table of facts, with the kind as the heading and left out
// of the rows.
QString facts_section(const QString& heading, const zcore::fact_list& facts,
                      zcore::length_unit unit, const char* colour) {
  const zcore::fact_list rows(facts.begin() + (facts.empty() ? 0 : 1),
                              facts.end());
  return QString(
             "<p style=\" color:%1; font-size:11pt; font-weight:600;\">"
             "%2</p>\n<table style=\" color:%1;\" cellspacing=\"2\">"
             "%3</table><hr />\n")
      .arg(colour, heading.toHtmlEscaped(), facts_as_html(rows, unit));
}

}  // namespace

void HtmlProperty::show_page() {
  QString sections;
  if (!selection.empty())
    sections += facts_section(
        tr("Selected: %1")
            .arg(QString::fromStdString(zcore::element_kind(selection))),
        selection, unit_, "#7fffff");
  if (figures)
    sections +=
        facts_section(tr("Footprint"), zcore::footprint_fact_list(*figures),
                      unit_, "#ffd27f");
  // Right after the body's opening tag, or first in a bare page.
  QString shown = page;
  const int body = shown.indexOf("<body");
  shown.insert(body < 0 ? 0 : shown.indexOf('>', body) + 1, sections);
  ui->textBrowser->setHtml(shown);
}

void HtmlProperty::update_model(std::shared_ptr<zcore::BaseModel> next) {
  model = std::move(next);
  figures.reset();
  if (model && with_figures) figures = zcore::facts_of(*model);
  updated();
}

}  // namespace zwidget::zcvpcb
