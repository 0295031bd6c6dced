#pragma once

#include "zcore/element_facts.h"
#include "zcore/footprint_facts.h"
#include "zcore/length_units.h"

#include <QString>
#include <QWidget>

#include <memory>
#include <optional>

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

// A value the file does not hold, shown as its default: greyed, so that
// nobody takes it for the file's own.
QString defaulted(const QString& value);
// The line that says what grey means, for a page that shows a default.
QString defaults_note();

// The panel beside the drawing: an HTML page of the footprint's attributes,
// made from a template in the resources.
class HtmlProperty : public QWidget {
  Q_OBJECT

public:
  HtmlProperty();
  ~HtmlProperty() override;

  void set_html(QString html);

  // The unit the page writes lengths in; rebuilds the page.
  void set_unit(zcore::length_unit unit);
  zcore::length_unit unit() const { return unit_; }
  // The facts of what is selected on the canvas, shown above the page; an
  // empty list takes them away.
  void set_selection(const zcore::fact_list& facts);

  // A width at which labels and values read without breaking words.
  int reading_width() const;

public slots:
  void update_model(std::shared_ptr<zcore::BaseModel> model);

protected:
  // Rebuilds the page from `model`.
  virtual void updated() = 0;

  Ui::HtmlProperty* ui;
  std::shared_ptr<zcore::BaseModel> model;
  zcore::length_unit unit_ = zcore::length_unit::mm;
  // Set by the panels of a footprint: the figures of each model shown go
  // at the top of the page.
  bool with_figures = false;

private:
  // Shows the selection's facts and the footprint's figures before the
  // page.
  void show_page();

  QString page;
  zcore::fact_list selection;
  std::optional<zcore::footprint_facts> figures;
};

}  // namespace zwidget::zcvpcb
