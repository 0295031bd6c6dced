#include "zwidget/zviewer/module/html_property.h"

#include "ui_html_property.h"
#include "zwidget/zviewer/fact_text.h"

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

void HtmlProperty::show_page() {
  QString shown = page;
  if (!selection.empty()) {
    const QString kind = QString::fromStdString(zcore::element_kind(selection));
    // The kind is the heading.
    const zcore::fact_list rows(selection.begin() + 1, selection.end());
    const QString section =
        QString(
            "<p style=\" color:#7fffff; font-size:11pt; "
            "font-weight:600;\">%1</p>\n<table style=\" color:#7fffff;\" "
            "cellspacing=\"2\">%2</table><hr />\n")
            .arg(tr("Selected: %1").arg(kind.toHtmlEscaped()),
                 facts_as_html(rows, unit_));
    // Right after the body's opening tag, or first in a bare page.
    const int body = shown.indexOf("<body");
    const int at = body < 0 ? 0 : shown.indexOf('>', body) + 1;
    shown.insert(at, section);
  }
  ui->textBrowser->setHtml(shown);
}

void HtmlProperty::update_model(std::shared_ptr<zcore::BaseModel> next) {
  model = std::move(next);
  updated();
}

}  // namespace zwidget::zcvpcb
