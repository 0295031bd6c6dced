#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class HtmlProperty;
}

namespace zcore {
class BaseModel;
}

namespace zwidget::zcvpcb {

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
