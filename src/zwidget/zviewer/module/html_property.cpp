#include "zwidget/zviewer/module/html_property.h"

#include "ui_html_property.h"

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
}

HtmlProperty::~HtmlProperty() {
  delete ui;
  if (--panels_alive == 0) unregister_templates();
}

void HtmlProperty::set_html(QString html) {
  ui->textBrowser->setHtml(html);
}

void HtmlProperty::update_model(std::shared_ptr<zcore::BaseModel> next) {
  model = std::move(next);
  updated();
}

}  // namespace zwidget::zcvpcb
