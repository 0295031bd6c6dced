#pragma once

#include <QString>
#include <QWidget>

#include <memory>

namespace Ui {
class HtmlProperty;
}

namespace zcore {
class BaseModel;
}

namespace zwidget::zcvpcb {

// The longest value from a file that a page shows whole: laying out
// megabytes of text stalls the panel for minutes.
constexpr int kLongestValue = 4096;

// `value` as a page shows it: cut after kLongestValue characters, with an
// ellipsis.
QString elided(const QString& value);

// The panel beside the drawing: an HTML page of the footprint's attributes,
// made from a template in the resources.
class HtmlProperty : public QWidget {
  Q_OBJECT

public:
  HtmlProperty();
  ~HtmlProperty() override;

  void set_html(QString html);

public slots:
  void update_model(std::shared_ptr<zcore::BaseModel> model);

protected:
  // Rebuilds the page from `model`.
  virtual void updated() = 0;

  Ui::HtmlProperty* ui;
  std::shared_ptr<zcore::BaseModel> model;
};

}  // namespace zwidget::zcvpcb
